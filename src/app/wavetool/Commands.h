// The commands of quillan-wave, each taking the arguments after its name and returning the exit status.
#pragma once

#include <string>
#include <vector>

namespace wavetool {

int infoCommand(const std::vector<std::string>& args);
int convertCommand(const std::vector<std::string>& args);
int importCommand(const std::vector<std::string>& args);
int decodeCommand(const std::vector<std::string>& args);
int encodeCommand(const std::vector<std::string>& args);

} // namespace wavetool
