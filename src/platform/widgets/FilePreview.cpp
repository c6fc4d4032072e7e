#include "platform/widgets/FilePreview.h"
#include "platform/win/DibLayout.h"

#include "platform/widgets/FileDialog.h"
#include "platform/win/ByteReader.h"

#include <QtCore/QTimer>
#include <QtGui/QPainter>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

namespace host::widgets {

namespace {

constexpr int kPictureWidth = 200;
constexpr int kPictureHeight = 150;
// The wave preview reads no more than this of a file: the fmt chunk sits near the start.
constexpr std::size_t kWaveHeadBytes = 64 * 1024;

std::string fourccText(win::DWORD fcc) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const char c = char((fcc >> (8 * i)) & 0xFF);
        text += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

std::string rateText(win::DWORD rate, win::DWORD scale) {
    if (scale == 0 || rate == 0) return "unknown rate";
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", double(rate) / double(scale));
    std::string s = text;
    while (s.back() == '0')
        s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s;
}

bool isRegularFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// The first bytes of a file, at most max of them; empty when it cannot be read.
std::vector<std::uint8_t> fileHead(const std::string& path, std::size_t max) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::vector<std::uint8_t> bytes(max);
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(max));
    bytes.resize(std::size_t(std::max<std::streamsize>(0, in.gcount())));
    return bytes;
}

bool isRiffOf(const std::vector<std::uint8_t>& head, const char (&type)[5]) {
    return head.size() >= 12 && std::memcmp(head.data(), "RIFF", 4) == 0 &&
           std::memcmp(head.data() + 8, type, 4) == 0;
}

// The format record a stream holds at pos; empty when it has none.
std::vector<std::uint8_t> streamFormat(win::PAVISTREAM stream, win::LONG pos) {
    win::LONG size = 0;
    if (win::AVIStreamReadFormat(stream, pos, nullptr, &size) != win::AVIERR_OK || size <= 0 ||
        size > (1 << 20))
        return {};
    std::vector<std::uint8_t> format(std::size_t(size), 0);
    if (win::AVIStreamReadFormat(stream, pos, format.data(), &size) != win::AVIERR_OK) return {};
    format.resize(std::min<std::size_t>(format.size(), std::size_t(std::max<win::LONG>(size, 0))));
    return format;
}

std::string describeAudioFormat(const std::vector<std::uint8_t>& format) {
    win::ByteReader r(format);
    const auto tag = r.u16(), channels = r.u16();
    const auto rate = r.u32();
    r.skip(6);
    const auto bits = r.u16();
    if (!tag || !channels || !rate) return "audio";
    return DescribeWaveFormat(*tag, *channels, *rate, bits.value_or(0));
}

} // namespace

std::optional<WaveSummary> ReadWaveSummary(std::span<const std::uint8_t> bytes) {
    win::ByteReader r(bytes);
    const auto riff = r.u32();
    const auto riffSize = r.u32();
    const auto wave = r.u32();
    if (!riff || !riffSize || !wave || *riff != win::mmioFOURCC('R', 'I', 'F', 'F') ||
        *wave != win::mmioFOURCC('W', 'A', 'V', 'E'))
        return std::nullopt;
    std::optional<WaveSummary> summary;
    while (!r.atEnd()) {
        const auto id = r.u32();
        const auto size = r.u32();
        if (!id || !size) break;
        if (*id == win::mmioFOURCC('f', 'm', 't', ' ') && !summary) {
            auto chunk = r.split(*size);
            if (!chunk || *size < 14) return std::nullopt;
            WaveSummary s;
            s.formatTag = chunk->u16().value_or(0);
            s.channels = chunk->u16().value_or(0);
            s.samplesPerSec = chunk->u32().value_or(0);
            s.avgBytesPerSec = chunk->u32().value_or(0);
            s.blockAlign = chunk->u16().value_or(0);
            s.bitsPerSample = chunk->u16().value_or(0);
            summary = s;
        } else if (*id == win::mmioFOURCC('d', 'a', 't', 'a')) {
            // The samples need not be within the bytes given: only the header is read.
            if (summary) summary->dataBytes = *size;
            break;
        } else if (!r.skip(*size)) {
            break;
        }
        if (*size & 1) r.skip(1); // chunks are padded to even sizes
    }
    return summary;
}

