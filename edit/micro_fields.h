#pragma once
// A microsequence as the Microsequences page shows it, and the rules that
// move it to and from the Song's record. The parameter block comes from the
// page's panel.

#include <cstdint>
#include <optional>
#include <string>

#include "model/song.h"

namespace halvorn {

inline constexpr std::int32_t kMinPeriod = 1;  // kMaxPeriod: model/document.h

struct MicroFields {
    std::int32_t fractalType = 0;  // index of the "Fractal:" list
    std::int32_t period = 256;
    std::string description;  // the document's bytes
};

MicroFields loadMicroFields(const Microsequence& record);

// Clears the record (its parameter block and values go) and stores the
// fields, the description held to 30 bytes, and `parameters` (none for the
// placeholder type or without a panel).
void storeMicroFields(const MicroFields& fields, std::optional<ParameterBytes> parameters,
                      Microsequence& record);

}  // namespace halvorn
