// The in-process clipboard: formats, ownership of the stored blocks, opening across threads, and the
// backend that mirrors it to a desktop clipboard.
#include "platform/win/Clipboard.h"
#include "platform/win/GlobalMemory.h"

#include <cstring>
#include <gtest/gtest.h>
#include <thread>

using namespace win;

namespace {

HGLOBAL blockWith(const std::string& text) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, text.size());
    std::memcpy(GlobalLock(h), text.data(), text.size());
    GlobalUnlock(h);
    return h;
}

std::string textOf(HGLOBAL h) {
    const auto* p = static_cast<const char*>(GlobalLock(h));
    std::string s(p, GlobalSize(h));
    GlobalUnlock(h);
    return s;
}

bool openFromOtherThread() {
    bool opened = true;
    std::thread t([&] {
        opened = OpenClipboard(nullptr);
        if (opened) CloseClipboard();
    });
    t.join();
    return opened;
}

struct ClearClipboard {
    ~ClearClipboard() {
        SetClipboardBackend(nullptr);
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            CloseClipboard();
        }
    }
};

} // namespace

TEST(Clipboard, RegisteredFormatsAreStableAndIgnoreCase) {
    const UINT a = RegisterClipboardFormatA("Quillan Test A");
    EXPECT_GE(a, 0xC000u);
    EXPECT_EQ(RegisterClipboardFormatA("quillan test a"), a);
    EXPECT_NE(RegisterClipboardFormatA("Quillan Test B"), a);
    EXPECT_EQ(RegisterClipboardFormatA(""), 0u);
    EXPECT_EQ(RegisterClipboardFormatA(nullptr), 0u);
    std::string name;
    EXPECT_TRUE(GetClipboardFormatNameA(a, name));
    EXPECT_EQ(name, "Quillan Test A");
    EXPECT_FALSE(GetClipboardFormatNameA(1, name));
}

TEST(Clipboard, DataNeedsTheClipboardOpenAndIsOwnedOnceSet) {
    ClearClipboard cleanup;
    const UINT format = RegisterClipboardFormatA("Quillan Test Data");
    HGLOBAL first = blockWith("first");
    EXPECT_EQ(SetClipboardData(format, first), nullptr); // not open: the block stays ours
    EXPECT_EQ(GetClipboardData(format), nullptr);
    EXPECT_FALSE(EmptyClipboard());
    EXPECT_FALSE(CloseClipboard());

    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_TRUE(EmptyClipboard());
    int notABlock = 0;
    EXPECT_EQ(SetClipboardData(format, &notABlock), nullptr);
    EXPECT_EQ(SetClipboardData(format, first), first);
    HGLOBAL second = blockWith("second");
    EXPECT_EQ(SetClipboardData(format, second), second); // first is freed
    EXPECT_EQ(GetClipboardData(format), second);
    EXPECT_EQ(textOf(GetClipboardData(format)), "second");
    EXPECT_TRUE(IsClipboardFormatAvailable(format));

    EXPECT_FALSE(openFromOtherThread());
    ASSERT_TRUE(OpenClipboard(nullptr)); // nests on the same thread
    EXPECT_TRUE(CloseClipboard());
    EXPECT_FALSE(openFromOtherThread());
    EXPECT_TRUE(CloseClipboard());
    EXPECT_TRUE(openFromOtherThread());

    EXPECT_TRUE(IsClipboardFormatAvailable(format)); // the data outlives the open bracket
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    EXPECT_FALSE(IsClipboardFormatAvailable(format));
    CloseClipboard();
}

TEST(Clipboard, BackendPublishesChangesAndImportsDesktopContents) {
    ClearClipboard cleanup;
    struct Fake : ClipboardBackend {
        int publishes = 0;
        std::vector<ClipboardItem> published;
        std::vector<ClipboardItem> desktop;
        void publish(const std::vector<ClipboardItem>& items) override {
            ++publishes;
            published = items;
        }
        bool fetch(std::vector<ClipboardItem>& items) override {
            if (desktop.empty()) return false;
            items = std::move(desktop);
            desktop.clear();
            return true;
        }
    };
    auto fake = std::make_shared<Fake>();
    SetClipboardBackend(fake);
    const UINT format = RegisterClipboardFormatA("Quillan Test Mirror");

    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(format, blockWith("mirrored"));
    CloseClipboard();
    ASSERT_EQ(fake->publishes, 1);
    ASSERT_EQ(fake->published.size(), 1u);
    EXPECT_EQ(fake->published[0].name, "Quillan Test Mirror");
    EXPECT_EQ(std::string(fake->published[0].bytes.begin(), fake->published[0].bytes.end()), "mirrored");

    ASSERT_TRUE(OpenClipboard(nullptr)); // nothing changed: nothing published
    CloseClipboard();
    EXPECT_EQ(fake->publishes, 1);

    ClipboardItem item;
    item.name = "Quillan Test From Desktop";
    item.bytes = {'d', 'e', 's', 'k'};
    fake->desktop = {item};
    ASSERT_TRUE(OpenClipboard(nullptr));
    const UINT imported = RegisterClipboardFormatA("quillan test from desktop");
    ASSERT_NE(GetClipboardData(imported), nullptr);
    EXPECT_EQ(textOf(GetClipboardData(imported)), "desk");
    EXPECT_EQ(GetClipboardData(format), nullptr); // replaced by the desktop's contents
    CloseClipboard();
}
