// Message boxes: the platform's MessageBoxA on a Qt dialog, with a hook that answers in its place so
// that tests (and programs running without a display) never block on a dialog.
#pragma once

#include "platform/win/WinTypes.h"

#include <functional>
#include <string>

namespace win {

// Buttons.
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_ABORTRETRYIGNORE = 0x2;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_RETRYCANCEL = 0x5;
constexpr UINT MB_TYPEMASK = 0xF;
// Icons.
constexpr UINT MB_ICONHAND = 0x10;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONASTERISK = 0x40;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_ICONMASK = 0xF0;
// The default button.
constexpr UINT MB_DEFBUTTON1 = 0x000;
constexpr UINT MB_DEFBUTTON2 = 0x100;
constexpr UINT MB_DEFBUTTON3 = 0x200;
constexpr UINT MB_DEFMASK = 0xF00;
// Modality (every box is modal to the whole application here).
constexpr UINT MB_APPLMODAL = 0x0000;
constexpr UINT MB_SYSTEMMODAL = 0x1000;
constexpr UINT MB_TASKMODAL = 0x2000;

// Answers.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Shows text (UTF-8) under caption (nullptr: "エラー") with the buttons and icon of type, modal, over
// the window of owner when it names one; returns the button chosen. Closing the box without a button
// answers IDCANCEL when the box has a Cancel button (IDOK for MB_OK alone). 0 when no box can be shown.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

} // namespace win

namespace host {

// Answers a message box in place of the dialog: gets the text, the caption and the type flags and
// returns the button chosen (IDOK, IDCANCEL, IDYES, IDNO, ...).
using TMessageBoxHandler = std::function<int(const std::string& text, const std::string& caption, unsigned flags)>;

// Installs handler for every message box of the process (an empty handler restores the dialog) and
// returns the one installed before. Tests install one that records what was shown and answers.
TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler);

} // namespace host