std::string DescribeWaveFormat(std::uint16_t formatTag, std::uint16_t channels, std::uint32_t samplesPerSec,
                               std::uint16_t bitsPerSample) {
    static constexpr std::pair<std::uint16_t, const char*> kNames[] = {
        {0x0001, "PCM"},    {0x0002, "ADPCM"},     {0x0003, "IEEE float"},   {0x0006, "A-law"},
        {0x0007, "mu-law"}, {0x0011, "IMA ADPCM"}, {0x0055, "MPEG Layer 3"}, {0xFFFE, "Extensible"},
    };
    std::string name;
    for (const auto& [tag, known] : kNames)
        if (tag == formatTag) name = known;
    if (name.empty()) {
        char unknown[24];
        std::snprintf(unknown, sizeof unknown, "format 0x%04X", unsigned(formatTag));
        name = unknown;
    }
    std::string text = name + ", " + std::to_string(samplesPerSec) + " Hz";
    if (bitsPerSample) text += ", " + std::to_string(bitsPerSample) + " bit";
    text += ", ";
    text += channels == 1 ? "mono" : channels == 2 ? "stereo" : std::to_string(channels) + " channels";
    return text;
}

std::string DescribeDuration(std::int64_t ms) {
    if (ms < 0) ms = 0;
    const std::int64_t hours = ms / 3600000, minutes = ms / 60000 % 60, seconds = ms / 1000 % 60,
                       hundredths = ms / 10 % 100;
    char text[48];
    if (hours > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%02lld", static_cast<long long>(hours),
                      static_cast<long long>(minutes), static_cast<long long>(seconds),
                      static_cast<long long>(hundredths));
    else
        std::snprintf(text, sizeof text, "%lld:%02lld.%02lld", static_cast<long long>(minutes),
                      static_cast<long long>(seconds), static_cast<long long>(hundredths));
    return text;
}

// The picture of the pane: the frame scaled into the area with its aspect kept, on a dark ground.
class FilePreviewPane::PictureArea final : public QWidget {
  public:
    explicit PictureArea(FilePreviewPane* pane) : QWidget(pane), m_pane(pane) {
        setFixedSize(kPictureWidth, kPictureHeight);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(32, 32, 32));
        if (!m_pane->m_picture.isNull()) painter.drawImage(m_pane->PictureRect(), m_pane->m_picture);
    }

  private:
    FilePreviewPane* m_pane;
};

FilePreviewPane::FilePreviewPane(QWidget* parent) : QWidget(parent) {
    setObjectName("previewPane");
    m_area = new PictureArea(this);
    m_info = new QLabel(this);
    m_info->setObjectName("previewInfo");
    m_info->setWordWrap(true);
    m_info->setFixedWidth(kPictureWidth);
    m_info->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_info->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_play = new QPushButton("&Play", this);
    m_play->setObjectName("previewPlay");
    m_play->setEnabled(false);
    m_timer = new QTimer(this);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 0, 0, 0);
    column->addWidget(m_area);
    column->addWidget(m_info);
    column->addWidget(m_play, 0, Qt::AlignLeft);
    column->addStretch(1);
    connect(m_play, &QPushButton::clicked, this, [this] { Playing() ? Stop() : Play(); });
    connect(m_timer, &QTimer::timeout, this, [this] { step(); });
}

FilePreviewPane::~FilePreviewPane() {
    clear();
}

QString FilePreviewPane::InfoText() const {
    return m_info->text();
}

bool FilePreviewPane::Playing() const {
    return m_timer->isActive();
}

QRect FilePreviewPane::PictureRect() const {
    if (m_picture.isNull()) return {};
    const QSize fitted = m_picture.size().scaled(m_area->size(), Qt::KeepAspectRatio);
    return QRect(QPoint((m_area->width() - fitted.width()) / 2, (m_area->height() - fitted.height()) / 2),
                 fitted);
}

