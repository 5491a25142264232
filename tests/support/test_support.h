#pragma once
// Scoped stand-ins shared by the test suites: a plain song, scripted or
// counted random draws, and the document reader and writer in
// the form the tests use.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "model/document.h"
#include "model/random.h"
#include "model/song.h"
#include "tests/support/draws.h"

namespace halvorn::test {

// Places of rhythm values in a block's distribution.
inline constexpr std::size_t kSixteenthIndex = 2;  // "1/16", a quarter beat
inline constexpr std::size_t kEighthIndex = 3;     // "1/8", half a beat
inline constexpr std::size_t kQuarterIndex = 4;    // "1/4", one beat

// A 4/4 song with one one-measure block of quarter notes, drawing from the
// internal generator.
inline Song quarterNoteSong() {
    Song song = songInit();
    song.blockCount = 1;
    song.blocks[0].rhythmDistribution[kQuarterIndex] = 1.0;
    return song;
}

// A fresh directory for each test, named after it and removed afterwards.
class ScratchDirectoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("halvorn-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    std::size_t fileCount() const {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir_),
                                                      std::filesystem::directory_iterator()));
    }

    std::filesystem::path dir_;
};

// The document reader and writer as the tests use them: a bool, the
// document filled in place, and the error line.
inline bool takeDocument(Expected<Document, Error> result, Document& document, std::string& error) {
    if (!result) {
        error = result.error().line();
        return false;
    }
    document = std::move(*result);
    return true;
}

inline bool decodeDocument(std::span<const std::uint8_t> bytes, Document& document,
                           std::string& error) {
    return takeDocument(documentDecode(bytes), document, error);
}

inline bool readDocument(const std::string& path, Document& document, std::string& error) {
    return takeDocument(documentRead(path), document, error);
}

inline bool writeDocument(const std::string& path, const Document& document, std::string& error) {
    const auto written = documentWrite(path, document);
    if (!written) error = written.error().line();
    return written.has_value();
}

}  // namespace halvorn::test
