// Formatted text in a rectangle: prefixes, line breaks, word wrapping, ellipses and alignment.
#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiText.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace win {
namespace gdi {
namespace {

constexpr std::string_view kEllipsis = "...";

struct Line {
    std::string text;
    std::size_t start = 0; // offset of the line in the whole text
    int underline = -1;    // byte offset within the line of the character to underline
};

bool continuation(char c) {
    return (std::uint8_t(c) & 0xC0) == 0x80;
}

// The offsets at which characters start, and the end.
std::vector<std::size_t> boundaries(std::string_view text) {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!continuation(text[i])) out.push_back(i);
    out.push_back(text.size());
    return out;
}

// Removes '&' prefixes ("&&" is a literal '&'); underline is the offset of the character after the last
// prefix, or -1.
std::string stripPrefixes(std::string_view text, long long& underline) {
    std::string out;
    underline = -1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) {
            ++i;
            if (text[i] != '&') underline = static_cast<long long>(out.size());
        }
        out.push_back(text[i]);
    }
    return out;
}

std::string expandTabs(std::string_view text) {
    std::string out;
    std::size_t column = 0;
    for (char c : text) {
        if (c == '\t') {
            do
                out.push_back(' ');
            while (++column % 8);
            continue;
        }
        out.push_back(c);
        column = c == '\n' || c == '\r' ? 0 : column + (continuation(c) ? 0 : 1);
    }
    return out;
}

// Splits at line breaks and, with wrapping, at spaces so that lines fit the width. A word wider than
// the width keeps a line of its own.
std::vector<Line> splitLines(const std::string& text, const FontMeasure& font, int width, bool wrap) {
    std::vector<Line> lines;
    std::size_t i = 0;
    while (true) {
        std::size_t end = text.find_first_of("\r\n", i);
        std::size_t stop = end == std::string::npos ? text.size() : end;
        std::size_t start = i;
        while (wrap && font.Width(std::string_view(text).substr(start, stop - start)) > width) {
            // The last space that leaves a fitting line, else the first space.
            std::size_t cut = std::string::npos;
            for (std::size_t k = start; k < stop; ++k)
                if (text[k] == ' ' &&
                    (cut == std::string::npos || font.Width(text.substr(start, k - start)) <= width))
                    cut = k;
            if (cut == std::string::npos || cut == start) break;
            lines.push_back(Line{text.substr(start, cut - start), start});
            start = cut + 1;
            while (start < stop && text[start] == ' ')
                ++start;
        }
        lines.push_back(Line{text.substr(start, stop - start), start});
        if (end == std::string::npos) break;
        i = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

// The longest prefix of text (cut at a character) whose width with suffix fits.
std::size_t fittingPrefix(std::string_view text, std::string_view suffix, const FontMeasure& font,
                          int width) {
    const std::vector<std::size_t> cuts = boundaries(text);
    std::size_t lo = 0, hi = cuts.size() - 1; // cuts[lo] fits (assumed), find the last one that does
    while (lo < hi) {
        const std::size_t mid = (lo + hi + 1) / 2;
        std::string candidate(text.substr(0, cuts[mid]));
        candidate += suffix;
        if (font.Width(candidate) <= width)
            lo = mid;
        else
            hi = mid - 1;
    }
    return cuts[lo];
}

void ellipsize(Line& line, const FontMeasure& font, int width, UINT format) {
    if (font.Width(line.text) <= width) return;
    const std::string_view text = line.text;
    const std::size_t slash = text.find_last_of("/\\");
    if ((format & DT_PATH_ELLIPSIS) && slash != std::string::npos && slash > 0) {
        // Shorten the folders, keep the last part of the path.
        const std::string tail(text.substr(slash));
        const std::string suffix = std::string(kEllipsis) + tail;
        const std::size_t keep = fittingPrefix(text.substr(0, slash), suffix, font, width);
        if (line.underline >= int(keep) && line.underline < int(slash))
            line.underline = -1;
        else if (line.underline >= int(slash))
            line.underline += int(keep + kEllipsis.size()) - int(slash);
        line.text = std::string(text.substr(0, keep)) + suffix;
        if (font.Width(line.text) <= width) return;
    }
    if (!(format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS))) return;
    std::size_t keep = fittingPrefix(line.text, kEllipsis, font, width);
    if (format & DT_WORD_ELLIPSIS) {
        const std::size_t space = line.text.rfind(' ', keep);
        if (space != std::string::npos && space > 0 && keep < line.text.size() && line.text[keep] != ' ')
            keep = space;
    }
    if (line.underline >= int(keep)) line.underline = -1;
    line.text = line.text.substr(0, keep) + std::string(kEllipsis);
}

void fillCell(DrawContext& dc, const RECT& r, const RECT& clip) {
    const RECT area = Intersect(Intersect(r, clip), dc.clip);
    const PixelValue v = dc.surface.ValueOf(dc.bkColor);
    for (int y = area.top; y < area.bottom; ++y)
        FillSpan(dc.surface, area, y, area.left, area.right, v, R2_COPYPEN);
}

void drawLine(DrawContext& dc, const FontMeasure& font, const Line& line, int x, int y, const RECT& clip) {
    const FontMetrics& m = font.Metrics();
    if (dc.bkMode == OPAQUE) fillCell(dc, RECT{x, y, x + font.Width(line.text), y + m.Height()}, clip);
    PaintGlyphs(dc, x, y, line.text, clip);
    if (line.underline < 0 || std::size_t(line.underline) >= line.text.size()) return;
    std::size_t end = std::size_t(line.underline) + 1;
    while (end < line.text.size() && continuation(line.text[end]))
        ++end;
    const int from = x + font.Width(std::string_view(line.text).substr(0, std::size_t(line.underline)));
    const int to = x + font.Width(std::string_view(line.text).substr(0, end));
    const RECT area = Intersect(clip, dc.clip);
    const PixelValue v = dc.surface.ValueOf(dc.textColor);
    const int top = y + m.ascent + m.underlineOffset;
    for (int k = 0; k < m.lineWidth; ++k)
        FillSpan(dc.surface, area, top + k, from, to, v, R2_COPYPEN);
}

} // namespace
} // namespace gdi

