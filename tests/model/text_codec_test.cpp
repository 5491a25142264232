// The one Windows-1252 codec: every byte survives a round trip, the five
// undefined bytes included, and what the code page cannot hold is said.

#include "model/text_codec.h"

#include <gtest/gtest.h>

namespace halvorn {
namespace {

TEST(TextCodec, EveryByteRoundTripsAndTheUndefinedOnesAreTheirC1Controls) {
    for (int byte = 0; byte < 256; ++byte) {
        const char32_t decoded = windows1252Decode(static_cast<std::uint8_t>(byte));
        EXPECT_EQ(windows1252Encode(decoded), static_cast<std::uint8_t>(byte)) << byte;
    }
    for (const std::uint8_t undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        EXPECT_EQ(windows1252Decode(undefined), static_cast<char32_t>(undefined));
    EXPECT_EQ(windows1252Decode(0x80), U'€');
    EXPECT_EQ(windows1252Decode(0x9F), U'Ÿ');
    EXPECT_EQ(windows1252Decode(0xE9), U'é');

    for (const char32_t foreign : {U'♫', U'Ω', U'日', static_cast<char32_t>(0x80), U'\U0001F600'})
        EXPECT_FALSE(windows1252Encode(foreign)) << static_cast<std::uint32_t>(foreign);

    EXPECT_EQ(windows1252ToUtf8("Caf\xE9 \x80\x81"), "Caf\xC3\xA9 \xE2\x82\xAC\xC2\x81");
}

}  // namespace
}  // namespace halvorn
