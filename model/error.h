#pragma once
// What went wrong, as every fallible operation of the core reports it: a
// code the caller can act on, and the words the user is told. For a file,
// the operation's fixed message ("Bad file format.", "Unable to write the
// file."), the file's path, and the reason: the system's ("No such file or
// directory", "Permission denied") or what is wrong inside the file ("Not a
// Halvorn document"). The windows show the message with the path and the
// reason as its detail; the command-line tool prints line().

#include <string>

namespace halvorn {

enum class ErrorCode {
    kFileAccess,         // the system refused to read or write a file
    kBadFormat,          // the bytes are not what they should be
    kOutOfMemory,        // what was asked for could not be held
    kNoSong,             // there was nothing to play or render
    kDevice,             // an output or a sound server failed or is missing
    kNotesOutOfMemory,   // a block gave no notes, or a track's could not be held
    kEventsOutOfMemory,  // the MIDI events of a track could not be held
    kMelodySequence,     // a block's melody microsequence is missing or yields nothing
    kVelocitySequence,   // the same for its velocity microsequence
    kBlockTrack,         // an audition's block events could not be held
    kMetronomeTrack,     // the same for its metronome
    kCancelled,          // the user stopped it
    kUsage,              // the command line is wrong
};

struct Error {
    std::string message;  // a sentence with its final period
    std::string path;     // empty for bytes that came from no file
    std::string reason;   // capitalised, without a final period
    ErrorCode code = ErrorCode::kFileAccess;

    // "PATH: MESSAGE REASON." (without "PATH: " when there is no path).
    std::string line() const;
};

// An error whose reason is `reason` capitalised and without a final period,
// whatever form it came in.
Error fileError(std::string message, std::string path, std::string reason,
                ErrorCode code = ErrorCode::kFileAccess);

// An error about no file: `code` and what the user is told.
Error errorOf(ErrorCode code, std::string message, std::string reason = {});

// The system's words for an errno value.
std::string systemErrorText(int errorNumber);

}  // namespace halvorn
