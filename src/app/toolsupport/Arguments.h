// The arguments of one command: options by name (with or without a value, "--name value" or
// "--name=value"), -h/--help, "--" ending the options, and the remaining positional arguments; and the
// checked reading of numbers from option values.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace toolsupport {

struct OptionSpec {
    std::string name;      // with its dashes: "--bits"
    bool takesValue;       // "--bits 8" rather than a flag like "--quiet"
    std::string shortName; // "-q", or empty
};

class Arguments {
  public:
    // Splits `args` by `options`; returns an error message for an unknown option or a missing value
    // (empty when the arguments are good). A later repetition of an option replaces the earlier value.
    std::string parse(const std::vector<std::string>& args, std::initializer_list<OptionSpec> options);

    bool help() const { return m_help; }
    bool has(const std::string& name) const { return m_values.count(name) != 0; }
    std::optional<std::string> value(const std::string& name) const;
    const std::vector<std::string>& positional() const { return m_positional; }

  private:
    bool m_help = false;
    std::map<std::string, std::string> m_values;
    std::vector<std::string> m_positional;
};

// A decimal integer in low..high, nothing else in the text; nullopt otherwise.
std::optional<std::int64_t> parseInteger(const std::string& text, std::int64_t low, std::int64_t high);

} // namespace toolsupport
