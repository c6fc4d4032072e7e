#include "core/KvObj.h"

#include "platform/win/Cursors.h"
#include "platform/win/Resources.h"

namespace kv {

void TKvObject::BeginUpdate() {
    if (m_updateCount == 0) SetUpdateState(true);
    ++m_updateCount;
}

void TKvObject::EndUpdate() {
    --m_updateCount;
    if (m_updateCount == 0) SetUpdateState(false);
}

void TKvObject::SetUpdateState(bool Updating) {
    if (!Updating) Changed();
}

void TKvObject::Changed() {
    if (m_updateCount == 0 && OnChange) OnChange(this);
}

void TKvComponent::ChangeDesigning(bool Value) { SetDesigning(Value); }

std::string LoadResStr(std::uint16_t n) {
    const char* s = win::FindStringResource(28000u + n);
    return s ? std::string(s) : std::string();
}

namespace {

// The module's resource number base + n; none when it does not fit a resource number.
win::LPCSTR resourceName(unsigned base, std::uint16_t n) {
    unsigned id = base + n;
    return id <= 0xFFFF ? win::MAKEINTRESOURCEA(win::WORD(id)) : nullptr;
}

} // namespace

win::HCURSOR LoadResCursor(std::uint16_t n) {
    win::LPCSTR name = resourceName(2000, n);
    return name ? win::LoadCursorA(win::GetModuleHandleA(nullptr), name) : nullptr;
}

win::HICON LoadResIcon(std::uint16_t n) {
    win::LPCSTR name = resourceName(3000, n);
    return name ? win::LoadIconA(win::GetModuleHandleA(nullptr), name) : nullptr;
}

void RegisterKvCursors(const std::function<void(int number, win::HCURSOR cursor)>& setCursor) {
    for (std::uint16_t n = 1; n <= kvCursorCount; ++n) {
        if (win::HCURSOR cursor = LoadResCursor(n)) setCursor(2000 + n, cursor);
    }
}

} // namespace kv
