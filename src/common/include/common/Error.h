#pragma once

#include <string>
#include <utility>

// What went wrong, for the core's one error value. The kind lets a caller
// choose what to do (a command's exit status, whether to offer a retry);
// the message is what the user reads, one line, naming the input and the
// reason.
enum class ErrorKind {
    InvalidArgument, // a value the user or a caller gave is out of range or malformed
    NotFound,        // a file, station or item named does not exist
    Unsupported,     // well formed, but a layout, format or mode the core does not read
    Corrupt,         // a file's own fields contradict themselves or the file
    Io,              // the system refused a read, write or rename
    OutOfMemory,     // an allocation a set-up needed failed
    Cancelled,       // stopped by the user or a stop flag
};

// The core's one error value: a kind and the message shown to the user.
class Error {
public:
    Error(ErrorKind kind, std::string message) : kind_(kind), message_(std::move(message)) {}

    // An errno from the system, worded as "<context>: <strerror>".
    static Error fromErrno(int error, const std::string& context);

    ErrorKind kind() const { return kind_; }
    const std::string& message() const { return message_; }

private:
    ErrorKind kind_;
    std::string message_;
};
