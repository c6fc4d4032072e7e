// The system metrics: sizes of the screen and of the standard parts of windows, as on a desktop of
// 96 dots per inch with the classic window style. The screen is 1920 x 1080 with a taskbar of 30
// pixels along the bottom.
#pragma once

#include "platform/win/WinTypes.h"

namespace win {

constexpr INT SM_CXSCREEN = 0;
constexpr INT SM_CYSCREEN = 1;
constexpr INT SM_CXVSCROLL = 2;
constexpr INT SM_CYHSCROLL = 3;
constexpr INT SM_CYCAPTION = 4;
constexpr INT SM_CXBORDER = 5;
constexpr INT SM_CYBORDER = 6;
constexpr INT SM_CXDLGFRAME = 7;
constexpr INT SM_CYDLGFRAME = 8;
constexpr INT SM_CXFIXEDFRAME = SM_CXDLGFRAME;
constexpr INT SM_CYFIXEDFRAME = SM_CYDLGFRAME;
constexpr INT SM_CYVTHUMB = 9;
constexpr INT SM_CXHTHUMB = 10;
constexpr INT SM_CXICON = 11;
constexpr INT SM_CYICON = 12;
constexpr INT SM_CXCURSOR = 13;
constexpr INT SM_CYCURSOR = 14;
constexpr INT SM_CYMENU = 15;
constexpr INT SM_CXFULLSCREEN = 16;
constexpr INT SM_CYFULLSCREEN = 17;
constexpr INT SM_CYKANJIWINDOW = 18;
constexpr INT SM_MOUSEPRESENT = 19;
constexpr INT SM_CYVSCROLL = 20;
constexpr INT SM_CXHSCROLL = 21;
constexpr INT SM_DEBUG = 22;
constexpr INT SM_SWAPBUTTON = 23;
constexpr INT SM_CXMIN = 28;
constexpr INT SM_CYMIN = 29;
constexpr INT SM_CXSIZE = 30;
constexpr INT SM_CYSIZE = 31;
constexpr INT SM_CXFRAME = 32;
constexpr INT SM_CYFRAME = 33;
constexpr INT SM_CXSIZEFRAME = SM_CXFRAME;
constexpr INT SM_CYSIZEFRAME = SM_CYFRAME;
constexpr INT SM_CXMINTRACK = 34;
constexpr INT SM_CYMINTRACK = 35;
constexpr INT SM_CXDOUBLECLK = 36;
constexpr INT SM_CYDOUBLECLK = 37;
constexpr INT SM_CXICONSPACING = 38;
constexpr INT SM_CYICONSPACING = 39;
constexpr INT SM_MENUDROPALIGNMENT = 40;
constexpr INT SM_CMOUSEBUTTONS = 43;
constexpr INT SM_CXEDGE = 45;
constexpr INT SM_CYEDGE = 46;
constexpr INT SM_CXSMICON = 49;
constexpr INT SM_CYSMICON = 50;
constexpr INT SM_CYSMCAPTION = 51;
constexpr INT SM_CXSMSIZE = 52;
constexpr INT SM_CYSMSIZE = 53;
constexpr INT SM_CXMENUSIZE = 54;
constexpr INT SM_CYMENUSIZE = 55;
constexpr INT SM_CXMAXTRACK = 59;
constexpr INT SM_CYMAXTRACK = 60;
constexpr INT SM_CXMAXIMIZED = 61;
constexpr INT SM_CYMAXIMIZED = 62;
constexpr INT SM_CXMENUCHECK = 71;
constexpr INT SM_CYMENUCHECK = 72;
constexpr INT SM_XVIRTUALSCREEN = 76;
constexpr INT SM_YVIRTUALSCREEN = 77;
constexpr INT SM_CXVIRTUALSCREEN = 78;
constexpr INT SM_CYVIRTUALSCREEN = 79;
constexpr INT SM_CMONITORS = 80;

// The metric's value; 0 for an index it does not know.
INT GetSystemMetrics(INT nIndex);

} // namespace win
