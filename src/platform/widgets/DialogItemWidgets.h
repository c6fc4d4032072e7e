// Real Qt widgets over the item windows of a dialog template: a push button, check box, label or line
// edit per standard control window, kept in step with it in both directions.
#pragma once

#include "platform/ui/WindowMessages.h"

class QWidget;

namespace host::widgets {

// Puts a widget over each standard control child of dialog (see DialogTemplates.h) as a child of parent,
// at the item's place in dialog's client area. Clicks and typing reach the item window (BM_CLICK,
// WM_SETTEXT, so the dialog gets its WM_COMMAND); text, check, enabled, visible and place changes made
// through the window layer reach the widget. A widget goes when its window is destroyed. Returns the
// number of widgets made; items that have one already are left alone.
int bindDialogItems(win::HWND dialog, QWidget* parent);

// The widget over an item window; nullptr when it has none.
QWidget* dialogItemWidget(win::HWND item);

} // namespace host::widgets
