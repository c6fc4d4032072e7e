// The compression options dialog driven off-screen: the compressors offered, the controls the flags and
// the compressor allow, OK writing the choices (settings block included) into the records, Cancel leaving
// them alone; the handler that answers in the dialog's place.

// The AVI test helpers come before Qt, whose keyword macros they would otherwise meet.
#include "platform/vfw/AviWriteUtil.h"

#include "WidgetTest.h"
#include "platform/vfw/AviSaveOptions.h"
#include "platform/widgets/SaveOptionsDialog.h"
#include "platform/win/GlobalMemory.h"
#include "support/TestCompressor.h"

#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSlider>
#include <QtWidgets/QSpinBox>

using namespace avitest;
using namespace win;
using host::widgets::RunSaveOptionsDialog;
using host::widgets::SaveOptionsDialog;

namespace {

class SaveOptionsTest : public widgettest::WidgetTest {
  protected:
    void SetUp() override {
        WidgetTest::SetUp();
        auto path = workDir() / "options-source.avi";
        {
            auto f = createFile(path);
            auto v = createStream(f.get(), videoInfo(25));
            auto wf = pcmFormat(8000, 2);
            auto a = createStream(f.get(), audioInfo(wf));
            auto fmt = dibFormat(32, 16, 24);
            ASSERT_EQ(AVIStreamSetFormat(v.get(), 0, fmt.data(), LONG(fmt.size())), AVIERR_OK);
            ASSERT_EQ(AVIStreamSetFormat(a.get(), 0, &wf, sizeof wf), AVIERR_OK);
            ASSERT_EQ(writeSample(v.get(), frameBytes(32 * 16 * 3, 0)), AVIERR_OK);
            ASSERT_EQ(writeSample(a.get(), std::vector<std::uint8_t>(400), true, 100), AVIERR_OK);
        }
        m_file = openFile(path);
        m_video = stream(m_file.get(), streamtypeVIDEO, 0);
        m_audio = stream(m_file.get(), streamtypeAUDIO, 0);
        video = {};
        video.fccType = streamtypeVIDEO;
        video.dwKeyFrameEvery = 7;
        video.dwQuality = DWORD(-1);
        video.dwBytesPerSecond = 60000;
        video.dwFlags = 15;
        video.dwInterleaveEvery = 5;
        audio = {};
        audio.fccType = streamtypeAUDIO;
        audio.dwFlags = 9;
        audio.dwInterleaveEvery = 5;
    }
    void TearDown() override {
        LPAVICOMPRESSOPTIONS o[2] = {&video, &audio};
        AVISaveOptionsFree(2, o);
        WidgetTest::TearDown();
    }

    INT_PTR run(UINT flags, const std::function<void(SaveOptionsDialog&)>& drive) {
        PAVISTREAM s[2] = {m_video.get(), m_audio.get()};
        LPAVICOMPRESSOPTIONS o[2] = {&video, &audio};
        return RunSaveOptionsDialog(nullptr, flags, 2, s, o, drive);
    }

    AVICOMPRESSOPTIONS video{}, audio{};
    testcodec::Installed codec;

