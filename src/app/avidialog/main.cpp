// kv-avi-dialog: runs the AVI open dialog with its video preview and prints the chosen file.
//
//   kv-avi-dialog [FILE]    opens in FILE's folder with FILE selected and previewed
//   kv-avi-dialog --save    the save dialog instead
#include "dialogs/KvAVIDlg.h"
#include "platform/widgets/Forms.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

int main(int argc, char** argv) {
    host::Application->Initialize();
    const std::string arg = argc > 1 ? argv[1] : "";
    std::unique_ptr<kv::TKvAVIOpenDialog> dialog;
    if (arg == "--save")
        dialog = std::make_unique<kv::TKvAVISaveDialog>(nullptr);
    else
        dialog = std::make_unique<kv::TKvAVIOpenDialog>(nullptr);
    if (!arg.empty() && arg != "--save") {
        const std::filesystem::path file = std::filesystem::absolute(arg);
        dialog->SetInitialDir(file.parent_path().string());
        dialog->SetFileName(file.filename().string());
    } else {
        dialog->SetInitialDir(std::filesystem::current_path().string());
    }
    if (!dialog->Execute()) {
        std::printf("cancelled (error %#lx)\n", static_cast<unsigned long>(win::CommDlgExtendedError()));
        return 1;
    }
    std::printf("%s\n", dialog->GetFileName().c_str());
    return 0;
}
