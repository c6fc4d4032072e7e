// Geometry records of the UI framework: rectangles, points and sizes are the platform's own records, so
// they pass to the GDI functions unchanged. A rectangle's right and bottom edges are exclusive.
#pragma once

#include "platform/gdi/Gdi.h"

namespace host {

using TRect = win::RECT;
using TPoint = win::POINT;
using TSize = win::SIZE;

constexpr TRect Rect(int left, int top, int right, int bottom) {
    return TRect{left, top, right, bottom};
}
// The rectangle of the given size whose top left corner is (left, top).
constexpr TRect Bounds(int left, int top, int width, int height) {
    return TRect{left, top, left + width, top + height};
}
constexpr TPoint Point(int x, int y) {
    return TPoint{x, y};
}

} // namespace host
