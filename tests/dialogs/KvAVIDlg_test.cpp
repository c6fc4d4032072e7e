// The AVI open and save dialogs: what they hand to the platform (title, filter, default extension, flags)
// and the real preview dialog driven off-screen, choosing a file.

#include "avi/KvAVI.h"
#include "dialogs/KvAVIDlg.h"
#include "platform/widgets/FileDialog.h"
#include "platform/widgets/FilePreview.h"
#include "platform/widgets/WidgetTest.h"
#include "support/TestWork.h"

#include <fstream>

using namespace kv;
using host::widgets::FileDialog;

namespace {

// The record a dialog hands to the platform, caught by a handler that answers Cancel.
struct Handed {
    std::string title, filter, defExt;
    win::DWORD flags = 0;
};

template <typename Dialog> Handed handed(Dialog& dialog) {
    Handed h;
    dialog.DoExecute([&](win::LPOPENFILENAMEA ofn) {
        h.title = ofn->lpstrTitle ? ofn->lpstrTitle : "";
        h.defExt = ofn->lpstrDefExt ? ofn->lpstrDefExt : "";
        h.flags = ofn->Flags;
        for (const char* p = ofn->lpstrFilter; p && *p; p += std::strlen(p) + 1)
            h.filter += std::string(h.filter.empty() ? "" : "|") + p;
        return win::FALSE;
    });
    return h;
}

TEST(KvAVIDlg, PropertiesOfBothDialogs) {
    TKvAVIOpenDialog open(nullptr);
    TKvAVISaveDialog save(nullptr);
    EXPECT_EQ(open.GetTitle(), "Open AVI File");
    EXPECT_EQ(save.GetTitle(), "Save AVI File");
    EXPECT_EQ(open.GetFilter(), BuildFilter(false));
    EXPECT_EQ(save.GetFilter(), BuildFilter(true));
    EXPECT_NE(open.GetFilter().find("*.avi"), std::string::npos);
    for (TKvAVIOpenDialog* d : {&open, static_cast<TKvAVIOpenDialog*>(&save)}) {
        EXPECT_EQ(d->GetDefaultExt(), "avi");
        EXPECT_EQ(d->GetOptions(), (TOpenOptions{ofHideReadOnly, ofNoNetworkButton}));
        const Handed h = handed(*d);
        EXPECT_EQ(h.title, d->GetTitle());
        EXPECT_EQ(h.filter, d->GetFilter());
        EXPECT_EQ(h.defExt, "avi");
        EXPECT_EQ(h.flags & (win::OFN_HIDEREADONLY | win::OFN_NONETWORKBUTTON),
                  win::OFN_HIDEREADONLY | win::OFN_NONETWORKBUTTON);
    }
}

class KvAVIDlgRun : public widgettest::WidgetTest {
  protected:
    void SetUp() override {
        WidgetTest::SetUp();
        folder = testsupport::workDir("avi-dialogs").string();
        std::ofstream(folder + "/movie.avi") << "not really a movie";
        std::filesystem::remove(folder + "/saved.avi");
    }
    void TearDown() override {
        host::widgets::SetFileDialogDriver({});
        WidgetTest::TearDown();
    }
    // Runs the dialog, picking name; the window title and whether a preview pane was there come back.
    template <typename Dialog> bool run(Dialog& dialog, const std::string& name) {
        dialog.SetInitialDir(folder);
        dialog.SetOptions([&] {
            TOpenOptions o = dialog.GetOptions();
            o.Include(ofNoChangeDir);
            return o;
        }());
        host::widgets::SetFileDialogDriver([&](FileDialog& d) {
            title = d.windowTitle().toStdString();
            preview = d.findChild<host::widgets::FilePreviewPane*>("previewPane") != nullptr;
            d.SelectNames({name});
            d.ClickOk();
        });
        return dialog.Execute();
    }

    std::string folder, title;
    bool preview = false;
};

TEST_F(KvAVIDlgRun, OpenChoosesAFile) {
    TKvAVIOpenDialog dialog(nullptr);
    ASSERT_TRUE(run(dialog, "movie.avi"));
    EXPECT_EQ(dialog.GetFileName(), folder + "/movie.avi");
    EXPECT_EQ(title, "Open AVI File");
    EXPECT_TRUE(preview);
    EXPECT_TRUE(boxes.empty()); // a file that is no AVI previews as nothing, silently
}

TEST_F(KvAVIDlgRun, SaveAddsTheDefaultExtension) {
    TKvAVISaveDialog dialog(nullptr);
    ASSERT_TRUE(run(dialog, "saved"));
    EXPECT_EQ(dialog.GetFileName(), folder + "/saved.avi");
    EXPECT_EQ(title, "Save AVI File");
    EXPECT_TRUE(preview);
}

} // namespace
