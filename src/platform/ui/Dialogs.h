// The runtime's common dialog base: a non-visual component that shows a modal dialog on Execute.
#pragma once

#include "platform/ui/Classes.h"

namespace host {

class TCommonDialog : public TComponent {
  public:
    using TComponent::TComponent;
    // Shows the dialog; true when the user confirmed it.
    virtual bool Execute() = 0;

    // Fired when the dialog's window has been set up, and when it goes.
    TNotifyEvent OnShow;
    TNotifyEvent OnClose;

  protected:
    virtual void DoShow() {
        if (OnShow) OnShow(this);
    }
    virtual void DoClose() {
        if (OnClose) OnClose(this);
    }
};

} // namespace host
