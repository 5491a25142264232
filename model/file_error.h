#pragma once
// A file that could not be read or written, as the user is told of it: the
// operation's fixed message ("Bad file format.", "Unable to write the
// file."), the file's path, and the reason: the system's ("No such file or
// directory", "Is a directory", "Permission denied") or what is wrong inside
// the file ("Not a Halvorn document"). The windows show the message with the
// path and the reason as its detail; the command-line tool prints line().

#include <string>

namespace halvorn {

struct FileError {
    std::string message;  // a sentence with its final period
    std::string path;     // empty for bytes that came from no file
    std::string reason;   // capitalised, without a final period

    // "PATH: MESSAGE REASON." (without "PATH: " when there is no path).
    std::string line() const;
};

// A FileError whose reason is `reason` capitalised and without a final
// period, whatever form it came in.
FileError fileError(std::string message, std::string path, std::string reason);

// The system's words for an errno value.
std::string systemErrorText(int errorNumber);

}  // namespace halvorn
