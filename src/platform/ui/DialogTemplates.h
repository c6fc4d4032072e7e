// Dialog templates in dialog units and the standard control classes their items are made of ("Button",
// "Static", "Edit"). The classes keep their state in the window layer without any toolkit; a widget layer
// that shows a dialog puts real widgets over the item windows.
#pragma once

#include "platform/ui/WindowMessages.h"

#include <string>
#include <vector>

namespace win {

// Button styles (the low four bits are the kind).
constexpr DWORD BS_PUSHBUTTON = 0x0;
constexpr DWORD BS_DEFPUSHBUTTON = 0x1;
constexpr DWORD BS_CHECKBOX = 0x2;
constexpr DWORD BS_AUTOCHECKBOX = 0x3;
constexpr DWORD BS_RADIOBUTTON = 0x4;
constexpr DWORD BS_AUTORADIOBUTTON = 0x9;
constexpr DWORD BS_TYPEMASK = 0xF;
// Static and edit styles.
constexpr DWORD SS_LEFT = 0x0;
constexpr DWORD SS_LEFTNOWORDWRAP = 0xC;
constexpr DWORD ES_AUTOHSCROLL = 0x80;
constexpr DWORD ES_READONLY = 0x800;

// One control of a template; the rectangle is in dialog units.
struct DialogItemTemplate {
    std::string className; // "Button", "Static", "Edit" or any registered class
    int id = 0;
    std::string text;
    DWORD style = 0; // WS_CHILD is always added
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
};

struct DialogTemplate {
    std::string title;
    DWORD style = 0;
    int cx = 0; // the dialog's client size in dialog units
    int cy = 0;
    std::vector<DialogItemTemplate> items;
};

// Converts a rectangle from dialog units to pixels with GetDialogBaseUnits: x × base width ÷ 4,
// y × base height ÷ 8, rounding toward zero.
BOOL MapDialogRect(HWND dialog, RECT* rect);

// Registers "Button", "Static" and "Edit" (once per process).
void registerStandardControls();

// Makes the template's items as children of dialog, in order, at their pixel rectangles. Returns the
// number made; an item of an unknown class is skipped.
int createDialogItems(HWND dialog, const DialogTemplate& dialogTemplate);

// The kind of a standard control window: 'B' button, 'S' static, 'E' edit, 0 for other windows.
char standardControlKind(HWND window);

} // namespace win
