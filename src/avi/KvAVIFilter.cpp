// The file-type filter of the AVI open and save dialogs, from the list the platform builds.
#include "avi/KvAVI.h"

#include <vector>

namespace kv {

std::string filterFromNulList(const char* list, std::size_t size) {
    std::string result;
    for (std::size_t i = 0; i < size; ++i) {
        if (list[i] != '\0') {
            result += list[i];
            continue;
        }
        if (i + 1 >= size || list[i + 1] == '\0') break; // the closing second NUL
        result += '|';
    }
    return result;
}

std::string BuildFilter(bool saving) {
    std::string result = LoadResStr(13);
    std::vector<char> buffer(4096, '\0');
    if (win::AVIBuildFilterA(buffer.data(), 4095, saving ? -1 : 0) == 0) {
        std::string list = filterFromNulList(buffer.data(), buffer.size());
        // An empty list would leave the dialog without any type to choose: keep the built-in one.
        if (!list.empty()) result = list;
    }
    return result;
}

} // namespace kv
