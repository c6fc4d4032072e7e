// kv-open-dialog: runs the library's hooked open dialog on a folder, with a row of extra controls below
// the dialog's own that follow the selection, and prints the chosen files.
//
//   kv-open-dialog [FOLDER]    FOLDER defaults to the current folder
#include "dialogs/KvCstDlg.h"
#include "platform/ui/DialogResources.h"
#include "platform/widgets/Forms.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

constexpr int kSelectionText = 1003;
constexpr int kPlay = 1000;

class DemoDialog : public kv::TKvCustomOpenDialog {
  public:
    explicit DemoDialog(host::TComponent* owner) : TKvCustomOpenDialog(owner) {
        SetTemplateName("DemoOpenExtras");
        SetTitle("Open File");
        SetFilter("All files (*.*)|*|AVI files (*.avi)|*.avi|Wave files (*.wav)|*.wav");
        SetOptions({kv::ofAllowMultiSelect, kv::ofHideReadOnly, kv::ofFileMustExist, kv::ofNoChangeDir});
    }

  protected:
    void DoSelChanged(const std::string& Filename) override {
        const std::string last = LastQuotedFile(Filename);
        const std::string text = last.empty() ? "(nothing selected)" : "Selected: " + last;
        win::SetDlgItemTextA(GetHookWnd(), kSelectionText, text.c_str());
        TKvCustomOpenDialog::DoSelChanged(Filename);
    }
    void DoCommand(std::int32_t Wnd, std::int32_t Parent, std::int32_t cmd) override {
        if (cmd == kPlay) std::printf("Play pressed\n");
        TKvCustomOpenDialog::DoCommand(Wnd, Parent, cmd);
    }
};

void registerTemplate() {
    win::DialogTemplate extras;
    extras.cx = 276;
    extras.cy = 20;
    extras.items = {
        {"Static", kSelectionText, "(nothing selected)", win::WS_VISIBLE | win::SS_LEFTNOWORDWRAP, 5, 3, 210,
         8},
        {"Button", kPlay, "Play", win::WS_VISIBLE | win::BS_PUSHBUTTON, 222, 0, 50, 14},
    };
    win::RegisterDialogResource("DemoOpenExtras", extras);
}

} // namespace

int main(int argc, char** argv) {
    host::Application->Initialize();
    registerTemplate();
    DemoDialog dialog(nullptr);
    dialog.SetInitialDir(argc > 1 ? std::filesystem::absolute(argv[1]).string()
                                  : std::filesystem::current_path().string());
    if (!dialog.Execute()) {
        std::printf("cancelled (error %#lx)\n", static_cast<unsigned long>(win::CommDlgExtendedError()));
        return 1;
    }
    for (int i = 0; i < dialog.GetFiles().Count(); ++i)
        std::printf("%s\n", dialog.GetFiles().Get(i).c_str());
    return 0;
}
