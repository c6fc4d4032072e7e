// What the commands of quillan-wave share: their help texts on --help, reading the numeric options,
// and starting the output file.
#pragma once

#include "app/toolsupport/Arguments.h"
#include "app/wavetool/WaveOutput.h"

#include <cstdint>
#include <optional>
#include <string>

namespace wavetool {

constexpr std::int64_t kMaxRate = 1000000;
// The largest wave file the mmio layer writes: its offsets are signed 32-bit.
constexpr std::uint64_t kMaxWaveFile = 0x7FFFFFFF;

// Reads option `name` as an integer in low..high into `value` (kept when the option is absent); an
// error message when the text is no such number.
std::string readNumber(const toolsupport::Arguments& args, const std::string& name, std::int64_t low,
                       std::int64_t high, std::int64_t& value);
// Reads --bits (8 or 16) and --channels (1 or 2) the same way.
std::string readBits(const toolsupport::Arguments& args, std::int64_t& bits);
std::string readChannels(const toolsupport::Arguments& args, std::int64_t& channels);
// --buffer BYTES: the size of the pieces read at a time.
std::string readBuffer(const toolsupport::Arguments& args, std::int32_t& bytes);

// Prints `help` on stdout and returns 0.
int showHelp(const char* help);

// Scans IN and checks that OUT may be written; the exit status of a failure, or nullopt to go on.
std::optional<int> scanInput(const std::string& in, WaveBlock& block);

} // namespace wavetool
