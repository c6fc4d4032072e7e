// Exit statuses and the messages of the command-line tools: every message starts with the program's
// name, a file error names the file and its cause, a usage error points at the command's --help.
#pragma once

#include <string>

namespace toolsupport {

constexpr int kExitOk = 0;
constexpr int kExitFileError = 1;     // a file could not be read or written
constexpr int kExitUsage = 2;         // the command line was wrong
constexpr int kExitInterrupted = 130; // Ctrl-C or SIGTERM stopped the work (128 + SIGINT)

// The name messages start with ("quillan-wave"); set once at the start of main.
void setProgramName(const std::string& name);
const std::string& programName();

// Prints "program: file: cause" on stderr; returns kExitFileError.
int fileError(const std::string& file, const std::string& cause);
// Prints "program: message" and a pointer to the help of `command` (or of the program when empty);
// returns kExitUsage.
int usageError(const std::string& message, const std::string& command = {});
// The system's words for an errno value ("No such file or directory").
std::string errnoText(int error);

} // namespace toolsupport
