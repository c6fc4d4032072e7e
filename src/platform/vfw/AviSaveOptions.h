// Who answers AVISaveOptions: a handler set in its place (tests, programs without a display), else the
// dialog the widget layer registers (this layer has no user interface of its own), else nobody (FALSE).
#pragma once

#include "platform/vfw/AviSave.h"

#include <functional>

namespace win {

using AviSaveOptionsFunction = std::function<INT_PTR(HWND owner, UINT flags, int streams, PAVISTREAM* stream,
                                                     LPAVICOMPRESSOPTIONS* options)>;

// Installs handler for every AVISaveOptions call of the process (an empty handler restores the dialog)
// and returns the one installed before. A handler that confirms fills the records and returns TRUE.
AviSaveOptionsFunction SetSaveOptionsHandler(AviSaveOptionsFunction handler);

// The widget layer registers its dialog here when it is linked into the program.
void SetSaveOptionsDialog(AviSaveOptionsFunction dialog);

} // namespace win