void FilePreviewPane::clear() {
    m_timer->stop();
    if (m_frames) win::AVIStreamGetFrameClose(m_frames);
    if (m_video) win::AVIStreamRelease(m_video);
    if (m_file) win::AVIFileRelease(m_file);
    m_frames = nullptr;
    m_video = nullptr;
    m_file = nullptr;
    m_kind = Kind::None;
    m_picture = QImage();
    m_start = m_length = 0;
    m_frame = -1;
    m_intervalMs = 0;
    m_info->clear();
    m_play->setText("&Play");
    m_play->setEnabled(false);
    m_area->update();
}

void FilePreviewPane::ShowFile(const std::string& path) {
    clear();
    if (!isRegularFile(path)) return;
    const std::vector<std::uint8_t> head = fileHead(path, 12);
    if (isRiffOf(head, "AVI ")) {
        if (!openVideo(path)) clear();
    } else if (isRiffOf(head, "WAVE")) {
        if (!openWave(path)) clear();
    }
}

bool FilePreviewPane::openVideo(const std::string& path) {
    if (win::AVIFileOpenA(&m_file, path.c_str(), win::OF_READ | win::OF_SHARE_DENY_NONE, nullptr) !=
        win::AVIERR_OK) {
        m_file = nullptr;
        return false;
    }
    win::AVIFILEINFOA fileInfo{};
    if (win::AVIFileInfoA(m_file, &fileInfo, sizeof fileInfo) != win::AVIERR_OK) return false;

    std::string streams;
    for (win::DWORD i = 0; i < std::min<win::DWORD>(fileInfo.dwStreams, 64); ++i) {
        win::PAVISTREAM stream = nullptr;
        if (win::AVIFileGetStream(m_file, &stream, 0, win::LONG(i)) != win::AVIERR_OK || !stream) continue;
        win::AVISTREAMINFOA info{};
        win::AVIStreamInfoA(stream, &info, sizeof info);
        std::string item;
        if (info.fccType == win::streamtypeVIDEO) {
            item = "video";
            if (info.fccHandler) item += " (" + fourccText(info.fccHandler) + ")";
        } else if (info.fccType == win::streamtypeAUDIO) {
            item = "audio (" + describeAudioFormat(streamFormat(stream, win::AVIStreamStart(stream))) + ")";
        } else if (info.fccType == win::streamtypeTEXT) {
            item = "text";
        } else if (info.fccType == win::streamtypeMIDI) {
            item = "MIDI";
        } else {
            item = fourccText(info.fccType);
        }
        streams += (streams.empty() ? "" : ", ") + item;
        if (info.fccType == win::streamtypeVIDEO && !m_video)
            m_video = stream;
        else
            win::AVIStreamRelease(stream);
    }

    std::string text;
    if (m_video) {
        win::AVISTREAMINFOA info{};
        win::AVIStreamInfoA(m_video, &info, sizeof info);
        m_start = win::AVIStreamStart(m_video);
        m_length = std::max<win::LONG>(0, win::AVIStreamLength(m_video));
        long width = info.rcFrame.right - info.rcFrame.left, height = info.rcFrame.bottom - info.rcFrame.top;
        const std::vector<std::uint8_t> format = streamFormat(m_video, m_start);
        win::BITMAPINFOHEADER bi{};
        if (format.size() >= sizeof bi) {
            std::memcpy(&bi, format.data(), sizeof bi);
            width = bi.biWidth;
            height = bi.biHeight == INT32_MIN ? 0 : std::abs(bi.biHeight);
        }
        text += std::to_string(width) + " x " + std::to_string(height) + " pixels\n";
        text += rateText(info.dwRate, info.dwScale) + " frames per second\n";
        if (info.dwRate > 0 && info.dwScale > 0)
            m_intervalMs =
                int(std::clamp<double>(std::round(1000.0 * info.dwScale / info.dwRate), 1.0, 10000.0));
        const win::LONG ms = win::AVIStreamLengthTime(m_video);
        text +=
            "Length " + DescribeDuration(ms < 0 ? 0 : ms) + " (" + std::to_string(m_length) + " frames)\n";
        // Frames come out as 32-bit top-down RGB, the layout a QImage takes as it is.
        if (width > 0 && height > 0) {
            win::BITMAPINFOHEADER wanted{};
            wanted.biSize = sizeof wanted;
            wanted.biWidth = win::LONG(width);
            wanted.biHeight = -win::LONG(height);
            wanted.biPlanes = 1;
            wanted.biBitCount = 32;
            wanted.biCompression = win::BI_RGB;
            m_frames = win::AVIStreamGetFrameOpen(m_video, &wanted);
        }
    } else {
        text += "No video\n";
    }
    text += "Streams: " + (streams.empty() ? std::string("none") : streams);
    m_kind = Kind::Video;
    m_info->setText(QString::fromStdString(text));
    if (m_frames && m_length > 0 && showFrame(0)) m_play->setEnabled(m_length > 1 && m_intervalMs > 0);
    return true;
}

