#pragma once
// "Random Values" on the Global page.

#include "edit/global_fields.h"
#include "model/random.h"

namespace halvorn {

// One draw each, in this order: signature, shortest note value ("1/64" ..
// "1/8"), longest (from the shortest up to "8"), scale type, key, tempo
// (40..299), seed. Generator stays.
void randomizeGlobalFields(GlobalFields& fields, RandomDraws& draws);

}  // namespace halvorn
