// The compiled-in pictures of cursors and icons, drawn as text with one character per pixel, and what
// turns them into images. Pictures are checked when the program is compiled.
//
// Characters:  '.' transparent   '#' black   'o' white
//              '@' '*' '+'       the hotspot of a cursor: black, white or transparent
//              'k' dark grey  'g' grey  'l' light grey  'r' red  'R' dark red  'y' yellow  'Y' orange
//              'G' green  'd' dark green  'b' blue  'B' dark blue  's' sky blue  'n' brown
//
// A picture is a raw string that starts with a line break and has one line per row, top row first.
// Cursor pictures may be smaller than the cursor: they sit in its top left corner and the rest is
// transparent. Icon pictures fill the icon exactly.
#pragma once

#include "platform/win/Cursors.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace win::art {

constexpr int kCursorSize = 32;
constexpr int kLargeIcon = 32;
constexpr int kSmallIcon = 16;

constexpr std::optional<std::uint32_t> colourOf(char c) {
    switch (c) {
    case '.': case '+': return 0x00000000u;
    case '#': case '@': return 0xFF000000u;
    case 'o': case '*': return 0xFFFFFFFFu;
    case 'k': return 0xFF404040u;
    case 'g': return 0xFF808080u;
    case 'l': return 0xFFC0C0C0u;
    case 'r': return 0xFFD02020u;
    case 'R': return 0xFF801010u;
    case 'y': return 0xFFF0D020u;
    case 'Y': return 0xFFE08020u;
    case 'G': return 0xFF30A040u;
    case 'd': return 0xFF206020u;
    case 'b': return 0xFF2050C0u;
    case 'B': return 0xFF103070u;
    case 's': return 0xFFA0D0F0u;
    case 'n': return 0xFF805020u;
    default: return std::nullopt;
    }
}

constexpr bool isHotspot(char c) { return c == '@' || c == '*' || c == '+'; }

// The picture's rows without the leading line break; each row ends with '\n'.
constexpr std::string_view body(std::string_view picture) {
    return picture.empty() || picture.front() != '\n' ? std::string_view() : picture.substr(1);
}

// Whether a picture is well formed: rows of one width, known characters, at most size x size (exactly
// that when exact is set), and one hotspot for a cursor or none for an icon.
constexpr bool valid(std::string_view picture, int size, bool cursor, bool exact) {
    std::string_view rows = body(picture);
    if (rows.empty() || rows.back() != '\n') return false;
    int width = -1, height = 0, hotspots = 0, x = 0;
    for (char c : rows) {
        if (c == '\n') {
            if (width >= 0 && x != width) return false;
            width = x;
            x = 0;
            ++height;
            continue;
        }
        if (!colourOf(c)) return false;
        if (isHotspot(c)) ++hotspots;
        ++x;
    }
    if (width <= 0 || width > size || height > size) return false;
    if (exact && (width != size || height != size)) return false;
    return hotspots == (cursor ? 1 : 0);
}

struct CursorArt {
    WORD id;
    std::string_view picture;
};

struct IconArt {
    WORD id;          // 0 for a named icon
    const char* name; // nullptr for a numbered icon
    std::string_view large;
    std::string_view small; // empty: the large picture scaled down
};

template <std::size_t N> constexpr bool allValid(const CursorArt (&table)[N]) {
    for (const CursorArt& a : table)
        if (!valid(a.picture, kCursorSize, true, false)) return false;
    return true;
}

template <std::size_t N> constexpr bool allValid(const IconArt (&table)[N]) {
    for (const IconArt& a : table) {
        if (!valid(a.large, kLargeIcon, false, true)) return false;
        if (!a.small.empty() && !valid(a.small, kSmallIcon, false, true)) return false;
    }
    return true;
}

// The picture as an image of size x size; a cursor's hotspot comes from its marker, an icon's is its
// centre.
IconImage render(std::string_view picture, int size);
// Half the size: each pixel is the average of four, weighted by their alpha.
IconImage halve(const IconImage& image);

std::span<const CursorArt> libraryCursors();
std::span<const CursorArt> systemCursors();
std::span<const IconArt> moduleIcons();
std::span<const IconArt> systemIcons();

} // namespace win::art
