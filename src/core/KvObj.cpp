#include "core/KvObj.h"

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

} // namespace kv
