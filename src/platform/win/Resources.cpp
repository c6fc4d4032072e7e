#include "platform/win/Resources.h"

#include <cstring>
#include <map>

namespace win {
namespace {

struct HINSTANCE__Tag {};
HINSTANCE__Tag g_module;

// The string table of the program module. Library messages use 28000 + n.
const std::map<UINT, const char*>& stringTable() {
    static const std::map<UINT, const char*> table = {
        {28001, "Open Wave File"},
        {28002, "Save Wave File"},
        {28004, "Wave-Files(*.wav)|*.wav"},
        {28005, "Invalid WaveFile..."},
        {28006, "Unknown"},
        {28007, "Preview"},
        {28008, "Open Picture File"},
        {28009, "Save Picture File"},
        {28010, "Open AVI File"},
        {28011, "Save AVI File"},
        {28013, "AVI-Files(*.avi)|*.avi|Wave-Files(*.wav)|*.wav"},
    };
    return table;
}

} // namespace

HINSTANCE GetModuleHandleA(LPCSTR) { return reinterpret_cast<HINSTANCE>(&g_module); }

const char* FindStringResource(UINT id) {
    auto it = stringTable().find(id);
    return it == stringTable().end() ? nullptr : it->second;
}

int LoadStringA(HINSTANCE, UINT id, LPSTR buffer, int size) {
    const char* s = FindStringResource(id);
    if (!s || !buffer || size <= 0) return 0;
    int n = int(std::strlen(s));
    if (n > size - 1) n = size - 1;
    std::memcpy(buffer, s, std::size_t(n));
    buffer[n] = '\0';
    return n;
}

} // namespace win
