// The file dialogs with a preview pane: an AVI written by our writer previewed with its size, rate, length,
// streams and first frame, played and stopped; a wave file's format; broken and foreign files showing
// nothing and no box; the hook still served. Also the wave header reading on damaged input.

#include "WidgetTest.h"
#include "platform/vfw/Vfw.h"
#include "platform/widgets/FileDialog.h"
#include "platform/widgets/FilePreview.h"
#include "support/TestWork.h"

#include <QtWidgets/QPushButton>

#include <cstring>
#include <fstream>
#include <thread>

using namespace win;
using host::widgets::FileDialog;
using host::widgets::FilePreviewPane;

namespace {

constexpr int kWidth = 16, kHeight = 8, kFrames = 5;

// The colour of pixel (x, y), counted from the top, of frame n: every pixel and frame differ.
QRgb frameColour(int n, int x, int y) {
    return qRgb(x * 15, y * 30, n * 50);
}

void writeAvi(const std::filesystem::path& path) {
    PAVIFILE file = nullptr;
    ASSERT_EQ(AVIFileOpenA(&file, path.c_str(), OF_CREATE | OF_WRITE, nullptr), AVIERR_OK);
    AVISTREAMINFOA vi{};
    vi.fccType = streamtypeVIDEO;
    vi.dwRate = 10;
    vi.dwScale = 1;
    vi.dwQuality = 0xFFFFFFFF;
    PAVISTREAM video = nullptr;
    ASSERT_EQ(AVIFileCreateStreamA(file, &video, &vi), AVIERR_OK);
    BITMAPINFOHEADER bi{};
    bi.biSize = sizeof bi;
    bi.biWidth = kWidth;
    bi.biHeight = kHeight; // bottom-up
    bi.biPlanes = 1;
    bi.biBitCount = 24;
    const int stride = (kWidth * 3 + 3) & ~3;
    bi.biSizeImage = DWORD(stride * kHeight);
    ASSERT_EQ(AVIStreamSetFormat(video, 0, &bi, sizeof bi), AVIERR_OK);
    // Every stream is made before the first sample is written.
    WAVEFORMATEX wf{};
    wf.wFormatTag = WAVE_FORMAT_PCM;
    wf.nChannels = 2;
    wf.nSamplesPerSec = 8000;
    wf.wBitsPerSample = 16;
    wf.nBlockAlign = 4;
    wf.nAvgBytesPerSec = 32000;
    AVISTREAMINFOA ai{};
    ai.fccType = streamtypeAUDIO;
    ai.dwScale = 4;
    ai.dwRate = 32000;
    ai.dwSampleSize = 4;
    PAVISTREAM audio = nullptr;
    ASSERT_EQ(AVIFileCreateStreamA(file, &audio, &ai), AVIERR_OK);
    ASSERT_EQ(AVIStreamSetFormat(audio, 0, &wf, sizeof wf), AVIERR_OK);
    for (int n = 0; n < kFrames; ++n) {
        std::vector<std::uint8_t> bits(bi.biSizeImage, 0);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                std::uint8_t* p = bits.data() + (kHeight - 1 - y) * stride + x * 3;
                const QRgb c = frameColour(n, x, y);
                p[0] = std::uint8_t(qBlue(c));
                p[1] = std::uint8_t(qGreen(c));
                p[2] = std::uint8_t(qRed(c));
            }
        ASSERT_EQ(
            AVIStreamWrite(video, n, 1, bits.data(), LONG(bits.size()), AVIIF_KEYFRAME, nullptr, nullptr),
            AVIERR_OK);
    }
    std::vector<std::uint8_t> samples(8000 * 4 / 2, 0);
    ASSERT_EQ(AVIStreamWrite(audio, 0, 4000, samples.data(), LONG(samples.size()), AVIIF_KEYFRAME, nullptr,
                             nullptr),
              AVIERR_OK);
    AVIStreamRelease(audio);
    AVIStreamRelease(video);
    AVIFileRelease(file);
}

void put32(std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s += char((v >> (8 * i)) & 0xFF);
}
void put16(std::string& s, std::uint16_t v) {
    s += char(v & 0xFF);
    s += char(v >> 8);
}

