#include "platform/ui/DialogResources.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace win {
namespace {

std::string foldCase(std::string name) {
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return name;
}

struct Table {
    std::mutex mutex;
    // Entries are never removed, so the pointers handed out stay valid; a replaced template is kept.
    std::map<std::string, std::shared_ptr<const DialogTemplate>> byName;
    std::vector<std::shared_ptr<const DialogTemplate>> replaced;
};

Table& table() {
    static auto* t = new Table;
    return *t;
}

// Resource names are short; a longer text is not one.
constexpr std::size_t kMaxNameBytes = 256;

} // namespace

void RegisterDialogResource(const std::string& name, const DialogTemplate& dialogTemplate) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    auto& slot = t.byName[foldCase(name)];
    if (slot) t.replaced.push_back(slot);
    slot = std::make_shared<const DialogTemplate>(dialogTemplate);
}

const DialogTemplate* FindDialogResource(LPCSTR name) {
    const auto value = reinterpret_cast<std::uintptr_t>(name);
    if (!value) return nullptr;
    std::string key;
    if (value < 0x10000) {
        // Built in two steps: GCC 12 at -O3 warns (wrongly) about the overlap in "#" + std::to_string.
        key = std::to_string(value);
        key.insert(key.begin(), '#');
    } else {
        const std::size_t length = strnlen(name, kMaxNameBytes + 1);
        if (length > kMaxNameBytes) return nullptr;
        key = foldCase(std::string(name, length));
    }
    Table& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.byName.find(key);
    return it == t.byName.end() ? nullptr : it->second.get();
}

} // namespace win
