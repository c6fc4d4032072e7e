// The common file dialogs: the OPENFILENAMEA record, its flags, the notifications the dialog sends to a
// hook procedure and the messages it answers. The dialogs themselves (GetOpenFileNameA, GetSaveFileNameA)
// are modal Qt dialogs of the visual layer (platform/widgets/FileDialog.h); only the Explorer style exists.
#pragma once

#include "platform/ui/WindowMessages.h"

namespace win {

// A hook gets the messages of the dialog's child window (WM_INITDIALOG, WM_NOTIFY, WM_COMMAND of
// template controls, WM_DESTROY); a non-zero answer to CDN_FILEOK, or a non-zero DWLP_MSGRESULT of the
// child window, rejects the name.
using LPOFNHOOKPROC = UINT_PTR (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

struct OPENFILENAMEA {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCSTR lpstrFilter; // description NUL pattern NUL ... NUL
    LPSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex; // 1-based
    LPSTR lpstrFile;    // in: initial name; out: the chosen name(s)
    DWORD nMaxFile;     // size of lpstrFile in bytes
    LPSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCSTR lpstrInitialDir;
    LPCSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCSTR lpstrDefExt;
    LPARAM lCustData;
    LPOFNHOOKPROC lpfnHook;
    LPCSTR lpTemplateName;
};
using LPOPENFILENAMEA = OPENFILENAMEA*;

// The record's size in its 32-bit layout, which callers written for that layout put in lStructSize; the
// dialogs take it as well as this build's own size.
constexpr DWORD OPENFILENAME_SIZE_VERSION_400A = 76;
static_assert(sizeof(OPENFILENAMEA) == 136);

// ---- flags ----
constexpr DWORD OFN_READONLY = 0x00000001;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_NOCHANGEDIR = 0x00000008;
constexpr DWORD OFN_SHOWHELP = 0x00000010;
constexpr DWORD OFN_ENABLEHOOK = 0x00000020;
constexpr DWORD OFN_ENABLETEMPLATE = 0x00000040;
constexpr DWORD OFN_ENABLETEMPLATEHANDLE = 0x00000080;
constexpr DWORD OFN_NOVALIDATE = 0x00000100;
constexpr DWORD OFN_ALLOWMULTISELECT = 0x00000200;
constexpr DWORD OFN_EXTENSIONDIFFERENT = 0x00000400;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
constexpr DWORD OFN_CREATEPROMPT = 0x00002000;
constexpr DWORD OFN_SHAREAWARE = 0x00004000;
constexpr DWORD OFN_NOREADONLYRETURN = 0x00008000;
constexpr DWORD OFN_NOTESTFILECREATE = 0x00010000;
constexpr DWORD OFN_NONETWORKBUTTON = 0x00020000;
constexpr DWORD OFN_NOLONGNAMES = 0x00040000;
constexpr DWORD OFN_EXPLORER = 0x00080000;
constexpr DWORD OFN_NODEREFERENCELINKS = 0x00100000;
constexpr DWORD OFN_LONGNAMES = 0x00200000;
constexpr DWORD OFN_ENABLEINCLUDENOTIFY = 0x00400000;
constexpr DWORD OFN_ENABLESIZING = 0x00800000;

// ---- notifications (WM_NOTIFY codes, lParam an OFNOTIFYA) ----
constexpr UINT CDN_FIRST = UINT(-601);
constexpr UINT CDN_INITDONE = CDN_FIRST;
constexpr UINT CDN_SELCHANGE = CDN_FIRST - 1;
constexpr UINT CDN_FOLDERCHANGE = CDN_FIRST - 2;
constexpr UINT CDN_SHAREVIOLATION = CDN_FIRST - 3;
constexpr UINT CDN_HELP = CDN_FIRST - 4;
constexpr UINT CDN_FILEOK = CDN_FIRST - 5;
constexpr UINT CDN_TYPECHANGE = CDN_FIRST - 6;

// ---- messages the dialog window answers (sent to the hook window's parent) ----
// wParam: buffer size, lParam: buffer; the answer is the length of the text with its NUL (what would
// be needed when the buffer is too small), or a negative number when there is nothing to report.
constexpr UINT CDM_FIRST = 0x0400 + 100;
constexpr UINT CDM_GETSPEC = CDM_FIRST;
constexpr UINT CDM_GETFILEPATH = CDM_FIRST + 1;
constexpr UINT CDM_GETFOLDERPATH = CDM_FIRST + 2;
constexpr UINT CDM_SETCONTROLTEXT = CDM_FIRST + 4;
constexpr UINT CDM_HIDECONTROL = CDM_FIRST + 5;

// Ids of the dialog's own controls that a template can refer to.
constexpr int IDC_FILEDIALOG_READONLY = 0x0410; // the read-only check box
constexpr int IDC_FILEDIALOG_STANDARD = 0x045F; // a template's placeholder for the dialog's own controls

// ---- CommDlgExtendedError ----
constexpr DWORD CDERR_DIALOGFAILURE = 0xFFFF;
constexpr DWORD CDERR_STRUCTSIZE = 0x0001;
constexpr DWORD CDERR_INITIALIZATION = 0x0002;
constexpr DWORD CDERR_NOTEMPLATE = 0x0003;
constexpr DWORD CDERR_FINDRESFAILURE = 0x0006;
constexpr DWORD CDERR_NOHOOK = 0x000B;
constexpr DWORD FNERR_INVALIDFILENAME = 0x3002;
constexpr DWORD FNERR_BUFFERTOOSMALL = 0x3003;

// What WM_NOTIFY carries from a file dialog.
struct OFNOTIFYA {
    NMHDR hdr;
    LPOPENFILENAMEA lpOFN;
    LPSTR pszFile;
};

// Runs the open dialog: TRUE when the user chose a file (written into lpstrFile), FALSE on cancel or a
// failure (CommDlgExtendedError tells which: 0 for cancel).
BOOL GetOpenFileNameA(LPOPENFILENAMEA ofn);
// The same for saving: the name need not exist; OFN_OVERWRITEPROMPT asks before an existing file is taken.
BOOL GetSaveFileNameA(LPOPENFILENAMEA ofn);
// The error of the calling thread's last file dialog; 0 after success or cancel.
DWORD CommDlgExtendedError();

} // namespace win
