#include "platform/win/SystemMetrics.h"

namespace win {
namespace {

constexpr INT ScreenWidth = 1920;
constexpr INT ScreenHeight = 1080;
constexpr INT WorkAreaHeight = ScreenHeight - 30; // a taskbar along the bottom
constexpr INT Caption = 19;                       // caption bar with its bottom border
constexpr INT Frame = 4;                          // sizing frame

} // namespace

INT GetSystemMetrics(INT nIndex) {
    switch (nIndex) {
    case SM_CXSCREEN:
    case SM_CXVIRTUALSCREEN:
    case SM_CXFULLSCREEN:
        return ScreenWidth;
    case SM_CYSCREEN:
    case SM_CYVIRTUALSCREEN:
        return ScreenHeight;
    case SM_CYFULLSCREEN:
        return WorkAreaHeight - Caption;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
        return 16;
    case SM_CYVTHUMB:
    case SM_CXHTHUMB:
        return 16;
    case SM_CYCAPTION:
        return Caption;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return Frame;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return 2;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CYMENU:
        return 19;
    case SM_CYSMCAPTION:
        return 15;
    case SM_CXSIZE:
    case SM_CYSIZE:
    case SM_CXMENUSIZE:
    case SM_CYMENUSIZE:
        return 18;
    case SM_CXSMSIZE:
    case SM_CYSMSIZE:
        return 12;
    case SM_CXMIN:
    case SM_CXMINTRACK:
        return 112;
    case SM_CYMIN:
    case SM_CYMINTRACK:
        return 27;
    case SM_CXMAXTRACK:
        return ScreenWidth + 2 * Frame + 4;
    case SM_CYMAXTRACK:
        return ScreenHeight + 2 * Frame + 4;
    case SM_CXMAXIMIZED:
        return ScreenWidth + 2 * Frame;
    case SM_CYMAXIMIZED:
        return WorkAreaHeight + 2 * Frame;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 4;
    case SM_CXICONSPACING:
    case SM_CYICONSPACING:
        return 75;
    case SM_CXMENUCHECK:
    case SM_CYMENUCHECK:
        return 13;
    case SM_MOUSEPRESENT:
    case SM_CMONITORS:
        return 1;
    case SM_CMOUSEBUTTONS:
        return 3;
    case SM_XVIRTUALSCREEN:
    case SM_YVIRTUALSCREEN:
        return 0;
    case SM_CYKANJIWINDOW:
    case SM_DEBUG:
    case SM_SWAPBUTTON:
    case SM_MENUDROPALIGNMENT:
        return 0;
    default:
        return 0;
    }
}

} // namespace win
