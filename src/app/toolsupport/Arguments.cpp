#include "app/toolsupport/Arguments.h"

#include <cctype>

namespace toolsupport {

std::string Arguments::parse(const std::vector<std::string>& args,
                             std::initializer_list<OptionSpec> options) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            m_positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            m_help = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const OptionSpec* option = nullptr;
        for (const OptionSpec& o : options)
            if (o.name == name || (!o.shortName.empty() && o.shortName == name)) option = &o;
        if (!option) return "unknown option '" + name + "'";
        if (!option->takesValue) {
            if (equals != std::string::npos) return option->name + " takes no value";
            m_values[option->name] = {};
        } else if (equals != std::string::npos) {
            m_values[option->name] = arg.substr(equals + 1);
        } else {
            if (i + 1 >= args.size()) return option->name + " needs a value";
            m_values[option->name] = args[++i];
        }
    }
    return {};
}

std::optional<std::string> Arguments::value(const std::string& name) const {
    auto it = m_values.find(name);
    if (it == m_values.end()) return std::nullopt;
    return it->second;
}

std::optional<std::int64_t> parseInteger(const std::string& text, std::int64_t low, std::int64_t high) {
    // Eighteen digits cannot overflow 64 bits; longer texts are out of any range a tool takes.
    if (text.empty() || text.size() > 18) return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high) return std::nullopt;
    return value;
}

} // namespace toolsupport
