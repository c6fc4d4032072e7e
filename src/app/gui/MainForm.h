// The hidden form of the tool: it owns the AVI file and the AVI open dialog that the main window uses,
// and turns each frame's DIB into the device bitmap and palette that the extraction run saves. It is
// never shown; its own load button and gauge exist only as parts of the form.
#pragma once

#include "app/engine/ExtractionInputs.h"
#include "platform/widgets/Forms.h"

namespace host {
class TButton;
}
namespace kv {
class TKvGauge;
class TKvAVIOpenDialog;
class TKvAVIFile;
} // namespace kv

namespace app {

class TMainForm : public host::TForm, public IFrameConversion {
  public:
    explicit TMainForm(host::TComponent* owner);

    // Loads a file chosen in OpenDialog; btnExtract is enabled exactly when the file has video.
    void btnLoadClick(host::TObject* Sender);

    // One frame: DIB_DIBToBitmap into hFrameBitmap and hFramePalette. The frame bitmap of the run takes
    // both handles over; this form only keeps the last values.
    void btnExtractClick(win::BITMAPINFOHEADER* dib) override;
    win::HBITMAP FrameBitmap() const override { return hFrameBitmap; }
    win::HPALETTE FramePalette() const override { return hFramePalette; }

    kv::TKvGauge* Gauge;
    host::TButton* btnLoad;
    host::TButton* btnExtract;
    kv::TKvAVIOpenDialog* OpenDialog;
    kv::TKvAVIFile* AVIFile;

    win::HBITMAP hFrameBitmap = nullptr;
    win::HPALETTE hFramePalette = nullptr;
};

// The open dialog's file types: all multimedia files, AVI, wave, everything.
extern const char* const kOpenDialogFilter;

extern TMainForm* MainForm;

} // namespace app
