// The system colours of the classic desktop scheme and their brushes.
#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiState.h"

#include <array>

namespace win {
namespace gdi {

COLORREF SysColor(int index) {
    static constexpr std::array<COLORREF, kSysColorCount> kColours = {
        RGB(192, 192, 192), // COLOR_SCROLLBAR
        RGB(0, 128, 128),   // COLOR_BACKGROUND
        RGB(0, 0, 128),     // COLOR_ACTIVECAPTION
        RGB(128, 128, 128), // COLOR_INACTIVECAPTION
        RGB(192, 192, 192), // COLOR_MENU
        RGB(255, 255, 255), // COLOR_WINDOW
        RGB(0, 0, 0),       // COLOR_WINDOWFRAME
        RGB(0, 0, 0),       // COLOR_MENUTEXT
        RGB(0, 0, 0),       // COLOR_WINDOWTEXT
        RGB(255, 255, 255), // COLOR_CAPTIONTEXT
        RGB(192, 192, 192), // COLOR_ACTIVEBORDER
        RGB(192, 192, 192), // COLOR_INACTIVEBORDER
        RGB(128, 128, 128), // COLOR_APPWORKSPACE
        RGB(0, 0, 128),     // COLOR_HIGHLIGHT
        RGB(255, 255, 255), // COLOR_HIGHLIGHTTEXT
        RGB(192, 192, 192), // COLOR_BTNFACE
        RGB(128, 128, 128), // COLOR_BTNSHADOW
        RGB(128, 128, 128), // COLOR_GRAYTEXT
        RGB(0, 0, 0),       // COLOR_BTNTEXT
        RGB(192, 192, 192), // COLOR_INACTIVECAPTIONTEXT
        RGB(255, 255, 255), // COLOR_BTNHIGHLIGHT
        RGB(0, 0, 0),       // COLOR_3DDKSHADOW
        RGB(223, 223, 223), // COLOR_3DLIGHT
        RGB(0, 0, 0),       // COLOR_INFOTEXT
        RGB(255, 255, 225), // COLOR_INFOBK
        CLR_INVALID,        // 25 is not a system colour
        RGB(0, 0, 255),     // COLOR_HOTLIGHT
        RGB(16, 132, 208),  // COLOR_GRADIENTACTIVECAPTION
        RGB(181, 181, 181), // COLOR_GRADIENTINACTIVECAPTION
    };
    return index >= 0 && index < kSysColorCount ? kColours[std::size_t(index)] : CLR_INVALID;
}

} // namespace gdi

DWORD GetSysColor(int index) {
    const COLORREF c = gdi::SysColor(index);
    return c == CLR_INVALID ? 0 : c;
}

HBRUSH GetSysColorBrush(int index) {
    return gdi::State::Get().SysColorBrush(index);
}

} // namespace win
