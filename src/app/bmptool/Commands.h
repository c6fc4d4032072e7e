// The commands of quillan-bmp, each taking the arguments after its name and returning the exit status.
#pragma once

#include <string>
#include <vector>

namespace bmptool {

int infoCommand(const std::vector<std::string>& args);
int convertCommand(const std::vector<std::string>& args);

} // namespace bmptool
