#include "app/toolsupport/ToolMessages.h"

#include <cstdio>
#include <cstring>

namespace toolsupport {
namespace {

std::string& nameStorage() {
    static std::string name = "quillan";
    return name;
}

} // namespace

void setProgramName(const std::string& name) {
    nameStorage() = name;
}

const std::string& programName() {
    return nameStorage();
}

int fileError(const std::string& file, const std::string& cause) {
    std::fprintf(stderr, "%s: %s: %s\n", programName().c_str(), file.c_str(), cause.c_str());
    return kExitFileError;
}

int usageError(const std::string& message, const std::string& command) {
    const std::string help = command.empty() ? programName() : programName() + " " + command;
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", programName().c_str(), message.c_str(), help.c_str());
    return kExitUsage;
}

std::string errnoText(int error) {
    char buffer[256];
    // The GNU strerror_r returns the text, which may or may not be in the buffer.
    return strerror_r(error, buffer, sizeof buffer);
}

} // namespace toolsupport
