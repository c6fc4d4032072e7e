// Roots of the component library: data objects with nested update brackets and one change
// notification, the component bases, and access to the library's resources by relative number.
#pragma once

#include "platform/ui/Classes.h"
#include "platform/ui/Dialogs.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kv {

using TNotifyEvent = std::function<void(host::TObject* sender)>;

class TKvObject : public host::TPersistent {
public:
    TNotifyEvent OnChange;

    // Outermost BeginUpdate suspends notifications; the matching outermost EndUpdate sends one.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return m_updateCount; }

    virtual void SetUpdateState(bool Updating);
    // Notifies OnChange unless an update bracket is open. Descendants extend it.
    virtual void Changed();

private:
    std::int32_t m_updateCount = 0;
};

class TKvComponent : public host::TComponent {
public:
    using host::TComponent::TComponent;
    virtual void ChangeDesigning(bool Value);
};

// Common ancestor of the library's non-visual components.
class TKvNonVisualComponent : public TKvComponent {
public:
    using TKvComponent::TKvComponent;
};

// Common ancestor of the library's file dialogs.
class TKvCommonDialog : public host::TCommonDialog {
public:
    using host::TCommonDialog::TCommonDialog;
};

// The library's string resource 28000 + n; empty when the module has none.
std::string LoadResStr(std::uint16_t n);

// Whether object's class is T or derives from it. The object must not be null.
template <typename T> bool InheritsFromEx(const host::TObject* object) { return object->InheritsFrom<T>(); }

} // namespace kv
