// The main window's controls as the inputs of an extraction run: the radio group's item index as the
// mode, the folder dialog's Directory as the output folder, and the gauge with the hourglass cursor as
// the progress display.
#pragma once

#include "app/engine/ExtractionInputs.h"

#include <functional>

namespace host {
class TCustomRadioGroup;
}
namespace kv {
class TKvCustomGauge;
class TFolderDialog;
} // namespace kv

namespace app {

class RadioGroupMode : public IModeSource {
  public:
    explicit RadioGroupMode(host::TCustomRadioGroup& group) : m_group(group) {}
    int Mode() override;

  private:
    host::TCustomRadioGroup& m_group;
};

class FolderDialogFolder : public IOutputFolder {
  public:
    explicit FolderDialogFolder(kv::TFolderDialog& dialog) : m_dialog(dialog) {}
    std::string Directory() override;

  private:
    kv::TFolderDialog& m_dialog;
};

// The gauge follows the run and repaints at once: the run holds the UI thread, so nothing would paint
// it later. Busy shows the hourglass on every window of the application.
class GaugeProgress : public IProgressDisplay {
  public:
    explicit GaugeProgress(kv::TKvCustomGauge& gauge) : m_gauge(gauge) {}
    void SetMaxValue(int value) override;
    void SetProgress(int value) override;
    void SetVisible(bool visible) override;
    void SetBusy(bool busy) override;

    enum Change { chMaxValue, chProgress, chVisible, chBusy };
    // Called after every change the run makes, with what changed (observers read the gauge then).
    std::function<void(Change)> OnChange;

  private:
    void changed(Change change);

    kv::TKvCustomGauge& m_gauge;
};

} // namespace app
