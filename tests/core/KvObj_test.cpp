#include "core/KvObj.h"

#include "platform/win/Cursors.h"
#include "platform/win/Resources.h"

#include <gtest/gtest.h>

#include <map>

using namespace kv;

namespace {

class Setting : public TKvObject {
public:
    void SetValue(int v) {
        if (v == m_value) return;
        m_value = v;
        Changed();
    }

private:
    int m_value = 0;
};

class Watcher : public host::TComponent {
public:
    using host::TComponent::TComponent;
    host::TComponent* watched = nullptr;
    void Watch(host::TComponent* c) {
        watched = c;
        c->FreeNotification(this);
    }

protected:
    void Notification(host::TComponent* c, host::TOperation op) override {
        host::TComponent::Notification(c, op);
        if (op == host::TOperation::opRemove && c == watched) watched = nullptr;
    }
};

} // namespace

TEST(KvObject, NestedUpdatesNotifyOnceAtTheOutermostEnd) {
    Setting s;
    int calls = 0;
    s.OnChange = [&](host::TObject* sender) {
        EXPECT_EQ(sender, &s);
        ++calls;
    };
    s.BeginUpdate();
    s.BeginUpdate();
    s.SetValue(5);
    s.EndUpdate();
    EXPECT_EQ(calls, 0);
    s.EndUpdate();
    EXPECT_EQ(calls, 1);
    s.SetValue(5); // unchanged value: no notification
    EXPECT_EQ(calls, 1);
    s.SetValue(6);
    EXPECT_EQ(calls, 2);
}

TEST(KvObject, UnbalancedEndUpdateNeverNotifiesAndRecovers) {
    Setting s;
    int calls = 0;
    s.OnChange = [&](host::TObject*) { ++calls; };
    s.EndUpdate();
    EXPECT_EQ(s.UpdateCount(), -1);
    EXPECT_EQ(calls, 0);
    s.BeginUpdate(); // back to 0 without SetUpdateState(true)
    EXPECT_EQ(s.UpdateCount(), 0);
    s.SetValue(1);
    EXPECT_EQ(calls, 1);
}

TEST(KvComponent, OwnerFreesItsComponentsAndWatchersHearOfIt) {
    auto* owner = new TKvNonVisualComponent(nullptr);
    auto* child = new TKvNonVisualComponent(owner);
    child->SetName("Child");
    Watcher watcher(nullptr);
    watcher.Watch(child);
    EXPECT_EQ(owner->ComponentCount(), 1);
    EXPECT_EQ(owner->FindComponent("Child"), child);
    delete owner; // frees child too
    EXPECT_EQ(watcher.watched, nullptr);
}

TEST(KvComponent, DesigningStateReachesOwnedComponents) {
    TKvNonVisualComponent owner(nullptr);
    auto* child = new TKvNonVisualComponent(&owner);
    owner.ChangeDesigning(true);
    EXPECT_TRUE(child->ComponentState() & host::csDesigning);
    owner.ChangeDesigning(false);
    EXPECT_FALSE(child->ComponentState() & host::csDesigning);
    EXPECT_TRUE(InheritsFromEx<TKvComponent>(child));
    EXPECT_FALSE(InheritsFromEx<TKvObject>(child));
}

TEST(KvObj, LoadResStrReadsTheLibraryStringTable) {
    EXPECT_EQ(LoadResStr(10), "Open AVI File");
    EXPECT_EQ(LoadResStr(13), "AVI-Files(*.avi)|*.avi|Wave-Files(*.wav)|*.wav");
    EXPECT_EQ(LoadResStr(999), "");
}

TEST(KvObj, LoadResCursorAndIconTakeTheLibrarysNumbers) {
    win::HINSTANCE module = win::GetModuleHandleA(nullptr);
    for (std::uint16_t n = 1; n <= kvCursorCount; ++n)
        EXPECT_EQ(LoadResCursor(n), win::LoadCursorA(module, win::MAKEINTRESOURCEA(win::WORD(2000 + n)))) << n;
    EXPECT_NE(LoadResCursor(1), nullptr);
    EXPECT_EQ(LoadResCursor(0), nullptr);
    EXPECT_EQ(LoadResCursor(32), nullptr);
    EXPECT_EQ(LoadResCursor(65535), nullptr); // beyond the resource numbers, not wrapped round to 1999

    win::HICON icon = LoadResIcon(1);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon, win::LoadIconA(module, win::MAKEINTRESOURCEA(3001)));
    win::IconImage image;
    EXPECT_TRUE(win::GetIconImage(icon, 32, image));
    EXPECT_EQ(LoadResIcon(0), nullptr);
    EXPECT_EQ(LoadResIcon(2), nullptr);
}

TEST(KvObj, StartUpRegistersEveryLibraryCursorUnderItsNumber) {
    std::map<int, win::HCURSOR> table;
    RegisterKvCursors([&](int number, win::HCURSOR cursor) { table[number] = cursor; });
    ASSERT_EQ(table.size(), std::size_t(kvCursorCount));
    EXPECT_EQ(table.begin()->first, crKvHandOpen);
    EXPECT_EQ(table.rbegin()->first, crKvGain);
    EXPECT_EQ(table[crKvPencil], LoadResCursor(crKvPencil - 2000));
}
