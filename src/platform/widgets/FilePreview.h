// The open and save dialogs with a preview of the selected file: the common file dialog with a pane beside
// its controls. For an AVI file the pane shows its first frame (decoded through the AVIFile interface,
// scaled to fit with its aspect kept), its size, frame rate, length and streams, and a Play/Stop button
// that plays the video in the pane; for a wave file it shows the format. Anything else, and any file that
// cannot be read, leaves the pane empty: a preview never reports an error.
#pragma once

#include "platform/ui/CommDlg.h"
#include "platform/vfw/Vfw.h"

#include <QtGui/QImage>
#include <QtWidgets/QWidget>

#include <cstdint>
#include <optional>
#include <span>
#include <string>

class QLabel;
class QPushButton;
class QTimer;

namespace win {

// GetOpenFileNameA and GetSaveFileNameA with the preview pane; the hook and the template of the record
// work as they do there.
BOOL GetOpenFileNamePreviewA(LPOPENFILENAMEA ofn);
BOOL GetSaveFileNamePreviewA(LPOPENFILENAMEA ofn);

} // namespace win

namespace host::widgets {

// The format of a RIFF WAVE file from its first bytes: the fmt chunk's fields, and the size of the data
// chunk when its header lies within the bytes given.
struct WaveSummary {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSec = 0;
    std::uint32_t avgBytesPerSec = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::optional<std::uint32_t> dataBytes;
};
// nullopt when the bytes are no RIFF WAVE or hold no complete fmt chunk.
std::optional<WaveSummary> ReadWaveSummary(std::span<const std::uint8_t> bytes);
// "PCM, 44100 Hz, 16 bit, stereo" and the like.
std::string DescribeWaveFormat(std::uint16_t formatTag, std::uint16_t channels, std::uint32_t samplesPerSec,
                               std::uint16_t bitsPerSample);
// A length in milliseconds as h:mm:ss.cc (hours only when there are any).
std::string DescribeDuration(std::int64_t ms);

class FilePreviewPane final : public QWidget {
  public:
    enum class Kind { None, Video, Wave };

    explicit FilePreviewPane(QWidget* parent = nullptr);
    ~FilePreviewPane() override;

    // Shows the preview of the file at path (empty: none), stopping any playing video first.
    void ShowFile(const std::string& path);
    void Play();
    void Stop();

    Kind Shown() const { return m_kind; }
    bool Playing() const;
    // The frame shown, at the video's own size; null when there is none.
    const QImage& Picture() const { return m_picture; }
    // The number of the frame shown (from the stream's start), -1 without one.
    long CurrentFrame() const { return m_frame; }
    long FrameCount() const { return m_length; }
    QString InfoText() const;
    QPushButton* PlayButton() const { return m_play; }
    // Where the picture is drawn in the pane's picture area: scaled to fit, aspect kept, centred.
    QRect PictureRect() const;

  private:
    class PictureArea;

    void clear();
    bool openVideo(const std::string& path);
    bool openWave(const std::string& path);
    bool showFrame(long frame);
    void step();

    Kind m_kind = Kind::None;
    PictureArea* m_area = nullptr;
    QLabel* m_info = nullptr;
    QPushButton* m_play = nullptr;
    QTimer* m_timer = nullptr;
    QImage m_picture;
    win::PAVIFILE m_file = nullptr;
    win::PAVISTREAM m_video = nullptr;
    win::PGETFRAME m_frames = nullptr;
    long m_start = 0;
    long m_length = 0;
    long m_frame = -1;
    int m_intervalMs = 0; // between two frames while playing
};

} // namespace host::widgets