// A RIFF WAVE with a LIST chunk of odd size (padded) before fmt; dataBytes of silence.
std::string waveFile(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                     std::uint32_t dataBytes) {
    std::string body = "WAVE";
    body += "LIST";
    put32(body, 5);
    body += std::string("INFOx\0", 6);
    body += "fmt ";
    put32(body, 16);
    put16(body, tag);
    put16(body, channels);
    put32(body, rate);
    const std::uint16_t align = std::uint16_t(channels * ((bits + 7) / 8));
    put32(body, rate * align);
    put16(body, align);
    put16(body, bits);
    body += "data";
    put32(body, dataBytes);
    body += std::string(dataBytes, '\0');
    std::string file = "RIFF";
    put32(file, std::uint32_t(body.size()));
    return file + body;
}

class FilePreviewTest : public widgettest::WidgetTest {
  protected:
    void SetUp() override {
        WidgetTest::SetUp();
        folder = testsupport::workDir("file-preview");
        dir = folder.string();
        writeAvi(folder / "clip.avi");
        std::ofstream(folder / "tone.wav", std::ios::binary) << waveFile(1, 1, 22050, 8, 22050);
        std::ofstream(folder / "broken.avi", std::ios::binary)
            << std::string("RIFF\x40\0\0\0AVI LIST\xff\xff", 18);
        std::ofstream(folder / "notes.txt") << "not a video";
        std::memset(file, 0, sizeof file);
        ofn = {};
        ofn.lStructSize = sizeof ofn;
        ofn.lpstrFile = file;
        ofn.nMaxFile = sizeof file;
        ofn.lpstrInitialDir = dir.c_str();
        ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR;
    }
    void TearDown() override {
        host::widgets::SetFileDialogDriver({});
        WidgetTest::TearDown();
    }
    BOOL run(const std::function<void(FileDialog&, FilePreviewPane&)>& drive) {
        host::widgets::SetFileDialogDriver([drive](FileDialog& d) {
            auto* pane = d.findChild<FilePreviewPane*>("previewPane");
            if (!pane) {
                ADD_FAILURE() << "no preview pane";
                d.ClickCancel();
                return;
            }
            drive(d, *pane);
        });
        return GetOpenFileNamePreviewA(&ofn);
    }

    std::filesystem::path folder;
    std::string dir;
    char file[512];
    OPENFILENAMEA ofn{};
};

TEST_F(FilePreviewTest, AviShowsItsFactsAndFirstFrame) {
    ASSERT_TRUE(run([&](FileDialog& d, FilePreviewPane& pane) {
        d.SelectNames({"clip.avi"});
        EXPECT_EQ(pane.Shown(), FilePreviewPane::Kind::Video);
        const std::string info = pane.InfoText().toStdString();
        EXPECT_NE(info.find("16 x 8 pixels"), std::string::npos) << info;
        EXPECT_NE(info.find("10 frames per second"), std::string::npos) << info;
        EXPECT_NE(info.find("Length 0:00.50 (5 frames)"), std::string::npos) << info;
        EXPECT_NE(info.find("audio (PCM, 8000 Hz, 16 bit, stereo)"), std::string::npos) << info;
        EXPECT_NE(info.find("Streams: video"), std::string::npos) << info;
        EXPECT_EQ(pane.CurrentFrame(), 0);
        const QImage& picture = pane.Picture();
        EXPECT_EQ(picture.size(), QSize(kWidth, kHeight));
        int wrong = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                wrong += (picture.pixel(x, y) & 0xFFFFFF) != (frameColour(0, x, y) & 0xFFFFFF);
        EXPECT_EQ(wrong, 0);
        // 16:8 scaled into the 200 x 150 area: full width, centred vertically.
        EXPECT_EQ(pane.PictureRect(), QRect(0, 25, 200, 100));
        EXPECT_TRUE(pane.PlayButton()->isEnabled());
        d.ClickOk();
    }));
    EXPECT_EQ(std::string(file), dir + "/clip.avi");
}

