// Cursors and icons: the module's cursor and icon resources (compiled in), the system's standard cursors
// and icons, and cursors made at run time. A cursor or icon is an object behind an HCURSOR / HICON handle
// holding 32-bit ARGB pictures; handles are looked up in a table, so a foreign or destroyed handle fails
// without any memory being touched.
#pragma once

#include "platform/win/WinTypes.h"

#include <cstdint>
#include <vector>

namespace win {

// An integer resource identifier in the place of a resource name: a "pointer" below 0x10000.
inline LPCSTR MAKEINTRESOURCEA(WORD id) { return reinterpret_cast<LPCSTR>(std::uintptr_t(id)); }
inline bool IS_INTRESOURCE(LPCSTR name) { return (reinterpret_cast<std::uintptr_t>(name) >> 16) == 0; }

// A constant integer resource name such as IDC_ARROW. It is a literal type, so the constants below are
// made when the program is compiled and are usable from any static initialiser.
struct IntResourceName {
    WORD id;
    operator LPCSTR() const { return MAKEINTRESOURCEA(id); }
};

// Identifiers of the system cursors (LoadCursorA with no module).
constexpr WORD OCR_NORMAL = 32512;
constexpr WORD OCR_IBEAM = 32513;
constexpr WORD OCR_WAIT = 32514;
constexpr WORD OCR_CROSS = 32515;
constexpr WORD OCR_UP = 32516;
constexpr WORD OCR_SIZENWSE = 32642;
constexpr WORD OCR_SIZENESW = 32643;
constexpr WORD OCR_SIZEWE = 32644;
constexpr WORD OCR_SIZENS = 32645;
constexpr WORD OCR_SIZEALL = 32646;
constexpr WORD OCR_NO = 32648;
constexpr WORD OCR_HAND = 32649;
constexpr WORD OCR_APPSTARTING = 32650;

constexpr IntResourceName IDC_ARROW{OCR_NORMAL};
constexpr IntResourceName IDC_IBEAM{OCR_IBEAM};
constexpr IntResourceName IDC_WAIT{OCR_WAIT};
constexpr IntResourceName IDC_CROSS{OCR_CROSS};
constexpr IntResourceName IDC_UPARROW{OCR_UP};
constexpr IntResourceName IDC_SIZENWSE{OCR_SIZENWSE};
constexpr IntResourceName IDC_SIZENESW{OCR_SIZENESW};
constexpr IntResourceName IDC_SIZEWE{OCR_SIZEWE};
constexpr IntResourceName IDC_SIZENS{OCR_SIZENS};
constexpr IntResourceName IDC_SIZEALL{OCR_SIZEALL};
constexpr IntResourceName IDC_NO{OCR_NO};
constexpr IntResourceName IDC_HAND{OCR_HAND};
constexpr IntResourceName IDC_APPSTARTING{OCR_APPSTARTING};

// Identifiers of the system icons (LoadIconA with no module).
constexpr WORD OIC_SAMPLE = 32512;
constexpr WORD OIC_HAND = 32513;
constexpr WORD OIC_QUES = 32514;
constexpr WORD OIC_BANG = 32515;
constexpr WORD OIC_NOTE = 32516;
constexpr WORD OIC_WINLOGO = 32517;

constexpr IntResourceName IDI_APPLICATION{OIC_SAMPLE};
constexpr IntResourceName IDI_HAND{OIC_HAND};
constexpr IntResourceName IDI_QUESTION{OIC_QUES};
constexpr IntResourceName IDI_EXCLAMATION{OIC_BANG};
constexpr IntResourceName IDI_ASTERISK{OIC_NOTE};
constexpr IntResourceName IDI_WINLOGO{OIC_WINLOGO};
constexpr IntResourceName IDI_ERROR = IDI_HAND;
constexpr IntResourceName IDI_WARNING = IDI_EXCLAMATION;
constexpr IntResourceName IDI_INFORMATION = IDI_ASTERISK;

// A cursor or icon resource of the module (hInstance = the module handle), or a system cursor or icon
// (hInstance = 0). Resources are shared: every load of one resource gives the same handle, and it stays
// valid for the life of the program. 0 when there is no such resource. Besides numbered resources the
// module has the named icon "MAINICON", the tool's application icon.
HCURSOR LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName);
HICON LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName);

// A monochrome cursor from an AND plane and an XOR plane (1 bit per pixel, rows top first, each row
// padded to 16 bits). AND 1 / XOR 0 is transparent, AND 0 gives black (XOR 0) or white (XOR 1); AND 1 /
// XOR 1 inverts the screen, which this platform draws as black. Width and height 1 to 256, the hotspot
// inside; 0 otherwise.
HCURSOR CreateCursor(HINSTANCE hInst, int xHotSpot, int yHotSpot, int nWidth, int nHeight,
                     const void* pvANDPlane, const void* pvXORPlane);

// Cursors and icons are objects of one kind: the copy and destroy functions accept both. A copy is a new
// object the caller owns. Destroying a shared (loaded) resource does nothing and returns FALSE, as does
// destroying an invalid or already destroyed handle.
HICON CopyIcon(HICON hIcon);
HCURSOR CopyCursor(HCURSOR hCursor);
BOOL DestroyIcon(HICON hIcon);
BOOL DestroyCursor(HCURSOR hCursor);

// One picture of a cursor or icon: straight (not premultiplied) alpha, 0xAARRGGBB, top row first.
struct IconImage {
    int width = 0;
    int height = 0;
    int xHotspot = 0; // cursors: the pixel that is the pointer's position; icons: the centre
    int yHotspot = 0;
    std::vector<std::uint32_t> pixels; // width * height
    std::uint32_t At(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

// The cursor's picture and hotspot, for the UI layer that turns it into a native pointer shape.
// false for an invalid handle.
bool GetCursorImage(HCURSOR hCursor, IconImage& out);
// The icon's picture closest in size to size (icons carry 32 x 32 and 16 x 16 pictures); false for an
// invalid handle.
bool GetIconImage(HICON hIcon, int size, IconImage& out);

// Number of live cursors and icons that are not shared resources (leak checks in tests).
std::size_t OwnedIconCount();

} // namespace win
