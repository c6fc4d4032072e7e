#include "dialogs/KvAVIDlg.h"

#include "avi/KvAVI.h"
#include "platform/widgets/FilePreview.h"

namespace kv {

TKvAVIOpenDialog::TKvAVIOpenDialog(host::TComponent* AOwner) : TKvCustomOpenDialog(AOwner) {
    TOpenOptions options = GetOptions();
    options.Include(ofHideReadOnly);
    options.Include(ofNoNetworkButton);
    SetOptions(options);
    SetTitle(LoadResStr(10));
    SetDefaultExt("avi");
    SetFilter(BuildFilter(false));
}

bool TKvAVIOpenDialog::Execute() {
    return DoExecute(win::GetOpenFileNamePreviewA) != 0;
}

TKvAVISaveDialog::TKvAVISaveDialog(host::TComponent* AOwner) : TKvAVIOpenDialog(AOwner) {
    SetTitle(LoadResStr(11));
    SetFilter(BuildFilter(true));
}

bool TKvAVISaveDialog::Execute() {
    return DoExecute(win::GetSaveFileNamePreviewA) != 0;
}

} // namespace kv