bool FilePreviewPane::showFrame(long frame) {
    if (!m_frames || frame < 0 || frame >= m_length) return false;
    const auto* dib =
        static_cast<const std::uint8_t*>(win::AVIStreamGetFrame(m_frames, win::LONG(m_start + frame)));
    if (!dib) return false;
    // The frame is a packed DIB; its first word bounds the header to read.
    win::DWORD headerSize;
    std::memcpy(&headerSize, dib, sizeof headerSize);
    if (headerSize > win::kDibMaxHeaderSize) return false;
    const auto layout = win::ParseDibLayout({dib, headerSize + 12u});
    if (!layout || layout->bitCount != 32 || layout->compression != win::BI_RGB) return false;
    const int width = int(layout->width), height = int(layout->height);
    const std::uint8_t* bits = dib + layout->pixelOffset;
    QImage image(width, height, QImage::Format_RGB32);
    const std::size_t stride = layout->stride;
    for (int y = 0; y < height; ++y) {
        const int source = layout->topDown ? y : height - 1 - y;
        std::memcpy(image.scanLine(y), bits + std::size_t(source) * stride, stride);
    }
    m_picture = std::move(image);
    m_frame = frame;
    m_area->update();
    return true;
}

bool FilePreviewPane::openWave(const std::string& path) {
    const std::vector<std::uint8_t> head = fileHead(path, kWaveHeadBytes);
    const std::optional<WaveSummary> wave = ReadWaveSummary(head);
    if (!wave) return false;
    std::string text =
        DescribeWaveFormat(wave->formatTag, wave->channels, wave->samplesPerSec, wave->bitsPerSample);
    if (wave->dataBytes && wave->avgBytesPerSec > 0)
        text += "\nLength " + DescribeDuration(std::int64_t(*wave->dataBytes) * 1000 / wave->avgBytesPerSec);
    m_kind = Kind::Wave;
    m_info->setText(QString::fromStdString(text));
    return true;
}

void FilePreviewPane::Play() {
    if (!m_play->isEnabled() || Playing()) return;
    // Played to its end, the video starts again from the first frame.
    if (m_frame >= m_length - 1 && !showFrame(0)) return;
    m_play->setText("&Stop");
    m_timer->start(m_intervalMs);
}

void FilePreviewPane::Stop() {
    m_timer->stop();
    m_play->setText("&Play");
}

void FilePreviewPane::step() {
    // A frame that cannot be decoded ends the playing, as the end of the video does.
    if (m_frame + 1 >= m_length || !showFrame(m_frame + 1)) Stop();
}

} // namespace host::widgets

namespace win {

namespace {

BOOL runPreviewDialog(LPOPENFILENAMEA ofn, bool save) {
    return host::widgets::RunFileDialog(ofn, save, [](host::widgets::FileDialog& dialog) {
        auto* pane = new host::widgets::FilePreviewPane(&dialog);
        dialog.AddSidePane(pane);
        QObject::connect(&dialog, &QFileDialog::currentChanged, pane,
                         [pane](const QString& path) { pane->ShowFile(path.toStdString()); });
        const QStringList selected = dialog.selectedFiles();
        if (!selected.isEmpty()) pane->ShowFile(selected.front().toStdString());
    });
}

} // namespace

BOOL GetOpenFileNamePreviewA(LPOPENFILENAMEA ofn) {
    return runPreviewDialog(ofn, false);
}

BOOL GetSaveFileNamePreviewA(LPOPENFILENAMEA ofn) {
    return runPreviewDialog(ofn, true);
}

} // namespace win
