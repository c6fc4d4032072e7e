// The parts of the file dialogs that need no dialog: filter lists and the buffer forms of a selection.
#include "platform/widgets/FileDialog.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace host::widgets {

namespace {

std::string baseName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string parentOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string withoutTrailingSlash(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

// Reads one NUL-ended string starting at pos, no further than end; false when it runs past end.
bool readString(const char* filter, std::size_t& pos, std::size_t end, std::string& out) {
    const void* nul = std::memchr(filter + pos, '\0', end - pos);
    if (!nul) return false;
    const std::size_t length = std::size_t(static_cast<const char*>(nul) - (filter + pos));
    out.assign(filter + pos, length);
    pos += length + 1;
    return true;
}

} // namespace

std::vector<FilterPair> ParseFilterList(const char* filter, std::size_t maxBytes) {
    std::vector<FilterPair> pairs;
    if (!filter) return pairs;
    // The list has no length of its own: stop at its double NUL or after maxBytes.
    std::size_t end = 0;
    while (end < maxBytes && !(filter[end] == '\0' && (end == 0 || filter[end - 1] == '\0')))
        ++end;
    const std::size_t bound = std::min(end + 1, maxBytes);
    std::size_t pos = 0;
    while (pos < bound) {
        std::string description, patterns;
        if (!readString(filter, pos, bound, description) || description.empty()) break;
        if (!readString(filter, pos, bound, patterns) || patterns.empty()) break;
        FilterPair pair{description, {}};
        std::size_t start = 0;
        while (start <= patterns.size()) {
            std::size_t semi = patterns.find(';', start);
            if (semi == std::string::npos) semi = patterns.size();
            std::string p = patterns.substr(start, semi - start);
            while (!p.empty() && p.front() == ' ')
                p.erase(p.begin());
            while (!p.empty() && p.back() == ' ')
                p.pop_back();
            if (!p.empty()) pair.patterns.push_back(p);
            start = semi + 1;
        }
        if (!pair.patterns.empty()) pairs.push_back(std::move(pair));
    }
    return pairs;
}

std::string CaseFreePattern(const std::string& pattern) {
    std::string out;
    for (char c : pattern) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalpha(u)) {
            out += '[';
            out += char(std::tolower(u));
            out += char(std::toupper(u));
            out += ']';
        } else {
            out += c;
        }
    }
    return out;
}

std::string SelectionBuffer(const std::string& folder, const std::vector<std::string>& paths,
                            unsigned* nameOffset) {
    std::string out;
    if (paths.size() == 1) {
        out = paths.front();
        if (nameOffset) *nameOffset = unsigned(out.size() - baseName(out).size());
        out.append(2, '\0');
        return out;
    }
    const std::string dir = withoutTrailingSlash(folder);
    out = dir;
    out += '\0';
    if (nameOffset) *nameOffset = unsigned(out.size());
    for (const std::string& path : paths) {
        out += parentOf(path) == dir ? baseName(path) : path;
        out += '\0';
    }
    out += '\0';
    return out;
}

std::string SelectionPathText(const std::string& folder, const std::vector<std::string>& paths) {
    if (paths.empty()) return {};
    if (paths.size() == 1) return paths.front();
    std::string dir = withoutTrailingSlash(folder);
    std::string out = dir == "/" ? dir : dir + "/";
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (i) out += ' ';
        out += '"';
        out += parentOf(paths[i]) == dir ? baseName(paths[i]) : paths[i];
        out += '"';
    }
    return out;
}

} // namespace host::widgets
