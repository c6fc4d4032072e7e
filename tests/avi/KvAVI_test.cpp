#include "avi/FakeAviFile.h"
#include "avi/KvAVI.h"
#include "platform/vfw/AviWriteUtil.h"

#include <gtest/gtest.h>

using namespace kv;
using testing_avi::FakeFile;
using testing_avi::FakeStream;

namespace {

std::string messageOf(win::HRESULT rc) {
    try {
        AVICheck(rc);
    } catch (const EKvAVIError& e) {
        return e.Message();
    }
    return "(no exception)";
}

struct ThreeStreams {
    FakeStream video1{win::streamtypeVIDEO};
    FakeStream audio{win::streamtypeAUDIO};
    FakeStream video2{win::streamtypeVIDEO};
    FakeFile file;
    ThreeStreams() { file.streams = {&video1, &audio, &video2}; }
};

} // namespace

TEST(KvAVIErrors, MessagesCarryTheCodeInEightUpperCaseHexDigitsAndItsText) {
    EXPECT_EQ(messageOf(win::AVIERR_FILEOPEN), "AVI error (8004406F): Error opening file");
    EXPECT_EQ(messageOf(win::AVIERR_USERABORT), "AVI error (800440C6): User abort");
    EXPECT_EQ(messageOf(win::HRESULT(0x80044099u)), "AVI error (80044099): Unknown error");
    EXPECT_EQ(messageOf(0x12), "AVI error (      12): Unknown error");
    // A code the system has a text for uses that text, without its closing full stop.
    EXPECT_EQ(AVIGetErrorString(win::E_OUTOFMEMORY),
              "Not enough memory resources are available to complete this operation");
    EXPECT_EQ(messageOf(0), "(no exception)");
}

TEST(KvAVIErrors, ExcludedCodesAreReturnedOthersRaised) {
    EXPECT_EQ(AVICheckExcl(win::AVIERR_NODATA, {win::AVIERR_NODATA, win::AVIERR_BADPARAM}), win::AVIERR_NODATA);
    EXPECT_EQ(AVICheckExcl(0, {win::AVIERR_NODATA}), 0);
    EXPECT_THROW(AVICheckExcl(win::AVIERR_FILEREAD, {win::AVIERR_NODATA}), EKvAVIError);
}

TEST(KvAVIErrors, FixFOURCCNamesUncompressedAndRle8) {
    win::FOURCC v = 0;
    FixFOURCC(v);
    EXPECT_EQ(v, win::mmioFOURCC('N', 'o', 'n', 'e'));
    v = 1;
    FixFOURCC(v);
    EXPECT_EQ(v, win::mmioFOURCC('R', 'l', 'e', '8'));
    v = win::mmioFOURCC('M', 'J', 'P', 'G');
    FixFOURCC(v);
    EXPECT_EQ(v, win::mmioFOURCC('M', 'J', 'P', 'G'));
}

TEST(KvAVIFile, StreamsAreFoundByTypeInFileOrder) {
    ThreeStreams f;
    {
        TKvAVIFile avi(nullptr);
        avi.SetPFile(&f.file);
        EXPECT_EQ(f.file.refs, 2);
        EXPECT_EQ(avi.GetStreamCount(), 3);
        EXPECT_EQ(avi.GetTypedStreamCount(stVideo), 2);
        EXPECT_EQ(avi.GetTypedStreamCount(stMidi), 0);
        EXPECT_EQ(avi.GetTypedStreams(stVideo, 0)->GetPStream(), &f.video1);
        EXPECT_EQ(avi.GetTypedStreams(stVideo, 1)->GetPStream(), &f.video2);
        EXPECT_EQ(avi.GetTypedStreams(stVideo, 2), nullptr);
        EXPECT_EQ(avi.GetTypedStreams(stAudio, 0)->GetStreamType(), stAudio);
        EXPECT_EQ(avi.GetStreams(0)->SuggestedBufferSize(), 4096u);
        EXPECT_THROW(avi.GetStreams(3), host::EListError);
        EXPECT_EQ(f.video1.refs, 2); // the list's wrapper holds one
    }
    // Destroying the component released the file and every stream it had wrapped.
    EXPECT_EQ(f.file.refs, 1);
    EXPECT_EQ(f.video1.refs, 1);
    EXPECT_EQ(f.audio.refs, 1);
}

TEST(KvAVIFile, AStreamHeldByAWorkerOutlivesTheFile) {
    ThreeStreams f;
    auto* avi = new TKvAVIFile(nullptr);
    avi->SetPFile(&f.file);
    auto* worker = new TKvAVIVideoWorker(avi->GetTypedStreams(stVideo, 0));
    delete avi;
    EXPECT_EQ(f.file.refs, 1);
    EXPECT_EQ(f.video1.refs, 2); // still held through the worker's stream object
    EXPECT_EQ(worker->GetStream()->GetLength(), 10);
    delete worker;
    EXPECT_EQ(f.video1.refs, 1);
}

TEST(KvAVIFile, AFailingListingRaisesAndKeepsTheStreamsListedSoFar) {
    ThreeStreams f;
    f.file.failAt = win::AVIERR_FILEREAD;
    TKvAVIFile avi(nullptr);
    avi.SetPFile(&f.file);
    EXPECT_THROW(avi.GetStreamCount(), EKvAVIError);
    EXPECT_EQ(avi.GetStreamCount(), 3); // the list exists now and is not made again
}

