#include "platform/win/CommandLine.h"

namespace win {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

void skipBlanks(std::string_view s, std::size_t& i) {
    while (i < s.size() && isBlank(s[i]))
        ++i;
}

std::string programName(std::string_view s, std::size_t& i) {
    std::string arg;
    bool quoted = false;
    for (; i < s.size() && (quoted || !isBlank(s[i])); ++i) {
        if (s[i] == '"')
            quoted = !quoted;
        else
            arg += s[i];
    }
    return arg;
}

std::string argument(std::string_view s, std::size_t& i) {
    std::string arg;
    bool quoted = false;
    while (i < s.size() && (quoted || !isBlank(s[i]))) {
        char c = s[i];
        if (c == '\\') {
            std::size_t count = 0;
            for (; i < s.size() && s[i] == '\\'; ++i)
                ++count;
            if (i < s.size() && s[i] == '"') {
                arg.append(count / 2, '\\');
                if (count % 2 == 1) {
                    arg += '"';
                    ++i;
                } // with an even count the quote groups, on the next turn
            } else {
                arg.append(count, '\\');
            }
        } else if (c == '"') {
            if (quoted && i + 1 < s.size() && s[i + 1] == '"') {
                arg += '"';
                i += 2;
            } else {
                quoted = !quoted;
                ++i;
            }
        } else {
            arg += c;
            ++i;
        }
    }
    return arg;
}

} // namespace

std::vector<std::string> splitCommandLine(std::string_view line) {
    std::vector<std::string> args;
    std::size_t i = 0;
    skipBlanks(line, i);
    if (i >= line.size()) return args;
    args.push_back(programName(line, i));
    for (skipBlanks(line, i); i < line.size(); skipBlanks(line, i))
        args.push_back(argument(line, i));
    return args;
}

} // namespace win
