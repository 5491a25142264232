#include <gtest/gtest.h>

#include "engine/key_signature.h"
#include "model/song.h"

namespace halvorn {
namespace {

Scale scaleOf(std::int32_t type, std::int32_t key) {
    Scale scale;
    scaleSet(scale, scaleTypeIntervals(type), key);
    return scale;
}

// Each sharp moves the major tonic a fifth (7 semitones) up; a minor tonic
// lies 3 semitones below its relative major's.
std::int32_t tonicOf(KeySignature signature) {
    const std::int32_t major = (signature.sharps * 7 % 12 + 12) % 12;
    return signature.minor != 0 ? (major + 9) % 12 : major;
}

TEST(KeySignature, EveryKeyOfEveryScaleTypeNamesItsTonicWithAtMostSixAccidentals) {
    for (std::int32_t type = kScaleChromatic; type <= kScalePentatonic; ++type) {
        for (std::int32_t key = 0; key < 12; ++key) {
            const KeySignature signature = keySignatureOf(scaleOf(type, key));
            SCOPED_TRACE(std::string(kScaleTypeNames[type]) + " " + std::string(kKeyNames[key]));
            EXPECT_EQ(signature.minor, type == kScaleMinor ? 1 : 0);
            EXPECT_GE(signature.sharps, -5);
            EXPECT_LE(signature.sharps, 6);
            EXPECT_EQ(tonicOf(signature), key);
        }
    }
    // Where two spellings are equally short, the sharps: F# major, D# minor.
    EXPECT_EQ(keySignatureOf(scaleOf(kScaleMajor, 6)), (KeySignature{6, 0}));
    EXPECT_EQ(keySignatureOf(scaleOf(kScaleMinor, 3)), (KeySignature{6, 1}));
    EXPECT_EQ(keySignatureOf(scaleOf(kScaleMinor, 10)), (KeySignature{-5, 1}));
}

TEST(KeySignature, KeysBeyondAnOctaveAndScalesWithoutATable) {
    Scale scale = scaleOf(kScaleMinor, 0);
    scaleSetKey(scale, 14);  // D, an octave up
    EXPECT_EQ(keySignatureOf(scale), (KeySignature{-1, 1}));
    scaleSetKey(scale, -3);  // A, below C
    EXPECT_EQ(keySignatureOf(scale), (KeySignature{0, 1}));
    Scale none;
    scaleSetKey(none, 2);
    EXPECT_EQ(keySignatureOf(none), (KeySignature{2, 0}));
}

}  // namespace
}  // namespace halvorn