using namespace gdi;

namespace {
int drawText(HDC hdc, const char* text, int count, RECT* rect, UINT format, std::string* shown);
}

int DrawTextA(HDC hdc, const char* text, int count, RECT* rect, UINT format) {
    return drawText(hdc, text, count, rect, format & ~DT_MODIFYSTRING, nullptr);
}

int DrawTextExA(HDC hdc, char* text, int count, RECT* rect, UINT format, const void*) {
    if (!(format & DT_MODIFYSTRING) || !text || count < 0) return DrawTextA(hdc, text, count, rect, format);
    std::string shown;
    const int height = drawText(hdc, text, count, rect, format, &shown);
    if (height && !(format & DT_CALCRECT)) {
        // The buffer holds count + 4 bytes: the text cut at a character if it grew beyond that.
        std::size_t n = std::min<std::size_t>(shown.size(), std::size_t(count) + 3);
        while (n > 0 && n < shown.size() && (static_cast<unsigned char>(shown[n]) & 0xC0) == 0x80)
            --n;
        std::memcpy(text, shown.data(), n);
        text[n] = '\0';
    }
    return height;
}

namespace {
int drawText(HDC hdc, const char* text, int count, RECT* rect, UINT format, std::string* shown) {
    if (!rect || (!text && count != 0)) return 0;
    constexpr LONG kLimit = 1 << 24;
    for (LONG v : {rect->left, rect->top, rect->right, rect->bottom})
        if (v < -kLimit || v > kLimit) return 0;
    DrawContext dc;
    if (!Capture(hdc, dc)) return 0;
    FontMeasure font(dc);
    if (!font.Valid()) return 0;
    std::string_view source = text
                                  ? std::string_view(text, count < 0 ? std::strlen(text) : std::size_t(count))
                                  : std::string_view();
    std::string expanded = (format & DT_EXPANDTABS) ? expandTabs(source) : std::string(source);
    long long underline = -1;
    if (!(format & DT_NOPREFIX)) expanded = stripPrefixes(expanded, underline);
    const bool single = (format & DT_SINGLELINE) != 0;
    if (single)
        std::replace_if(
            expanded.begin(), expanded.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    const long long rectWidth = (long long)rect->right - rect->left;
    const int width = int(std::clamp<long long>(rectWidth, 0, INT_MAX));
    std::vector<Line> lines = splitLines(expanded, font, width, !single && (format & DT_WORDBREAK));
    for (Line& line : lines)
        if (underline >= (long long)line.start && underline < (long long)(line.start + line.text.size()))
            line.underline = int(underline - (long long)line.start);
    const int lineHeight = font.Metrics().Height();
    const int height = int(std::min<std::size_t>(lines.size() * std::size_t(lineHeight), INT_MAX / 2));
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const Line& line : lines)
            widest = std::max(widest, font.Width(line.text));
        rect->right = LONG(std::min<long long>((long long)rect->left + widest, INT_MAX));
        rect->bottom = LONG(std::min<long long>((long long)rect->top + height, INT_MAX));
        return height;
    }
    if (format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS))
        for (Line& line : lines)
            ellipsize(line, font, width, format);
    if (shown && !lines.empty()) *shown = lines.front().text;
    int y = rect->top;
    if (single && (format & DT_VCENTER))
        y = int(rect->top + ((long long)rect->bottom - rect->top - lineHeight) / 2);
    if (single && (format & DT_BOTTOM)) y = rect->bottom - lineHeight;
    const RECT clip = (format & DT_NOCLIP) ? RECT{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX} : *rect;
    if (dc.surface.Valid()) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const int lineWidth = font.Width(lines[i].text);
            int x = rect->left;
            if (format & DT_CENTER)
                x = int(rect->left + (rectWidth - lineWidth) / 2);
            else if (format & DT_RIGHT)
                x = rect->right - lineWidth;
            const int top = y + int(i) * lineHeight;
            if (top > dc.clip.bottom) break;
            drawLine(dc, font, lines[i], x, top, clip);
        }
    }
    if (single && (format & (DT_VCENTER | DT_BOTTOM))) return y + lineHeight - rect->top;
    return height;
}
} // namespace

} // namespace win
