#include "platform/win/CursorArt.h"
#include "platform/win/Cursors.h"
#include "platform/win/Resources.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

using namespace win;

namespace {

HINSTANCE module() { return GetModuleHandleA(nullptr); }

bool opaqueAt(const IconImage& image, int x, int y) { return (image.At(x, y) >> 24) != 0; }

// Hotspots that lie on a transparent pixel must at least be next to the drawing (a lens centre, a gap
// in a crosshair), never out in empty space.
bool hotspotTouchesPicture(const IconImage& image) {
    for (int dy = -4; dy <= 4; ++dy)
        for (int dx = -4; dx <= 4; ++dx) {
            int x = image.xHotspot + dx, y = image.yHotspot + dy;
            if (x >= 0 && y >= 0 && x < image.width && y < image.height && opaqueAt(image, x, y)) return true;
        }
    return false;
}

void expectWellFormedCursors(const std::vector<HCURSOR>& cursors) {
    std::set<std::vector<std::uint32_t>> pictures;
    for (HCURSOR c : cursors) {
        IconImage image;
        ASSERT_TRUE(GetCursorImage(c, image));
        EXPECT_EQ(image.width, 32);
        EXPECT_EQ(image.height, 32);
        ASSERT_EQ(image.pixels.size(), 32u * 32u);
        EXPECT_TRUE(image.xHotspot >= 0 && image.xHotspot < 32 && image.yHotspot >= 0 && image.yHotspot < 32);
        EXPECT_TRUE(hotspotTouchesPicture(image)) << image.xHotspot << "," << image.yHotspot;
        pictures.insert(image.pixels);
    }
    EXPECT_EQ(pictures.size(), cursors.size()) << "two cursors share one picture";
}

} // namespace

TEST(WinCursors, TheLibraryCursorsLoadWithDistinctPicturesAndHotspots) {
    std::vector<HCURSOR> cursors;
    for (WORD id = 2001; id <= 2031; ++id) {
        HCURSOR c = LoadCursorA(module(), MAKEINTRESOURCEA(id));
        ASSERT_NE(c, nullptr) << id;
        EXPECT_EQ(LoadCursorA(module(), MAKEINTRESOURCEA(id)), c) << "a resource loads as one shared handle";
        cursors.push_back(c);
    }
    expectWellFormedCursors(cursors);
    EXPECT_EQ(std::set<HCURSOR>(cursors.begin(), cursors.end()).size(), cursors.size());
}

TEST(WinCursors, TheSystemCursorsLoadWithDistinctPictures) {
    std::vector<HCURSOR> cursors;
    for (LPCSTR id : {IDC_ARROW, IDC_IBEAM, IDC_WAIT, IDC_CROSS, IDC_UPARROW, IDC_SIZENWSE, IDC_SIZENESW,
                      IDC_SIZEWE, IDC_SIZENS, IDC_SIZEALL, IDC_NO, IDC_HAND, IDC_APPSTARTING}) {
        HCURSOR c = LoadCursorA(nullptr, id);
        ASSERT_NE(c, nullptr) << reinterpret_cast<std::uintptr_t>(id);
        cursors.push_back(c);
    }
    expectWellFormedCursors(cursors);
    IconImage arrow;
    ASSERT_TRUE(GetCursorImage(cursors[0], arrow));
    EXPECT_EQ(arrow.xHotspot, 0);
    EXPECT_EQ(arrow.yHotspot, 0);
}

TEST(WinCursors, ResourcesThatDoNotExistDoNotLoad) {
    int local = 0;
    HINSTANCE foreign = reinterpret_cast<HINSTANCE>(&local);
    struct Case {
        HINSTANCE module;
        LPCSTR name;
    } cases[] = {
        {module(), MAKEINTRESOURCEA(2000)}, {module(), MAKEINTRESOURCEA(2032)}, {module(), IDC_ARROW},
        {nullptr, MAKEINTRESOURCEA(2001)},  {foreign, MAKEINTRESOURCEA(2001)},  {module(), nullptr},
        {module(), "CURSOR"},               {module(), "#"},                     {module(), "#99999"},
    };
    for (const Case& c : cases) EXPECT_EQ(LoadCursorA(c.module, c.name), nullptr);
    EXPECT_EQ(LoadIconA(module(), MAKEINTRESOURCEA(3002)), nullptr);
    EXPECT_EQ(LoadIconA(foreign, MAKEINTRESOURCEA(3001)), nullptr);
    EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(3001)), nullptr);
    EXPECT_EQ(LoadIconA(module(), "NOSUCHICON"), nullptr);
}

TEST(WinIcons, ModuleIconsCarryALargeAndASmallPicture) {
    HICON icon = LoadIconA(module(), MAKEINTRESOURCEA(3001));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(LoadIconA(module(), "#3001"), icon);
    IconImage large, small;
    ASSERT_TRUE(GetIconImage(icon, 32, large));
    ASSERT_TRUE(GetIconImage(icon, 16, small));
    EXPECT_EQ(large.width, 32);
    EXPECT_EQ(small.width, 16);
    EXPECT_TRUE(opaqueAt(large, 16, 16));
    EXPECT_TRUE(GetIconImage(icon, 48, large));
    EXPECT_EQ(large.width, 32);

    HICON app = LoadIconA(module(), "MainIcon");
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(LoadIconA(module(), "MAINICON"), app);
    EXPECT_NE(app, icon);
    ASSERT_TRUE(GetIconImage(app, 16, small));
    EXPECT_EQ(small.width, 16); // scaled down from the large picture
}

