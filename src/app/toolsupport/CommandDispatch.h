// The entry of a tool with commands ("quillan-wave info FILE"): --help prints the tool's usage, a missing
// or unknown command is a usage error, and otherwise the named command runs on the arguments after it.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

namespace toolsupport {

using CommandFunction = int (*)(const std::vector<std::string>& args);

struct ToolCommand {
    const char* name;
    CommandFunction run;
};

// Sets the program name for messages and runs the command; returns the exit status.
int runToolCommand(const char* program, const char* usage, int argc, char** argv,
                   std::initializer_list<ToolCommand> commands);

} // namespace toolsupport