TEST_F(FilePreviewTest, PlayAdvancesStopsAndEnds) {
    run([&](FileDialog& d, FilePreviewPane& pane) {
        d.SelectNames({"clip.avi"});
        pane.PlayButton()->click();
        EXPECT_TRUE(pane.Playing());
        EXPECT_EQ(pane.PlayButton()->text(), "&Stop");
        EXPECT_TRUE(widgettest::processUntil([&] { return pane.CurrentFrame() >= 2; }));
        pane.PlayButton()->click();
        EXPECT_FALSE(pane.Playing());
        const long stoppedAt = pane.CurrentFrame();
        widgettest::processUntil([] { return false; }, std::chrono::milliseconds(250));
        EXPECT_EQ(pane.CurrentFrame(), stoppedAt);

        // Played on, it stops by itself at the last frame, which is shown.
        pane.Play();
        EXPECT_TRUE(widgettest::processUntil([&] { return !pane.Playing(); }));
        EXPECT_EQ(pane.CurrentFrame(), kFrames - 1);
        EXPECT_EQ(pane.Picture().pixel(3, 2) & 0xFFFFFF, frameColour(kFrames - 1, 3, 2) & 0xFFFFFF);
        EXPECT_EQ(pane.PlayButton()->text(), "&Play");

        // Played again from the start, a change of selection stops it.
        pane.Play();
        EXPECT_LE(pane.CurrentFrame(), 1);
        EXPECT_TRUE(pane.Playing());
        d.SelectNames({"tone.wav"});
        EXPECT_FALSE(pane.Playing());
        d.ClickCancel();
    });
}

TEST_F(FilePreviewTest, WaveBrokenAndForeignFiles) {
    run([&](FileDialog& d, FilePreviewPane& pane) {
        d.SelectNames({"tone.wav"});
        EXPECT_EQ(pane.Shown(), FilePreviewPane::Kind::Wave);
        EXPECT_EQ(pane.InfoText().toStdString(), "PCM, 22050 Hz, 8 bit, mono\nLength 0:01.00");
        EXPECT_TRUE(pane.Picture().isNull());
        EXPECT_FALSE(pane.PlayButton()->isEnabled());
        for (const char* name : {"broken.avi", "notes.txt", "clip.avi", "notes.txt"}) {
            d.SelectNames({name});
            const bool video = std::string(name) == "clip.avi";
            EXPECT_EQ(pane.Shown(), video ? FilePreviewPane::Kind::Video : FilePreviewPane::Kind::None)
                << name;
            EXPECT_EQ(pane.InfoText().isEmpty(), !video) << name;
            EXPECT_EQ(pane.Picture().isNull(), !video) << name;
        }
        d.ClickCancel();
    });
    EXPECT_TRUE(boxes.empty());
}

int g_hookInits = 0;
UINT_PTR countingHook(HWND, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) ++g_hookInits;
    return 0;
}

TEST_F(FilePreviewTest, SaveDialogServesTheHookAndShowsTheInitialFile) {
    g_hookInits = 0;
    ofn.Flags |= OFN_ENABLEHOOK;
    ofn.lpfnHook = countingHook;
    std::strcpy(file, "clip.avi");
    host::widgets::SetFileDialogDriver([](FileDialog& d) {
        auto* pane = d.findChild<FilePreviewPane*>("previewPane");
        EXPECT_TRUE(pane && pane->Shown() == FilePreviewPane::Kind::Video);
        d.SelectNames({"copy"});
        d.ClickOk();
    });
    ofn.lpstrDefExt = "avi";
    ASSERT_TRUE(GetSaveFileNamePreviewA(&ofn));
    EXPECT_EQ(std::string(file), dir + "/copy.avi");
    EXPECT_EQ(g_hookInits, 1);
}

TEST(WaveSummary, DamagedHeaders) {
    const std::string good = waveFile(3, 2, 48000, 32, 8);
    auto read = [](const std::string& bytes) {
        return host::widgets::ReadWaveSummary(
            std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    };
    const auto summary = read(good);
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->formatTag, 3);
    EXPECT_EQ(summary->avgBytesPerSec, 384000u);
    EXPECT_EQ(summary->dataBytes, 8u);
    // fmt starts at 12 + 14 (LIST with its pad byte); its size field sits 4 bytes further on.
    const std::size_t fmtSize = 12 + 14 + 4;
    std::string hugeFmt = good;
    hugeFmt.replace(fmtSize, 4, "\xff\xff\xff\x7f");
    std::string hugeList = good;
    hugeList.replace(16, 4, "\xf0\xff\xff\xff");
    std::string notWave = good;
    notWave.replace(8, 4, "AVI ");
    for (const std::string& bad :
         {good.substr(0, fmtSize + 4 + 10), hugeFmt, hugeList, notWave, std::string()})
        EXPECT_FALSE(read(bad));
    // The data chunk need not be within the bytes read.
    const auto cut = read(good.substr(0, good.size() - 8));
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->dataBytes, 8u);
    EXPECT_EQ(host::widgets::DescribeWaveFormat(0x1234, 6, 44100, 0), "format 0x1234, 44100 Hz, 6 channels");
    EXPECT_EQ(host::widgets::DescribeDuration(3723456), "1:02:03.45");
}

} // namespace
