#include "platform/ui/SysUtils.h"

#include <cstring>

namespace host {
namespace {

std::string fill(const char* text, const char* placeholder, const std::string& value) {
    std::string s(text);
    std::size_t at = s.find(placeholder);
    if (at != std::string::npos) s.replace(at, std::strlen(placeholder), value);
    return s;
}

} // namespace

std::string FmtMessage(const char* text, long long value) { return fill(text, "%d", std::to_string(value)); }

std::string FmtMessage(const char* text, const std::string& value) { return fill(text, "%s", value); }

} // namespace host
