// The commands of quillan-avi, each taking the arguments after its name and returning the exit status.
#pragma once

#include <string>
#include <vector>

namespace avitool {

int infoCommand(const std::vector<std::string>& args);
int saveCommand(const std::vector<std::string>& args);

// Prints the message and a pointer to --help on stderr; returns the exit status of a usage error (2).
int usageError(const std::string& message);

} // namespace avitool
