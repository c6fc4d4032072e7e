// Access to the window of a component without depending on the visual framework: windowed controls
// implement IWindowHandle, so code below the widgets (the AVI library's dialogs) can ask a component's
// owner for its window.
#pragma once

#include "platform/ui/Classes.h"
#include "platform/ui/SysUtils.h"
#include "platform/win/WinTypes.h"

namespace host {

class IWindowHandle {
  public:
    // The window's handle; the window is made first when it does not exist yet.
    virtual win::HWND GetHandle() = 0;

  protected:
    ~IWindowHandle() = default;
};

// The window of component taken as a windowed control: null for no component; a component that has no
// window raises EInvalidCast, as a failed checked cast does.
inline win::HWND WindowHandleOf(TComponent* component) {
    if (!component) return nullptr;
    auto* windowed = dynamic_cast<IWindowHandle*>(component);
    if (!windowed) throw EInvalidCast(SInvalidCast);
    return windowed->GetHandle();
}

} // namespace host
