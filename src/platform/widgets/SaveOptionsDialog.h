// The compression options dialog behind AVISaveOptions: one page per stream, chosen in a list at the top.
// Video pages offer full frames and the installed compressors that take the stream's frames, with the
// quality, the key-frame interval, the data rate and a preview as the flags ask, and the compressor's own
// settings and information where it has them; audio pages show the format the audio is saved in. The
// interleave setting applies to the whole file. OK writes the choices into the records; Cancel leaves
// them as they were.
#pragma once

#include "platform/vfw/AviSave.h"
#include "platform/vfw/Icm.h"

#include <QtWidgets/QDialog>

#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;
class QStackedWidget;

namespace host::widgets {

class SaveOptionsDialog final : public QDialog {
  public:
    struct Page {
        win::PAVISTREAM stream = nullptr;
        win::AVICOMPRESSOPTIONS* options = nullptr;
        win::DWORD type = 0; // the stream's fccType
        bool video = false;
        QComboBox* compressor = nullptr; // video: the handler of each entry as its data
        QSlider* quality = nullptr;      // 0..100
        QLabel* qualityValue = nullptr;
        QCheckBox* keyFrames = nullptr; // shown with ICMF_CHOOSE_KEYFRAME
        QSpinBox* keyEvery = nullptr;
        QCheckBox* dataRate = nullptr; // shown with ICMF_CHOOSE_DATARATE
        QSpinBox* kilobytes = nullptr; // kilobytes a second
        QPushButton* configure = nullptr;
        QPushButton* about = nullptr;
        QLabel* preview = nullptr; // shown with ICMF_CHOOSE_PREVIEW
        QLabel* format = nullptr;  // audio and other streams: what is saved
        win::HIC hic = nullptr;    // the chosen compressor, open for its settings
        win::FOURCC handler = 0;
    };

    SaveOptionsDialog(QWidget* parent, win::UINT flags, int streams, win::PAVISTREAM* stream,
                      win::LPAVICOMPRESSOPTIONS* options);
    ~SaveOptionsDialog() override;

    int pageCount() const { return int(m_pages.size()); }
    Page& page(int i) { return m_pages[std::size_t(i)]; }
    QComboBox* streamList() const { return m_streamList; }
    QCheckBox* interleave() const { return m_interleave; }
    QSpinBox* interleaveEvery() const { return m_interleaveEvery; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

    // Writes the dialog's choices into the records.
    void store();

  private:
    void addVideoPage(Page& page, QWidget* into);
    void addOtherPage(Page& page, QWidget* into);
    void compressorChosen(Page& page);
    void showPreview(Page& page);

    win::UINT m_flags;
    std::vector<Page> m_pages;
    QComboBox* m_streamList = nullptr;
    QStackedWidget* m_stack = nullptr;
    QCheckBox* m_interleave = nullptr;
    QSpinBox* m_interleaveEvery = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

// Runs the dialog modally over the window of owner. drive, when given, runs once the dialog is shown
// (tests set the widgets and press a button there). TRUE when the user confirmed.
win::INT_PTR RunSaveOptionsDialog(win::HWND owner, win::UINT flags, int streams, win::PAVISTREAM* stream,
                                  win::LPAVICOMPRESSOPTIONS* options,
                                  const std::function<void(SaveOptionsDialog&)>& drive = {});

// Makes the dialog the one AVISaveOptions shows.
void RegisterSaveOptionsDialog();

} // namespace host::widgets
