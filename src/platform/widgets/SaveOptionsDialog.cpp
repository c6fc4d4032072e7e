#include "platform/widgets/SaveOptionsDialog.h"
#include "platform/win/DibLayout.h"

#include "platform/vfw/AviSaveOptions.h"
#include "platform/widgets/ControlWidget.h"
#include "platform/win/GlobalMemory.h"

#include <QtCore/QTimer>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QPixmap>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QFormLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSlider>
#include <QtWidgets/QSpinBox>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QVBoxLayout>

#include <algorithm>
#include <cstring>
#include <tuple>
#include <utility>

namespace host::widgets {

namespace {

constexpr win::FOURCC kFullFrames = win::mmioFOURCC('D', 'I', 'B', ' ');
constexpr int kPreviewWidth = 160;

template <typename T> win::DWORD_PTR arg(T* p) {
    return reinterpret_cast<win::DWORD_PTR>(p);
}

win::DWORD lowerFourcc(win::DWORD f) {
    win::DWORD out = 0;
    for (int i = 0; i < 4; ++i) {
        char c = char((f >> (8 * i)) & 0xFF);
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        out |= win::DWORD(std::uint8_t(c)) << (8 * i);
    }
    return out;
}

QString fourccText(win::DWORD f) {
    QString s;
    for (int i = 0; i < 4; ++i) {
        char c = char((f >> (8 * i)) & 0xFF);
        s += (c >= 32 && c < 127) ? QChar(c) : QChar('?');
    }
    return s.trimmed();
}

std::vector<std::uint8_t> formatOf(win::PAVISTREAM s) {
    win::LONG size = 0;
    if (win::AVIStreamReadFormat(s, 0, nullptr, &size) != win::AVIERR_OK || size <= 0 || size > (1 << 20))
        return {};
    std::vector<std::uint8_t> f(static_cast<std::size_t>(size));
    if (win::AVIStreamReadFormat(s, 0, f.data(), &size) != win::AVIERR_OK) return {};
    return f;
}

// The frames a compressor is given when the stream is saved: 24-bit DIBs of the stream's size.
win::BITMAPINFOHEADER compressorInput(win::PAVISTREAM s) {
    win::BITMAPINFOHEADER bi{};
    std::vector<std::uint8_t> f = formatOf(s);
    if (f.size() >= sizeof bi) std::memcpy(&bi, f.data(), sizeof bi);
    bi.biSize = sizeof bi;
    bi.biHeight = bi.biHeight < 0 ? -bi.biHeight : bi.biHeight;
    bi.biPlanes = 1;
    bi.biBitCount = 24;
    bi.biCompression = win::BI_RGB;
    bi.biSizeImage = win::DWORD(win::DibStride(std::uint64_t(std::max<win::LONG>(bi.biWidth, 0)), 24) *
                                std::uint64_t(bi.biHeight));
    bi.biClrUsed = bi.biClrImportant = 0;
    return bi;
}

QString waveText(const std::vector<std::uint8_t>& f) {
    win::WAVEFORMATEX w{};
    if (f.size() < 16) return "Unknown format";
    std::memcpy(&w, f.data(), std::min(f.size(), sizeof w));
    QString kind = w.wFormatTag == win::WAVE_FORMAT_PCM ? "PCM" : QString("Format %1").arg(w.wFormatTag);
    QString channels = w.nChannels == 1   ? "mono"
                       : w.nChannels == 2 ? "stereo"
                                          : QString("%1 channels").arg(w.nChannels);
    return QString("%1, %2 Hz, %3 bit, %4")
        .arg(kind)
        .arg(w.nSamplesPerSec)
        .arg(w.wBitsPerSample)
        .arg(channels);
}

QString streamText(int i, win::PAVISTREAM s) {
    win::AVISTREAMINFOA info{};
    win::AVIStreamInfoA(s, &info, sizeof info);
    QString name = QString::fromUtf8(info.szName);
    QString kind = info.fccType == win::streamtypeVIDEO   ? "Video"
                   : info.fccType == win::streamtypeAUDIO ? "Audio"
                                                          : fourccText(info.fccType);
    QString text = QString("Stream %1: %2").arg(i).arg(kind);
    return name.isEmpty() ? text : text + " (" + name + ")";
}

// The driver answers the query form of ICM_CONFIGURE or ICM_ABOUT: it has such a dialog.
bool hasDialog(win::HIC hic, win::UINT msg) {
    return hic &&
           win::ICSendMessage(hic, msg, win::DWORD_PTR(-1), win::ICMF_CONFIGURE_QUERY) == win::ICERR_OK;
}

// A row of a check box and a number from 1 to most beside it, hidden when the dialog does not offer it.
std::pair<QCheckBox*, QSpinBox*> addCheckedNumber(QFormLayout* form, QWidget* into, const char* label,
                                                  const char* suffix, int most, win::DWORD value,
                                                  bool checked, bool shown) {
    auto* row = new QHBoxLayout;
    auto* box = new QCheckBox(label, into);
    auto* number = new QSpinBox(into);
    number->setRange(1, most);
    number->setSuffix(suffix);
    number->setValue(int(std::clamp<win::DWORD>(value, 1, win::DWORD(most))));
    box->setChecked(checked);
    row->addWidget(box);
    row->addWidget(number);
    form->addRow(row);
    if (!shown) {
        box->hide();
        number->hide();
    }
    return {box, number};
}

} // namespace

SaveOptionsDialog::SaveOptionsDialog(QWidget* parent, win::UINT flags, int streams, win::PAVISTREAM* stream,
                                     win::LPAVICOMPRESSOPTIONS* options)
    : QDialog(parent), m_flags(flags) {
    setWindowTitle("Compression Options");
    auto* layout = new QVBoxLayout(this);
    auto* top = new QFormLayout;
    m_streamList = new QComboBox(this);
    top->addRow("Stream:", m_streamList);
    layout->addLayout(top);
    m_stack = new QStackedWidget(this);
    layout->addWidget(m_stack);

    m_pages.resize(std::size_t(std::max(streams, 0)));
    for (int i = 0; i < streams; ++i) {
        Page& p = m_pages[std::size_t(i)];
        p.stream = stream[i];
        p.options = options[i];
        win::AVISTREAMINFOA info{};
        win::AVIStreamInfoA(p.stream, &info, sizeof info);
        p.type = info.fccType;
        p.video = info.fccType == win::streamtypeVIDEO;
        auto* w = new QWidget(m_stack);
        if (p.video)
            addVideoPage(p, w);
        else
            addOtherPage(p, w);
        m_stack->addWidget(w);
        m_streamList->addItem(streamText(i, p.stream));
    }
    connect(m_streamList, qOverload<int>(&QComboBox::currentIndexChanged), m_stack,
            &QStackedWidget::setCurrentIndex);

    // Interleaving is a setting of the file: shown once, stored in every record.
    auto* row = new QHBoxLayout;
    m_interleave = new QCheckBox("Interleave every", this);
    m_interleaveEvery = new QSpinBox(this);
    m_interleaveEvery->setRange(1, 1000);
    m_interleaveEvery->setSuffix(" frames");
    m_interleaveEvery->setValue(1);
    for (auto& p : m_pages)
        if (p.options->dwInterleaveEvery) {
            m_interleaveEvery->setValue(int(std::clamp<win::DWORD>(p.options->dwInterleaveEvery, 1, 1000)));
            break;
        }
    for (auto& p : m_pages)
        if (p.options->dwFlags & win::AVICOMPRESSF_INTERLEAVE) {
            m_interleave->setChecked(true);
            m_interleaveEvery->setValue(int(std::clamp<win::DWORD>(p.options->dwInterleaveEvery, 1, 1000)));
            break;
        }
    m_interleaveEvery->setEnabled(m_interleave->isChecked());
    connect(m_interleave, &QCheckBox::toggled, m_interleaveEvery, &QWidget::setEnabled);
    row->addWidget(m_interleave);
    row->addWidget(m_interleaveEvery);
    row->addStretch();
    layout->addLayout(row);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_cancel = buttons->button(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

SaveOptionsDialog::~SaveOptionsDialog() {
    for (auto& p : m_pages)
        if (p.hic) win::ICClose(p.hic);
}

void SaveOptionsDialog::addVideoPage(Page& p, QWidget* into) {
    auto* form = new QFormLayout(into);
    p.compressor = new QComboBox(into);
    p.compressor->addItem("Full frames (uncompressed)", QVariant::fromValue<uint>(kFullFrames));
    win::BITMAPINFOHEADER input = compressorInput(p.stream);
    const bool all = (m_flags & win::ICMF_CHOOSE_ALLCOMPRESSORS) != 0;
    win::ICINFO info{};
    for (win::DWORD i = 0; win::ICInfo(win::ICTYPE_VIDEO, i, &info); ++i) {
        if (lowerFourcc(info.fccHandler) == lowerFourcc(kFullFrames)) continue;
        win::HIC hic = win::ICOpen(win::ICTYPE_VIDEO, info.fccHandler, win::ICMODE_COMPRESS);
        if (!hic) continue; // a decompressor only
        const bool takes = win::ICSendMessage(hic, win::ICM_COMPRESS_QUERY, arg(&input), 0) == win::ICERR_OK;
        win::ICINFO full{};
        if (win::ICGetInfo(hic, &full, sizeof full) > 0) info = full;
        win::ICClose(hic);
        if (!takes && !all) continue;
        QString name = QString::fromUtf16(info.szDescription);
        if (name.isEmpty()) name = QString::fromUtf16(info.szName);
        if (name.isEmpty()) name = fourccText(info.fccHandler);
        p.compressor->addItem(name, QVariant::fromValue<uint>(info.fccHandler));
    }
    // A compressed stream can also be saved as it is.
    std::vector<std::uint8_t> f = formatOf(p.stream);
    win::BITMAPINFOHEADER source{};
    if (f.size() >= sizeof source) std::memcpy(&source, f.data(), sizeof source);
    if (source.biCompression != win::BI_RGB)
        p.compressor->addItem("No recompression (" + fourccText(source.biCompression) + ")",
                              QVariant::fromValue<uint>(0));
    form->addRow("Compressor:", p.compressor);

    auto* quality = new QHBoxLayout;
    p.quality = new QSlider(Qt::Horizontal, into);
    p.quality->setRange(0, 100);
    p.qualityValue = new QLabel(into);
    connect(p.quality, &QSlider::valueChanged, p.qualityValue,
            [label = p.qualityValue](int v) { label->setNum(v); });
    quality->addWidget(p.quality);
    quality->addWidget(p.qualityValue);
    form->addRow("Quality:", quality);

    std::tie(p.keyFrames, p.keyEvery) = addCheckedNumber(
        form, into, "Key frame every", " frames", 100000, p.options->dwKeyFrameEvery,
        p.options->dwFlags & win::AVICOMPRESSF_KEYFRAMES, m_flags & win::ICMF_CHOOSE_KEYFRAME);
    std::tie(p.dataRate, p.kilobytes) = addCheckedNumber(
        form, into, "Data rate", " KB/s", 1000000, p.options->dwBytesPerSecond / 1024,
        p.options->dwFlags & win::AVICOMPRESSF_DATARATE, m_flags & win::ICMF_CHOOSE_DATARATE);

    auto* driver = new QHBoxLayout;
    p.configure = new QPushButton("Configure...", into);
    p.about = new QPushButton("About...", into);
    driver->addWidget(p.configure);
    driver->addWidget(p.about);
    driver->addStretch();
    form->addRow(driver);
    connect(p.configure, &QPushButton::clicked, this, [this, &p] {
        if (p.hic) win::ICSendMessage(p.hic, win::ICM_CONFIGURE, arg(this), 0);
    });
    connect(p.about, &QPushButton::clicked, this, [this, &p] {
        if (p.hic) win::ICSendMessage(p.hic, win::ICM_ABOUT, arg(this), 0);
    });

    if (m_flags & win::ICMF_CHOOSE_PREVIEW) {
        p.preview = new QLabel(into);
        p.preview->setMinimumSize(kPreviewWidth, kPreviewWidth * 3 / 4);
        p.preview->setAlignment(Qt::AlignCenter);
        form->addRow("Preview:", p.preview);
        showPreview(p);
    }

    // The record's choice; a compressor that is not installed any more falls back to full frames.
    int chosen = 0;
    for (int i = 0; i < p.compressor->count(); ++i)
        if (lowerFourcc(p.compressor->itemData(i).toUInt()) == lowerFourcc(p.options->fccHandler)) chosen = i;
    if (p.options->fccHandler == 0 && source.biCompression != win::BI_RGB) chosen = p.compressor->count() - 1;
    p.compressor->setCurrentIndex(chosen);
    compressorChosen(p);
    if (p.options->dwQuality != win::ICQUALITY_DEFAULT)
        p.quality->setValue(int(std::min<win::DWORD>(p.options->dwQuality, 10000) / 100));
    connect(p.compressor, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this, &p] { compressorChosen(p); });
}

// A new compressor chosen: it is opened for its settings (given the record's saved state when it is the
// record's compressor) and the controls follow what it supports.
void SaveOptionsDialog::compressorChosen(Page& p) {
    if (p.hic) win::ICClose(p.hic);
    p.hic = nullptr;
    p.handler = p.compressor->currentData().toUInt();
    const bool driver = p.handler != 0 && p.handler != kFullFrames;
    win::DWORD caps = 0;
    if (driver) {
        p.hic = win::ICOpen(win::ICTYPE_VIDEO, p.handler, win::ICMODE_COMPRESS);
        if (p.hic && lowerFourcc(p.handler) == lowerFourcc(p.options->fccHandler) && p.options->lpParms &&
            p.options->cbParms)
            win::ICSendMessage(p.hic, win::ICM_SETSTATE, arg(p.options->lpParms), p.options->cbParms);
        win::ICINFO info{};
        if (p.hic && win::ICGetInfo(p.hic, &info, sizeof info) > 0) caps = info.dwFlags;
    }
    p.quality->setEnabled(caps & win::VIDCF_QUALITY);
    p.keyFrames->setEnabled(caps & win::VIDCF_TEMPORAL);
    p.keyEvery->setEnabled(caps & win::VIDCF_TEMPORAL);
    p.dataRate->setEnabled(caps & win::VIDCF_CRUNCH);
    p.kilobytes->setEnabled(caps & win::VIDCF_CRUNCH);
    win::DWORD quality = 7500;
    if (p.hic) win::ICSendMessage(p.hic, win::ICM_GETDEFAULTQUALITY, arg(&quality), 0);
    p.quality->setValue(int(std::min<win::DWORD>(quality, 10000) / 100));
    p.qualityValue->setNum(p.quality->value());
    p.configure->setVisible(hasDialog(p.hic, win::ICM_CONFIGURE));
    p.about->setVisible(hasDialog(p.hic, win::ICM_ABOUT));
}

void SaveOptionsDialog::showPreview(Page& p) {
    win::BITMAPINFOHEADER want = compressorInput(p.stream);
    win::PGETFRAME frames = win::AVIStreamGetFrameOpen(p.stream, &want);
    if (!frames) {
        p.preview->setText("No preview");
        return;
    }
    const auto* dib = static_cast<const win::BITMAPINFOHEADER*>(win::AVIStreamGetFrame(frames, 0));
    // The frame is a packed DIB of a known kind; its first word bounds the header to read.
    const auto layout =
        dib && dib->biSize <= win::kDibMaxHeaderSize
            ? win::ParseDibLayout({reinterpret_cast<const std::uint8_t*>(dib), dib->biSize + 12u})
            : std::nullopt;
    if (layout && layout->bitCount == 24 && !layout->compressed()) {
        const int w = layout->width, h = layout->height;
        const bool bottomUp = !layout->topDown;
        const std::size_t stride = layout->stride;
        const auto* pixels = reinterpret_cast<const std::uint8_t*>(dib) + layout->pixelOffset;
        QImage image(w, h, QImage::Format_BGR888);
        for (int y = 0; y < h; ++y)
            std::memcpy(image.scanLine(y), pixels + std::size_t(bottomUp ? h - 1 - y : y) * stride,
                        std::size_t(w) * 3);
        p.preview->setPixmap(QPixmap::fromImage(image.scaled(kPreviewWidth, kPreviewWidth * 3 / 4,
                                                             Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    } else {
        p.preview->setText("No preview");
    }
    win::AVIStreamGetFrameClose(frames);
}

void SaveOptionsDialog::addOtherPage(Page& p, QWidget* into) {
    auto* form = new QFormLayout(into);
    win::AVISTREAMINFOA info{};
    win::AVIStreamInfoA(p.stream, &info, sizeof info);
    QString text = info.fccType == win::streamtypeAUDIO ? waveText(formatOf(p.stream)) + " (kept)"
                                                        : QString("Copied as it is");
    p.format = new QLabel(text, into);
    form->addRow("Format:", p.format);
}

void SaveOptionsDialog::store() {
    const win::DWORD interleave = m_interleave->isChecked() ? win::AVICOMPRESSF_INTERLEAVE : 0;
    for (auto& p : m_pages) {
        win::AVICOMPRESSOPTIONS& o = *p.options;
        o.dwFlags = (o.dwFlags & ~win::AVICOMPRESSF_INTERLEAVE) | interleave | win::AVICOMPRESSF_VALID;
        o.dwInterleaveEvery = win::DWORD(m_interleaveEvery->value());
        if (!p.video) {
            // Audio is saved in its own format; the record says which.
            if (p.type == win::streamtypeAUDIO && !o.lpFormat) {
                std::vector<std::uint8_t> f = formatOf(p.stream);
                if (!f.empty() && (o.lpFormat = win::GlobalAllocPtr(win::GPTR, f.size())) != nullptr) {
                    std::memcpy(o.lpFormat, f.data(), f.size());
                    o.cbFormat = win::DWORD(f.size());
                }
            }
            continue;
        }
        o.fccHandler = p.handler;
        o.dwQuality = p.quality->isEnabled() ? win::DWORD(p.quality->value() * 100) : win::ICQUALITY_DEFAULT;
        const bool keys = p.keyFrames->isChecked();
        o.dwFlags = (o.dwFlags & ~win::AVICOMPRESSF_KEYFRAMES) | (keys ? win::AVICOMPRESSF_KEYFRAMES : 0);
        o.dwKeyFrameEvery = win::DWORD(p.keyEvery->value());
        const bool rate = p.dataRate->isChecked();
        o.dwFlags = (o.dwFlags & ~win::AVICOMPRESSF_DATARATE) | (rate ? win::AVICOMPRESSF_DATARATE : 0);
        o.dwBytesPerSecond = win::DWORD(p.kilobytes->value()) * 1024;
        // The compressor's own settings, as a block the record owns.
        if (o.lpParms) win::GlobalFreePtr(o.lpParms);
        o.lpParms = nullptr;
        o.cbParms = 0;
        const win::LRESULT size = p.hic ? win::ICSendMessage(p.hic, win::ICM_GETSTATE, 0, 0) : 0;
        if (size > 0 && size < (1 << 20)) {
            o.lpParms = win::GlobalAllocPtr(win::GPTR, std::size_t(size));
            if (o.lpParms &&
                win::ICSendMessage(p.hic, win::ICM_GETSTATE, arg(o.lpParms), win::DWORD_PTR(size)) >= 0) {
                o.cbParms = win::DWORD(size);
            } else if (o.lpParms) {
                win::GlobalFreePtr(o.lpParms);
                o.lpParms = nullptr;
            }
        }
    }
}

win::INT_PTR RunSaveOptionsDialog(win::HWND owner, win::UINT flags, int streams, win::PAVISTREAM* stream,
                                  win::LPAVICOMPRESSOPTIONS* options,
                                  const std::function<void(SaveOptionsDialog&)>& drive) {
    if (streams <= 0 || !stream || !options) return win::FALSE;
    EnsureApplication();
    if (!OnGuiThread()) return win::FALSE;
    // Nobody can answer a dialog on a screen that is not shown.
    const QString platform = QGuiApplication::platformName();
    if (!drive && (platform == "offscreen" || platform == "minimal")) {
        win::AVISetLastErrorDetail("no display to show the compression options on");
        return win::FALSE;
    }
    TWinControl* control = FindControl(owner);
    QWidget* parent = control && control->Widget() ? control->Widget()->window() : nullptr;
    SaveOptionsDialog dialog(parent, flags, streams, stream, options);
    if (drive) QTimer::singleShot(0, &dialog, [&dialog, &drive] { drive(dialog); });
    if (dialog.exec() != QDialog::Accepted) return win::FALSE;
    dialog.store();
    return win::TRUE;
}

void RegisterSaveOptionsDialog() {
    win::SetSaveOptionsDialog([](win::HWND owner, win::UINT flags, int streams, win::PAVISTREAM* stream,
                                 win::LPAVICOMPRESSOPTIONS* options) {
        return RunSaveOptionsDialog(owner, flags, streams, stream, options);
    });
}

} // namespace host::widgets
