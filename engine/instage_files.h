// Opening the files the engine reads: the case, control and saved-data files.
// Not part of the engine's interface.
#pragma once

#include <string>

namespace tarvex::files {

// Opens an existing regular file for reading. Anything else (a directory, a
// named pipe, a device, a socket) is refused at once, without waiting for a
// writer or reading from a device: a pipe would block the open or the reads
// for ever. Returns the descriptor (close-on-exec), or -1 with `why` set to
// the reason in words, in parentheses: "(No such file or directory)",
// "(not a regular file: a named pipe)".
int open_regular(const std::string& name, std::string& why);

// The reason for an error number, in parentheses: "(Permission denied)".
std::string reason(int err);

}  // namespace tarvex::files