  private:
    FilePtr m_file;
    StreamPtr m_video, m_audio;
};

int indexOf(QComboBox* box, FOURCC handler) {
    for (int i = 0; i < box->count(); ++i)
        if (box->itemData(i).toUInt() == handler) return i;
    return -1;
}

TEST_F(SaveOptionsTest, OkStoresTheChoices) {
    const UINT flags = ICMF_CHOOSE_KEYFRAME | ICMF_CHOOSE_DATARATE | ICMF_CHOOSE_PREVIEW;
    bool driven = false;
    INT_PTR r = run(flags, [&](SaveOptionsDialog& d) {
        driven = true;
        ASSERT_EQ(d.pageCount(), 2);
        auto& p = d.page(0);
        EXPECT_EQ(p.compressor->itemText(0), "Full frames (uncompressed)");
        // Full frames: nothing to set.
        EXPECT_FALSE(p.quality->isEnabled());
        EXPECT_FALSE(p.configure->isVisibleTo(&d));
        const int test = indexOf(p.compressor, testcodec::kHandler);
        ASSERT_GT(test, 0);
        EXPECT_EQ(p.compressor->itemText(test), "Test delta codec");
        p.compressor->setCurrentIndex(test);
        EXPECT_TRUE(p.quality->isEnabled());
        EXPECT_EQ(p.quality->value(), 50) << "the compressor's default quality";
        EXPECT_TRUE(p.configure->isVisibleTo(&d));
        EXPECT_FALSE(p.about->isVisibleTo(&d)) << "the compressor has no about box";
        EXPECT_TRUE(p.keyFrames->isVisibleTo(&d));
        EXPECT_TRUE(p.dataRate->isVisibleTo(&d));
        ASSERT_TRUE(p.preview);
        EXPECT_FALSE(p.preview->pixmap().isNull());
        EXPECT_TRUE(d.page(1).format->text().startsWith("PCM, 8000 Hz, 16 bit, stereo"));

        p.quality->setValue(80);
        p.keyFrames->setChecked(true);
        p.keyEvery->setValue(10);
        p.dataRate->setChecked(false);
        d.interleave()->setChecked(true);
        d.interleaveEvery()->setValue(4);
        p.configure->click(); // the compressor's settings change
        d.okButton()->click();
    });
    ASSERT_TRUE(driven);
    EXPECT_EQ(r, TRUE);
    EXPECT_EQ(video.fccHandler, testcodec::kHandler);
    EXPECT_EQ(video.dwQuality, 8000u);
    EXPECT_EQ(video.dwKeyFrameEvery, 10u);
    EXPECT_EQ(video.dwFlags, AVICOMPRESSF_VALID | AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_INTERLEAVE);
    EXPECT_EQ(video.dwInterleaveEvery, 4u);
    EXPECT_EQ(audio.dwInterleaveEvery, 4u);
    ASSERT_EQ(video.cbParms, 4u);
    ASSERT_TRUE(video.lpParms);
    DWORD state;
    std::memcpy(&state, video.lpParms, 4);
    EXPECT_EQ(state, 0x1235u);
    EXPECT_EQ(testcodec::counters().configures, 1);
    ASSERT_EQ(audio.cbFormat, sizeof(WAVEFORMATEX));
    auto wf = pcmFormat(8000, 2);
    EXPECT_EQ(std::memcmp(audio.lpFormat, &wf, 16), 0);
}

TEST_F(SaveOptionsTest, CancelLeavesTheRecords) {
    const AVICOMPRESSOPTIONS before = video, audioBefore = audio;
    INT_PTR r = run(ICMF_CHOOSE_KEYFRAME, [](SaveOptionsDialog& d) {
        auto& p = d.page(0);
        p.compressor->setCurrentIndex(indexOf(p.compressor, testcodec::kHandler));
        p.quality->setValue(10);
        d.interleave()->setChecked(false);
        EXPECT_FALSE(p.dataRate->isVisibleTo(&d)) << "not asked for";
        EXPECT_FALSE(p.preview) << "not asked for";
        d.cancelButton()->click();
    });
    EXPECT_EQ(r, FALSE);
    EXPECT_EQ(std::memcmp(&video, &before, sizeof video), 0);
    EXPECT_EQ(std::memcmp(&audio, &audioBefore, sizeof audio), 0);
}

TEST_F(SaveOptionsTest, TheRecordsChoiceAndSettingsComeBack) {
    video.fccHandler = testcodec::kHandler;
    video.dwQuality = 3000;
    video.lpParms = GlobalAllocPtr(GPTR, 4);
    video.cbParms = 4;
    const DWORD saved = 0x9999;
    std::memcpy(video.lpParms, &saved, 4);
    INT_PTR r = run(0, [](SaveOptionsDialog& d) {
        auto& p = d.page(0);
        EXPECT_EQ(p.compressor->currentData().toUInt(), testcodec::kHandler);
        EXPECT_EQ(p.quality->value(), 30);
        EXPECT_TRUE(d.interleave()->isChecked());
        EXPECT_EQ(d.interleaveEvery()->value(), 5);
        d.okButton()->click();
    });
    EXPECT_EQ(r, TRUE);
    EXPECT_EQ(testcodec::counters().state, saved) << "the compressor was given the saved state";
    DWORD state;
    std::memcpy(&state, video.lpParms, 4);
    EXPECT_EQ(state, saved);
    EXPECT_EQ(video.dwQuality, 3000u);
}

TEST_F(SaveOptionsTest, HandlerAnswersInsteadOfTheDialog) {
    PAVISTREAM s[2] = {nullptr, nullptr};
    LPAVICOMPRESSOPTIONS o[2] = {&video, &audio};
    int calls = 0;
    auto previous =
        SetSaveOptionsHandler([&](HWND, UINT flags, int n, PAVISTREAM*, LPAVICOMPRESSOPTIONS* opts) {
            ++calls;
            EXPECT_EQ(flags, ICMF_CHOOSE_PREVIEW);
            EXPECT_EQ(n, 2);
            opts[0]->fccHandler = mmioFOURCC('M', 'J', 'P', 'G');
            return INT_PTR(TRUE);
        });
    EXPECT_EQ(AVISaveOptions(nullptr, ICMF_CHOOSE_PREVIEW, 2, s, o), FALSE) << "streams missing";
    s[0] = reinterpret_cast<PAVISTREAM>(&video); // any stream pointer: the handler does not look
    s[1] = s[0];
    EXPECT_EQ(AVISaveOptions(nullptr, ICMF_CHOOSE_PREVIEW, 2, s, o), TRUE);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(video.fccHandler, mmioFOURCC('M', 'J', 'P', 'G'));
    SetSaveOptionsHandler(previous);
    // Without a handler the registered dialog answers; off-screen nobody could, so it declines.
    EXPECT_EQ(AVISaveOptions(nullptr, 0, 2, s, o), FALSE);
}

} // namespace
