// String lists: editing, text in and out, change notification.
#include "platform/ui/StringList.h"
#include "platform/ui/SysUtils.h"

#include <gtest/gtest.h>

using namespace host;

namespace {

std::vector<std::string> items(const TStrings& s) {
    std::vector<std::string> out;
    for (int i = 0; i < s.Count(); ++i) out.push_back(s[i]);
    return out;
}

TEST(StringList, TextSplitsAtEveryKindOfLineBreak) {
    const struct {
        const char* text;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"one", {"one"}},
        {"one\n", {"one"}},
        {"one\r\ntwo\rthree\nfour", {"one", "two", "three", "four"}},
        {"a\n\nb\r\n\r\n", {"a", "", "b", ""}},
    };
    for (const auto& c : cases) {
        TStringList list;
        list.SetText(c.text);
        EXPECT_EQ(items(list), c.lines) << c.text;
    }
    TStringList list{"x", "", "y"};
    EXPECT_EQ(list.GetText(), "x\n\ny\n");
}

TEST(StringList, EditingAndIndexErrors) {
    TStringList list;
    EXPECT_EQ(list.Add("b"), 0);
    list.Insert(0, "a");
    list.Add("c");
    list.Put(2, "C");
    list.Exchange(0, 2);
    EXPECT_EQ(items(list), (std::vector<std::string>{"C", "b", "a"}));
    EXPECT_EQ(list.IndexOf("b"), 1);
    EXPECT_EQ(list.IndexOf("z"), -1);
    list.Delete(1);
    EXPECT_EQ(items(list), (std::vector<std::string>{"C", "a"}));
    EXPECT_THROW(list.Get(2), EListError);
    EXPECT_THROW(list.Insert(3, "x"), EListError);
    try {
        list.Delete(-1);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), FmtMessage(SListIndexError, -1));
    }
    TStringList copy;
    copy.Assign(&list);
    EXPECT_EQ(items(copy), items(list));
}

TEST(StringList, ChangesNotifyOnceInAnUpdateBracket) {
    TStringList list;
    int changing = 0, changed = 0;
    list.OnChanging = [&](TObject*) { ++changing; };
    list.OnChange = [&](TObject* sender) {
        EXPECT_EQ(sender, &list);
        ++changed;
    };
    list.Add("a");
    EXPECT_EQ(changed, 1);
    list.SetText("x\ny\nz");
    EXPECT_EQ(changed, 2);
    list.BeginUpdate();
    list.Add("1");
    list.BeginUpdate();
    list.Delete(0);
    list.EndUpdate();
    EXPECT_EQ(changed, 2);
    list.EndUpdate();
    EXPECT_EQ(changed, 3);
    EXPECT_EQ(changing, 3);
    list.Clear();
    list.Clear(); // already empty: nothing happens
    EXPECT_EQ(changed, 4);
}

} // namespace
