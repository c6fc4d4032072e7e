// Roots of the component library: data objects with nested update brackets and one change
// notification, the component bases, and access to the library's resources by relative number.
#pragma once

#include "platform/ui/Classes.h"
#include "platform/ui/Dialogs.h"
#include "platform/win/WinTypes.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kv {

using TNotifyEvent = std::function<void(host::TObject* sender)>;

class TKvObject : public host::TPersistent {
public:
    TNotifyEvent OnChange;

    // Outermost BeginUpdate suspends notifications; the matching outermost EndUpdate sends one.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return m_updateCount; }

    virtual void SetUpdateState(bool Updating);
    // Notifies OnChange unless an update bracket is open. Descendants extend it.
    virtual void Changed();

private:
    std::int32_t m_updateCount = 0;
};

class TKvComponent : public host::TComponent {
public:
    using host::TComponent::TComponent;
    virtual void ChangeDesigning(bool Value);
};

// Common ancestor of the library's non-visual components.
class TKvNonVisualComponent : public TKvComponent {
public:
    using TKvComponent::TKvComponent;
};

// Common ancestor of the library's file dialogs.
class TKvCommonDialog : public host::TCommonDialog {
public:
    using host::TCommonDialog::TCommonDialog;
};

// The library's string resource 28000 + n; empty when the module has none.
std::string LoadResStr(std::uint16_t n);
// The library's cursor 2000 + n and icon 3000 + n of the program's module; null when absent.
win::HCURSOR LoadResCursor(std::uint16_t n);
win::HICON LoadResIcon(std::uint16_t n);

// Numbers of the library's cursors in the screen's cursor table (2000 + n for cursor n).
constexpr int crKvHandOpen = 2001;
constexpr int crKvHandGrab = 2002;
constexpr int crKvDrag = 2003;
constexpr int crKvCopy = 2004;
constexpr int crKvInsert = 2005;
constexpr int crKvDelete = 2006;
constexpr int crKvZoomIn = 2007;
constexpr int crKvZoomOut = 2008;
constexpr int crKvSplitHorz = 2009; // divider between left and right
constexpr int crKvSplitVert = 2010; // divider between top and bottom
constexpr int crKvMarkerPlace = 2011;
constexpr int crKvMarkerMove = 2012;
constexpr int crKvPointAdd = 2013;
constexpr int crKvPointMove = 2014;
constexpr int crKvPointDelete = 2015;
constexpr int crKvScrub = 2016;
constexpr int crKvPlayPosition = 2017;
constexpr int crKvRegionStart = 2018;
constexpr int crKvRegionEnd = 2019;
constexpr int crKvPencil = 2020;
constexpr int crKvEraser = 2021;
constexpr int crKvCrosshair = 2022;
constexpr int crKvLink = 2023;
constexpr int crKvNoDrop = 2024;
constexpr int crKvSelectRange = 2025;
constexpr int crKvCut = 2026;
constexpr int crKvFadeIn = 2027;
constexpr int crKvFadeOut = 2028;
constexpr int crKvColorPicker = 2029;
constexpr int crKvFill = 2030;
constexpr int crKvGain = 2031;
constexpr int kvCursorCount = 31;

// The unit's start-up step: hands each library cursor n (1 to 31) to setCursor under the number
// 2000 + n, so that controls can use those numbers as cursors. The visual layer calls it once with a
// function that stores a cursor in the screen's cursor table; cursors that fail to load are skipped.
void RegisterKvCursors(const std::function<void(int number, win::HCURSOR cursor)>& setCursor);

// Whether object's class is T or derives from it. The object must not be null.
template <typename T> bool InheritsFromEx(const host::TObject* object) { return object->InheritsFrom<T>(); }

} // namespace kv