TEST(WinIcons, SystemIconsLoad) {
    std::set<std::vector<std::uint32_t>> pictures;
    for (LPCSTR id : {IDI_APPLICATION, IDI_ERROR, IDI_QUESTION, IDI_WARNING, IDI_INFORMATION}) {
        HICON icon = LoadIconA(nullptr, id);
        ASSERT_NE(icon, nullptr);
        IconImage image;
        ASSERT_TRUE(GetIconImage(icon, 32, image));
        pictures.insert(image.pixels);
    }
    EXPECT_EQ(pictures.size(), 5u);
    EXPECT_NE(LoadIconA(nullptr, IDI_WINLOGO), nullptr);
}

TEST(WinCursors, ForeignAndDestroyedHandlesAreRefused) {
    const std::size_t owned = OwnedIconCount();
    int local = 0;
    IconImage image;
    EXPECT_FALSE(GetCursorImage(reinterpret_cast<HCURSOR>(&local), image));
    EXPECT_FALSE(GetIconImage(reinterpret_cast<HICON>(&local), 32, image));
    EXPECT_FALSE(DestroyCursor(reinterpret_cast<HCURSOR>(&local)));
    EXPECT_EQ(CopyIcon(reinterpret_cast<HICON>(&local)), nullptr);
    EXPECT_FALSE(GetCursorImage(nullptr, image));

    // A shared resource outlives attempts to destroy it.
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    EXPECT_FALSE(DestroyCursor(arrow));
    EXPECT_TRUE(GetCursorImage(arrow, image));

    // A copy is the caller's: same picture, its own handle, destroyed once.
    HCURSOR copy = CopyCursor(arrow);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, arrow);
    IconImage copied;
    ASSERT_TRUE(GetCursorImage(copy, copied));
    EXPECT_EQ(copied.pixels, image.pixels);
    EXPECT_EQ(OwnedIconCount(), owned + 1);
    EXPECT_TRUE(DestroyCursor(copy));
    EXPECT_FALSE(DestroyCursor(copy));
    EXPECT_FALSE(GetCursorImage(copy, copied));
    EXPECT_EQ(CopyCursor(copy), nullptr);

    HICON icon = CopyIcon(LoadIconA(module(), MAKEINTRESOURCEA(3001)));
    ASSERT_NE(icon, nullptr);
    EXPECT_TRUE(GetIconImage(icon, 16, image));
    EXPECT_EQ(image.width, 16);
    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_FALSE(GetIconImage(icon, 16, image));
    EXPECT_EQ(OwnedIconCount(), owned);
}

TEST(WinCursors, CreateCursorReadsTheAndAndXorPlanes) {
    // 3 x 2 pixels, rows padded to 16 bits. Row 0: transparent, black, white; row 1: inverted, black, black.
    const BYTE andPlane[] = {0b10000000, 0, 0b10000000, 0};
    const BYTE xorPlane[] = {0b00100000, 0, 0b10000000, 0};
    HCURSOR c = CreateCursor(module(), 2, 1, 3, 2, andPlane, xorPlane);
    ASSERT_NE(c, nullptr);
    IconImage image;
    ASSERT_TRUE(GetCursorImage(c, image));
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.xHotspot, 2);
    EXPECT_EQ(image.yHotspot, 1);
    const std::vector<std::uint32_t> expected = {0x00000000, 0xFF000000, 0xFFFFFFFF,
                                                 0xFF000000, 0xFF000000, 0xFF000000};
    EXPECT_EQ(image.pixels, expected);
    EXPECT_TRUE(DestroyCursor(c));

    struct Bad {
        int xHot, yHot, w, h;
    } bad[] = {{0, 0, 0, 2}, {0, 0, 3, 0}, {0, 0, 257, 2}, {3, 0, 3, 2}, {0, 2, 3, 2}, {-1, 0, 3, 2}};
    for (const Bad& b : bad) EXPECT_EQ(CreateCursor(module(), b.xHot, b.yHot, b.w, b.h, andPlane, xorPlane), nullptr);
    EXPECT_EQ(CreateCursor(module(), 0, 0, 3, 2, nullptr, xorPlane), nullptr);
}

TEST(WinCursorArt, MalformedPicturesAreRejected) {
    struct Case {
        const char* picture;
        bool cursor;
        bool ok;
    } cases[] = {
        {"\n#@\n..\n", true, true},  {"\n#@\n.\n", true, false},   // rows of different widths
        {"\n##\n..\n", true, false}, {"\n#@\n.*\n", true, false},  // no hotspot, two hotspots
        {"\n#x\n..\n", false, false}, {"#.\n..\n", false, false},  // unknown character, no leading break
        {"\n#.\n..", false, false},  {"\n#.\n..\n", false, true},  // no final break; icons have no hotspot
    };
    for (const Case& c : cases) EXPECT_EQ(art::valid(c.picture, 32, c.cursor, false), c.ok) << c.picture;
    EXPECT_FALSE(art::valid("\n#.\n..\n", 32, false, true)) << "icons fill their size";
    EXPECT_FALSE(art::valid("\n###\n...\n", 2, false, false)) << "wider than the cursor";
}

TEST(WinCursorArt, HalvingWeighsColoursByAlpha) {
    // Two transparent and two white pixels make half-transparent white, not grey.
    IconImage image = art::render("\n.o\no.\n", 2);
    IconImage half = art::halve(image);
    ASSERT_EQ(half.pixels.size(), 1u);
    EXPECT_EQ(half.pixels[0], 0x80FFFFFFu);
    EXPECT_EQ(art::halve(art::render("\n..\n..\n", 2)).pixels[0], 0u);
    EXPECT_EQ(art::halve(art::render("\nrr\nrr\n", 2)).pixels[0], *art::colourOf('r'));
}
