#include "app/gui/MainForm.h"

#include "app/gui/GaugeStyle.h"
#include "avi/KvAVI.h"
#include "controls/KvGauge.h"
#include "dialogs/KvAVIDlg.h"
#include "dib/KvDIB.h"
#include "platform/widgets/StdCtrls.h"

namespace app {

TMainForm* MainForm = nullptr;

const char* const kOpenDialogFilter = "All multimedia files|*.AVI;*.WAV;*.AU|Microsoft .AVI-Dateien|*.AVI|"
                                      "Microsoft Waveform-Audiodateien|*.WAV;*.AU|Alle Dateien (*.*)|*.*";

TMainForm::TMainForm(host::TComponent* owner) : host::TForm(owner) {
    SetName("MainForm");
    SetCaption("MainForm");
    SetBounds(GetLeft(), GetTop(), 209, 136);
    host::TFont* font = GetFont();
    font->SetName("MS Sans Serif");
    font->SetHeight(-11);

    Gauge = new kv::TKvGauge(this);
    Gauge->SetName("Gauge");
    Gauge->SetParent(this);
    Gauge->SetBounds(20, 36, 165, 18);
    Gauge->SetCaption("Extracted:");
    Gauge->SetBackColor(host::clBtnFace);
    ApplyToolGaugeBevel(*Gauge->GetBevel());
    Gauge->SetVisible(false);

    btnLoad = new host::TButton(this);
    btnLoad->SetName("btnLoad");
    btnLoad->SetParent(this);
    btnLoad->SetBounds(16, 64, 75, 25);
    btnLoad->SetCaption("Load File...");
    btnLoad->SetTabOrder(0);
    btnLoad->OnClick = [this](host::TObject* sender) { btnLoadClick(sender); };

    btnExtract = new host::TButton(this);
    btnExtract->SetName("btnExtract");
    btnExtract->SetParent(this);
    btnExtract->SetBounds(108, 64, 75, 25);
    btnExtract->SetCaption("Extract");
    btnExtract->SetEnabled(false);
    btnExtract->SetTabOrder(1);

    OpenDialog = new kv::TKvAVIOpenDialog(this);
    OpenDialog->SetName("OpenDialog");
    OpenDialog->SetDefaultExt("avi");
    OpenDialog->SetFilter(kOpenDialogFilter);
    OpenDialog->SetTitle("Open AVI File");
    OpenDialog->SetOptions(kv::TOpenOptions{kv::ofHideReadOnly, kv::ofNoNetworkButton});

    AVIFile = new kv::TKvAVIFile(this);
    AVIFile->SetName("AVIFile");
}

void TMainForm::btnLoadClick(host::TObject*) {
    if (!OpenDialog->Execute()) return;
    AVIFile->CloseFile();
    AVIFile->SetFileName(OpenDialog->GetFileName());
    AVIFile->OpenFile();
    btnExtract->SetEnabled(AVIFile->GetTypedStreamCount(kv::stVideo) > 0);
}

void TMainForm::btnExtractClick(win::BITMAPINFOHEADER* dib) {
    kv::DIB_DIBToBitmap(dib, hFrameBitmap, hFramePalette);
}

} // namespace app
