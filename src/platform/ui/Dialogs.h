// The runtime's common dialog base: a non-visual component that shows a modal dialog on Execute.
#pragma once

#include "platform/ui/Classes.h"

namespace host {

class TCommonDialog : public TComponent {
public:
    using TComponent::TComponent;
    // Shows the dialog; true when the user confirmed it.
    virtual bool Execute() = 0;
};

} // namespace host
