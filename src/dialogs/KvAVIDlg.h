// The open and save dialogs for AVI files: the library's custom open dialog run through the file dialogs
// with a video preview, titled for AVI files, with the file types the AVI layer can read (or write) as
// their filter and "avi" as the default extension.
#pragma once

#include "dialogs/KvCstDlg.h"

namespace kv {

class TKvAVIOpenDialog : public TKvCustomOpenDialog {
  public:
    explicit TKvAVIOpenDialog(host::TComponent* AOwner);

    bool Execute() override;
};

class TKvAVISaveDialog : public TKvAVIOpenDialog {
  public:
    explicit TKvAVISaveDialog(host::TComponent* AOwner);

    bool Execute() override;
};

} // namespace kv