namespace {

// A file with one video and one audio stream.
std::filesystem::path videoAndAudio(const std::string& name) {
    auto p = avitest::workDir() / name;
    avitest::FilePtr f = avitest::createFile(p);
    auto wf = avitest::pcmFormat(8000, 1);
    avitest::StreamPtr v = avitest::createStream(f.get(), avitest::videoInfo(25));
    avitest::StreamPtr a = avitest::createStream(f.get(), avitest::audioInfo(wf));
    auto fmt = avitest::dibFormat(16, 8, 24);
    EXPECT_EQ(win::AVIStreamSetFormat(v.get(), 0, fmt.data(), win::LONG(fmt.size())), win::AVIERR_OK);
    EXPECT_EQ(win::AVIStreamSetFormat(a.get(), 0, &wf, sizeof wf), win::AVIERR_OK);
    EXPECT_EQ(avitest::writeSample(v.get(), avitest::frameBytes(16 * 8 * 3, 0), true), win::AVIERR_OK);
    EXPECT_EQ(avitest::writeSample(a.get(), avitest::frameBytes(1600, 0), true, 800), win::AVIERR_OK);
    return p;
}

} // namespace

// Asking for the streams while no file is open raises every time and leaves no list behind; every
// change of the file interface (opening, creating, a new name, closing, another interface) lists anew.
TEST(KvAVIFile, StreamsAreListedAnewWheneverTheFileInterfaceChanges) {
    const auto clip = videoAndAudio("clip.avi");
    TKvAVIFile f(nullptr);
    EXPECT_THROW(f.GetStreamCount(), EKvAVIError);
    EXPECT_THROW(f.GetTypedStreamCount(stVideo), EKvAVIError);
    f.SetFileName(clip.string());
    f.OpenFile();
    EXPECT_EQ(f.GetStreamCount(), 2);
    EXPECT_EQ(f.GetTypedStreamCount(stVideo), 1);
    EXPECT_EQ(f.GetTypedStreamCount(stAudio), 1);

    f.CloseFile();
    EXPECT_THROW(f.GetStreamCount(), EKvAVIError);
    f.OpenFile();
    EXPECT_EQ(f.GetStreamCount(), 2);

    f.SetFileName((avitest::workDir() / "new.avi").string()); // closes the file
    EXPECT_THROW(f.GetStreamCount(), EKvAVIError);
    f.CreateFile();
    EXPECT_EQ(f.GetStreamCount(), 0); // the new file has no streams yet
    f.CloseFile();

    ThreeStreams other;
    f.SetPFile(&other.file);
    EXPECT_EQ(f.GetStreamCount(), 3);
    ThreeStreams third;
    third.file.streams.pop_back();
    f.SetPFile(&third.file);
    EXPECT_EQ(f.GetStreamCount(), 2);
    EXPECT_EQ(other.video1.refs, 1); // the first interface's streams were released
    f.CloseFile();                   // before the fake interfaces go out of scope
}

TEST(KvAVIFile, FileNameChangesCloseTheFileOnlyWhenTheNameDiffers) {
    ThreeStreams f;
    TKvAVIFile avi(nullptr);
    EXPECT_EQ(avi.GetOpenFlags(), win::OF_READ | win::OF_SHARE_EXCLUSIVE);
    avi.SetShareMode(smReadWrite);
    avi.SetAccessMode(amReadWrite);
    EXPECT_EQ(avi.GetOpenFlags(), 0x42u);
    avi.SetFileName("a.avi");
    avi.SetPFile(&f.file);
    avi.SetFileName("a.avi");
    EXPECT_TRUE(avi.Opened());
    avi.SetFileName("A.avi");
    EXPECT_FALSE(avi.Opened());
    EXPECT_EQ(f.file.refs, 1);
    EXPECT_THROW(avi.GetPFile(), EKvAVIError);
    EXPECT_THROW(avi.GetStreamCount(), EKvAVIError);
}

TEST(KvAVIStream, LengthFormatAndMissingInterfaceFailures) {
    FakeStream video(win::streamtypeVIDEO);
    video.format.assign(40, 0); // BITMAPINFOHEADER with biCompression BI_RGB
    video.format[0] = 40;
    auto* stream = new TKvAVIStream(&video);
    EXPECT_EQ(stream->GetFormatSize(0), 40);
    std::vector<std::uint8_t> buf(40);
    std::int32_t size = 40;
    stream->GetFormat(0, buf.data(), size);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&buf[16]), 4), "None");
    win::AVISTREAMINFOA info;
    stream->GetStreamInfo(info);
    EXPECT_EQ(info.fccHandler, win::mmioFOURCC('N', 'o', 'n', 'e'));
    video.length = -1;
    EXPECT_THROW(
        {
            try {
                stream->GetLength();
            } catch (const EKvAVIError& e) {
                EXPECT_EQ(e.Message(), "Failed to get length");
                throw;
            }
        },
        EKvAVIError);
    stream->Release();
    EXPECT_EQ(video.refs, 1);

    auto* empty = new TKvAVIStream();
    EXPECT_THROW(empty->GetLength(), EKvAVIError);
    empty->Release();
}

TEST(KvAVIVideoWorker, ReadingStateIsChecked) {
    FakeStream video(win::streamtypeVIDEO);
    auto* stream = new TKvAVIStream(&video);
    TKvAVIVideoWorker worker(stream);
    stream->Release(); // the worker keeps it alive
    try {
        worker.GetDIB(0);
        FAIL() << "GetDIB before BeginReading must raise";
    } catch (const EKvAVIError& e) {
        EXPECT_EQ(e.Message(), "Not reading now");
    }
    worker.EndReading();
    worker.EndReading();
    EXPECT_FALSE(worker.Reading());
    EXPECT_THROW(worker.GetDIB(0), EKvAVIError);
}
