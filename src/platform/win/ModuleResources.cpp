// Finding the module's compiled-in resources by type and name. A resource handle and a loaded
// resource are both the address of the resource's entry in its list, checked on every use.
#include "platform/win/ModuleResources.h"

#include <cctype>
#include <cstdlib>
#include <initializer_list>

namespace win {
namespace {

using Lists = std::initializer_list<const std::vector<ModuleResource>* (*)()>;

const Lists& lists() {
    static const Lists all = {[] { return &BitmapResources(); }, [] { return &WaveResources(); }};
    return all;
}

bool sameText(LPCSTR a, LPCSTR b) {
    for (; *a && *b; ++a, ++b)
        if (std::toupper(static_cast<unsigned char>(*a)) != std::toupper(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

// "#123" names the integer id 123, as the system reads such texts.
bool numberText(LPCSTR text, std::uintptr_t& id) {
    if (text[0] != '#' || !std::isdigit(static_cast<unsigned char>(text[1]))) return false;
    char* end = nullptr;
    unsigned long value = std::strtoul(text + 1, &end, 10);
    if (*end || value > 0xFFFF) return false;
    id = value;
    return true;
}

bool sameKey(LPCSTR stored, LPCSTR wanted) {
    if (!stored || !wanted) return false;
    std::uintptr_t id = 0;
    if (IS_INTRESOURCE(stored) && IS_INTRESOURCE(wanted)) return stored == wanted;
    if (IS_INTRESOURCE(stored)) return numberText(wanted, id) && id == std::uintptr_t(stored);
    if (IS_INTRESOURCE(wanted)) return false;
    return sameText(stored, wanted);
}

const ModuleResource* entryOf(const void* handle) {
    if (!handle) return nullptr;
    for (auto list : lists())
        for (const auto& entry : *list())
            if (&entry == handle) return &entry;
    return nullptr;
}

} // namespace

HRSRC FindResourceA(HMODULE, LPCSTR name, LPCSTR type) {
    for (auto list : lists())
        for (const auto& entry : *list())
            if (sameKey(entry.type, type) && sameKey(entry.name, name))
                return reinterpret_cast<HRSRC>(const_cast<ModuleResource*>(&entry));
    return nullptr;
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
    return const_cast<ModuleResource*>(entryOf(resource));
}

LPVOID LockResource(HGLOBAL loaded) {
    const ModuleResource* entry = entryOf(loaded);
    return entry ? const_cast<std::uint8_t*>(entry->data.data()) : nullptr;
}

DWORD SizeofResource(HMODULE, HRSRC resource) {
    const ModuleResource* entry = entryOf(resource);
    return entry ? DWORD(entry->data.size()) : 0;
}

// Resources live as long as the program; releasing one does nothing, and FALSE says it succeeded.
BOOL FreeResource(HGLOBAL) {
    return FALSE;
}

} // namespace win
