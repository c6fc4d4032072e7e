// DrawTextExA with DT_MODIFYSTRING: the text as shown comes back in the caller's buffer, measured with
// the DC's font, and never beyond the room the caller promised.
#include "platform/gdi/Gdi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace win;

namespace {

struct MemoryDc {
    MemoryDc() : dc(CreateCompatibleDC(nullptr)) {}
    ~MemoryDc() { DeleteDC(dc); }
    int width(const std::string& s) const {
        SIZE size{};
        GetTextExtentPoint32A(dc, s.data(), int(s.size()), &size);
        return size.cx;
    }
    HDC dc;
};

std::string fit(HDC dc, const std::string& text, int width, UINT format) {
    std::vector<char> buffer(text.size() + 4, 'x');
    std::memcpy(buffer.data(), text.data(), text.size());
    RECT r{0, 0, width, 20};
    EXPECT_GT(DrawTextExA(dc, buffer.data(), int(text.size()), &r, format | DT_MODIFYSTRING, nullptr), 0);
    return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

TEST(DrawTextEx, ShortenedTextComesBackInTheBuffer) {
    MemoryDc m;
    const std::string path = "/home/someone/pictures/holiday/2024/Stills";
    const int half = m.width(path) / 2;
    const std::string end = fit(m.dc, path, half, DT_END_ELLIPSIS);
    EXPECT_EQ(end.substr(end.size() - 3), "...");
    EXPECT_EQ(path.compare(0, end.size() - 3, end, 0, end.size() - 3), 0);
    EXPECT_LE(m.width(end), half);

    const std::string middle = fit(m.dc, path, half, DT_PATH_ELLIPSIS);
    EXPECT_EQ(middle.substr(middle.size() - 10), ".../Stills");
    EXPECT_LE(m.width(middle), half);

    // Text that fits, or no ellipsis asked for: unchanged.
    EXPECT_EQ(fit(m.dc, path, m.width(path) + 5, DT_END_ELLIPSIS), path);
    EXPECT_EQ(fit(m.dc, path, half, 0), path);
}

TEST(DrawTextEx, TheTextNeverGrowsPastFourBytes) {
    // A path whose last part alone is wider than the rectangle grows by the ellipsis.
    MemoryDc m;
    const std::string text = "a/bcdefghijklmnop";
    const std::string shown = fit(m.dc, text, m.width("b"), DT_PATH_ELLIPSIS);
    EXPECT_LE(shown.size(), text.size() + 3);
}

} // namespace
