#include "app/wavetool/CommandSupport.h"

#include "app/toolsupport/ToolMessages.h"

#include <cstdio>

namespace wavetool {

std::string readNumber(const toolsupport::Arguments& args, const std::string& name, std::int64_t low,
                       std::int64_t high, std::int64_t& value) {
    const auto text = args.value(name);
    if (!text) return {};
    const auto number = toolsupport::parseInteger(*text, low, high);
    if (!number)
        return name + " takes a number from " + std::to_string(low) + " to " + std::to_string(high) +
               ", not '" + *text + "'";
    value = *number;
    return {};
}

std::string readBits(const toolsupport::Arguments& args, std::int64_t& bits) {
    const auto text = args.value("--bits");
    if (!text) return {};
    if (*text != "8" && *text != "16") return "--bits takes 8 or 16, not '" + *text + "'";
    bits = *text == "8" ? 8 : 16;
    return {};
}

std::string readChannels(const toolsupport::Arguments& args, std::int64_t& channels) {
    const auto text = args.value("--channels");
    if (!text) return {};
    if (*text != "1" && *text != "2") return "--channels takes 1 or 2, not '" + *text + "'";
    channels = *text == "1" ? 1 : 2;
    return {};
}

std::string readBuffer(const toolsupport::Arguments& args, std::int32_t& bytes) {
    std::int64_t value = bytes;
    std::string error = readNumber(args, "--buffer", 1, 256 << 20, value);
    bytes = std::int32_t(value);
    return error;
}

int showHelp(const char* help) {
    std::fputs(help, stdout);
    return toolsupport::kExitOk;
}

std::optional<int> scanInput(const std::string& in, WaveBlock& block) {
    std::string error;
    if (!scanWaveFile(in, block, error)) return toolsupport::fileError(in, error);
    return std::nullopt;
}

} // namespace wavetool
