// The tool's window: load an AVI file, choose the folder for the stills, extract them whole or as
// fields, quit. The gauge along the bottom follows a run. The window's texts are Japanese.
#pragma once

#include "app/engine/ExtractionRun.h"
#include "app/gui/WindowRunInputs.h"
#include "platform/widgets/Forms.h"

#include <memory>

namespace host {
class TButton;
class TLabel;
class TRadioGroup;
} // namespace host
namespace kv {
class TKvGauge;
class TFolderDialog;
} // namespace kv

namespace app {

class TSubForm : public host::TForm {
  public:
    explicit TSubForm(host::TComponent* owner);
    ~TSubForm() override;

    void LoadButtonClick(host::TObject* Sender);
    void SaveButtonClick(host::TObject* Sender);
    void ExtractButtonClick(host::TObject* Sender);
    void QuitButtonClick(host::TObject* Sender);

    // Loads the file as the load button does after its dialog (used for a file named on the command
    // line): close the previous one, open this one, enable the folder button when it has video.
    void LoadFile(const std::string& fileName);
    // Takes folder as the output folder, as a confirmed folder choice does (used for a folder named on
    // the command line).
    void UseFolder(const std::string& folder);

    kv::TKvGauge* Gauge;
    host::TLabel* Label1;
    host::TButton* LoadButton;
    host::TButton* SaveButton;
    host::TButton* ExtractButton;
    host::TRadioGroup* RadioGroup;
    host::TButton* QuitButton;
    kv::TFolderDialog* SaveFolderDialog;

    // The gauge as the progress display of the runs.
    GaugeProgress& Progress() { return *m_progress; }
    // How the last run ended (completed false before the first one).
    const ExtractionReport& LastReport() const { return m_lastReport; }

  private:
    void showFailure(const ExtractionReport& report);

    std::unique_ptr<GaugeProgress> m_progress;
    ExtractionReport m_lastReport;
};

// The window's texts.
namespace texts {
extern const char* const kLoad;
extern const char* const kChooseFolder;
extern const char* const kExtract;
extern const char* const kQuit;
extern const char* const kOperation;
extern const char* const kModes[3];
extern const char* const kFolderPrompt;
extern const char* const kCredit;
extern const char* const kNoVideo;
} // namespace texts

// The message shown after a run that stopped on a failure: the frame, the file, the cause and how
// many images were written.
std::string FailureMessage(const ExtractionReport& report);

extern TSubForm* SubForm;

} // namespace app
