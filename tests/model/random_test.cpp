#include <gtest/gtest.h>

#include "model/random.h"

namespace halvorn {
namespace {

// Seeding sets the state and discards one draw: seed 1 then gives the
// generator's known sequence; the clock discards one more.
TEST(RandomSource, SeedsAsTheGenerationStepsAndCommandsDo) {
    RandomSource seeded(1);
    EXPECT_EQ(seeded.next(), 18467 / 32768.0);
    EXPECT_EQ(seeded.next(), 6334 / 32768.0);
    EXPECT_EQ(seeded.next(), 26500 / 32768.0);

    RandomSource clock = RandomSource::fromTime(1);
    EXPECT_EQ(clock.next(), 6334 / 32768.0);
    EXPECT_EQ(RandomSource().next(), 18467 / 32768.0);
}

// A value: copies draw alike and apart, so a preview that draws leaves the
// draws of whoever else holds a source untouched.
TEST(RandomSource, CopiesDrawAlikeAndApart) {
    RandomSource first(123456789);
    RandomSource second = first;
    const double a = first.next();
    EXPECT_EQ(second.next(), a);
    RandomSource preview(5);
    preview.next();
    EXPECT_EQ(first.next(), second.next());
    EXPECT_EQ(RandomSource(123456789).next(), a);
}

TEST(RandomSource, NegativeSeedsAreTakenAsUnsignedAndDrawsStayInRange) {
    RandomSource draws(-1);
    RandomSource unsignedDraws(static_cast<std::int32_t>(0xFFFFFFFFu));
    for (int i = 0; i < 100000; ++i) {
        const double u = draws.next();
        ASSERT_EQ(u, unsignedDraws.next());
        ASSERT_GE(u, 0.0);
        ASSERT_LE(u, 32767 / 32768.0);
    }
}

}  // namespace
}  // namespace halvorn
