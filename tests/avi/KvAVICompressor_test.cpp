// The compressor component: default options per stream type, the options kept in the registry and read
// back (malformed values refused without a change), saving with progress and abort, the dialogs' filter.
#include "avi/FakeAviFile.h"
#include "avi/KvAVI.h"
#include "core/KvUtils.h"
#include "platform/registry/Registry.h"
#include "platform/ui/WindowHandle.h"
#include "platform/vfw/AviSaveOptions.h"
#include "platform/vfw/AviWriteUtil.h"
#include "platform/win/GlobalMemory.h"
#include "support/ExceptionMessage.h"
#include "support/TestRegistry.h"

#include <fstream>
#include <gtest/gtest.h>

using namespace kv;
using testing_avi::FakeStream;

using testsupport::messageOf;

namespace {

const win::HKEY kRoot = win::HKEY_CURRENT_USER;
const char* const kKey = "Software\\Quillan\\Compressor";

struct Streams {
    FakeStream video{win::streamtypeVIDEO};
    FakeStream audio{win::streamtypeAUDIO};
    TKvAVIStream* v = new TKvAVIStream(&video);
    TKvAVIStream* a = new TKvAVIStream(&audio);
    Streams() {
        // A PCM wave format as the audio stream's format.
        win::WAVEFORMATEX wf = avitest::pcmFormat(8000, 1);
        audio.format.assign(reinterpret_cast<std::uint8_t*>(&wf), reinterpret_cast<std::uint8_t*>(&wf) + 18);
    }
    ~Streams() {
        v->Release();
        a->Release();
    }
};

void* block(std::vector<std::uint8_t> bytes) {
    void* p = win::GlobalAllocPtr(win::GPTR, bytes.size());
    std::memcpy(p, bytes.data(), bytes.size());
    return p;
}

std::vector<std::uint8_t> bytesOf(const void* p, std::size_t n) {
    auto* b = static_cast<const std::uint8_t*>(p);
    return p ? std::vector<std::uint8_t>(b, b + n) : std::vector<std::uint8_t>{};
}

std::vector<std::uint8_t> storedValue(const char* name = "opts") {
    std::int32_t size = GetFromRegistryBinary(kRoot, kKey, name, 0, nullptr);
    std::vector<std::uint8_t> v(static_cast<std::size_t>(std::max(size, 0)));
    if (size > 0) GetFromRegistryBinary(kRoot, kKey, name, size, v.data());
    return v;
}

} // namespace

TEST(KvAVICompressor, NewOptionsTakeTheDefaultsOfTheStreamType) {
    Streams s;
    FakeStream text(win::streamtypeTEXT);
    TKvAVIStream* t = new TKvAVIStream(&text);
    {
        TKvAVICompressor c(nullptr);
        c.AddStream(nullptr);
        EXPECT_EQ(c.GetStreamCount(), 0);
        EXPECT_EQ(c.GetOptions(0), nullptr);
        c.AddStream(s.v);
        c.AddStream(s.a);
        c.AddStream(t);
        EXPECT_EQ(s.v->RefCount(), 2);
        ASSERT_EQ(c.GetStreamCount(), 3);
        EXPECT_EQ(c.GetOptions(3), nullptr);

        const win::AVICOMPRESSOPTIONS& v = *c.GetOptions(0);
        EXPECT_EQ(v.fccType, win::streamtypeVIDEO);
        EXPECT_EQ(v.fccHandler, 0u);
        EXPECT_EQ(v.dwKeyFrameEvery, 7u);
        EXPECT_EQ(v.dwQuality, 0xFFFFFFFFu);
        EXPECT_EQ(v.dwBytesPerSecond, 60000u);
        EXPECT_EQ(v.dwFlags, 15u);
        EXPECT_EQ(v.dwInterleaveEvery, 5u);
        EXPECT_EQ(v.lpFormat, nullptr);

        const win::AVICOMPRESSOPTIONS& a = *c.GetOptions(1);
        EXPECT_EQ(a.dwFlags, 9u);
        EXPECT_EQ(a.dwInterleaveEvery, 5u);
        EXPECT_EQ(a.dwKeyFrameEvery, 0u);
        ASSERT_EQ(a.cbFormat, 18u);
        EXPECT_EQ(bytesOf(a.lpFormat, a.cbFormat), s.audio.format);
        EXPECT_NE(win::GlobalHandle(a.lpFormat), nullptr); // a block of the global heap

        const win::AVICOMPRESSOPTIONS& o = *c.GetOptions(2);
        EXPECT_EQ(o.fccType, win::streamtypeTEXT);
        EXPECT_EQ(o.dwFlags, 0u);
        EXPECT_EQ(o.dwInterleaveEvery, 0u);
    }
    EXPECT_EQ(s.v->RefCount(), 1); // the compressor let go of its references
    EXPECT_EQ(t->RefCount(), 1);
    t->Release();
}

// A stream whose options cannot be made is not kept: stream i and record i stay together.
TEST(KvAVICompressor, AStreamWithoutOptionsIsNotKept) {
    Streams s;
    TKvAVIStream* closed = new TKvAVIStream;
    TKvAVICompressor c(nullptr);
    EXPECT_EQ(messageOf([&] { c.AddStream(closed); }), "Stream not opened");
    EXPECT_EQ(c.GetStreamCount(), 0);
    EXPECT_EQ(closed->RefCount(), 1);
    c.AddStream(s.a);
    EXPECT_EQ(c.GetStreams(0), s.a);
    EXPECT_EQ(c.GetOptions(0)->fccType, win::streamtypeAUDIO);
    closed->Release();
}

TEST(KvAVICompressor, OptionsOfVideoAndAudioSurviveTheRegistry) {
    testsupport::freshRegistry();
    Streams s;
    const std::vector<std::uint8_t> videoFormat(40, 0x5A), parms = {1, 2, 3, 4, 5};
    {
        TKvAVICompressor c(nullptr);
        c.SaveOptionsToRegistry(kRoot, kKey, "opts"); // no records: nothing written
        EXPECT_TRUE(storedValue().empty());
        c.AddStream(s.v);
        c.AddStream(s.a);
        win::AVICOMPRESSOPTIONS& v = *c.GetOptions(0);
        v.fccHandler = win::mmioFOURCC('M', 'J', 'P', 'G');
        v.dwQuality = 8000;
        v.dwKeyFrameEvery = 12;
        v.lpFormat = block(videoFormat);
        v.cbFormat = 40;
        v.lpParms = block(parms);
        v.cbParms = 5;
        c.GetOptions(1)->dwInterleaveEvery = 3;
        c.SaveOptionsToRegistry(kRoot, kKey, "opts");
    }
    // The value: each record's 44 bytes with the pointer fields 0, its format data, then its parameters.
    const std::vector<std::uint8_t> value = storedValue();
    ASSERT_EQ(value.size(), 44u + 40 + 5 + 44 + 18);
    auto u32At = [&](std::size_t at) {
        win::DWORD d;
        std::memcpy(&d, &value[at], 4);
        return d;
    };
    EXPECT_EQ(u32At(4), win::mmioFOURCC('M', 'J', 'P', 'G'));
    EXPECT_EQ(u32At(24), 0u);
    EXPECT_EQ(u32At(28), 40u);
    EXPECT_EQ(u32At(32), 0u);
    EXPECT_EQ(u32At(36), 5u);
    EXPECT_EQ(value[44], 0x5A);
    EXPECT_EQ(value[84], 1);
    EXPECT_EQ(u32At(89), win::streamtypeAUDIO);
    EXPECT_EQ(u32At(89 + 40), 3u);

    TKvAVICompressor back(nullptr);
    EXPECT_FALSE(back.LoadOptionsFromRegistry(kRoot, kKey, "opts")); // no records to fill
    back.AddStream(s.v);
    back.AddStream(s.a);
    EXPECT_FALSE(back.LoadOptionsFromRegistry(kRoot, kKey, "absent"));
    EXPECT_EQ(back.GetOptions(0)->fccHandler, 0u);
    ASSERT_TRUE(back.LoadOptionsFromRegistry(kRoot, kKey, "opts"));
    const win::AVICOMPRESSOPTIONS& v = *back.GetOptions(0);
    EXPECT_EQ(v.fccHandler, win::mmioFOURCC('M', 'J', 'P', 'G'));
    EXPECT_EQ(v.dwQuality, 8000u);
    EXPECT_EQ(v.dwKeyFrameEvery, 12u);
    EXPECT_EQ(bytesOf(v.lpFormat, v.cbFormat), videoFormat);
    EXPECT_EQ(bytesOf(v.lpParms, v.cbParms), parms);
    EXPECT_NE(win::GlobalHandle(v.lpParms), nullptr);
    const win::AVICOMPRESSOPTIONS& a = *back.GetOptions(1);
    EXPECT_EQ(a.dwInterleaveEvery, 3u);
    EXPECT_EQ(bytesOf(a.lpFormat, a.cbFormat), s.audio.format);
    EXPECT_EQ(a.lpParms, nullptr);
}

// Stored records go to the first stream of their type; records of a type no stream has are passed over.
TEST(KvAVICompressor, StoredRecordsLandOnTheFirstStreamOfTheirType) {
    testsupport::freshRegistry();
    Streams s;
    FakeStream video2(win::streamtypeVIDEO);
    TKvAVIStream* v2 = new TKvAVIStream(&video2);
    {
        TKvAVICompressor c(nullptr);
        c.AddStream(s.a);
        c.AddStream(s.v);
        c.AddStream(v2);
        c.GetOptions(1)->dwQuality = 1111;
        c.GetOptions(2)->dwQuality = 2222; // stored after the first: it wins on the first video stream
        c.SaveOptionsToRegistry(kRoot, kKey, "opts");
    }
    TKvAVICompressor c(nullptr);
    c.AddStream(s.v);
    c.AddStream(v2);
    ASSERT_TRUE(c.LoadOptionsFromRegistry(kRoot, kKey, "opts"));
    EXPECT_EQ(c.GetOptions(0)->dwQuality, 2222u);
    EXPECT_EQ(c.GetOptions(1)->dwQuality, 0xFFFFFFFFu);
    v2->Release();
}

// Values whose records or data reach past their end are refused and change nothing.
TEST(KvAVICompressor, MalformedValuesAreRefusedWithoutAChange) {
    testsupport::freshRegistry();
    Streams s;
    TKvAVICompressor c(nullptr);
    c.AddStream(s.v);
    c.AddStream(s.a);
    c.SaveOptionsToRegistry(kRoot, kKey, "good");
    const std::vector<std::uint8_t> good = storedValue("good");
    ASSERT_EQ(good.size(), 44u + 44 + 18);
    auto withU32 = [&](std::size_t at, win::DWORD value) {
        auto v = good;
        std::memcpy(&v[at], &value, 4);
        return v;
    };
    struct Case {
        const char* what;
        std::vector<std::uint8_t> value;
    } cases[] = {
        {"shorter than one record", std::vector<std::uint8_t>(good.begin(), good.begin() + 43)},
        {"second record cut short", std::vector<std::uint8_t>(good.begin(), good.begin() + 60)},
        {"audio format cut short", std::vector<std::uint8_t>(good.begin(), good.end() - 1)},
        {"format length past the end", withU32(28, 1000)},
        {"format length near 4 GB", withU32(28, 0xFFFFFFFF)},
        {"parameter length past the end", withU32(44 + 36, 19)},
        {"one byte too many",
         [&] {
             auto v = good;
             v.push_back(0);
             return v;
         }()},
    };
    win::AVICOMPRESSOPTIONS* before[2] = {c.GetOptions(0), c.GetOptions(1)};
    const auto videoBefore = bytesOf(before[0], sizeof(win::AVICOMPRESSOPTIONS));
    const auto audioBefore = bytesOf(before[1], sizeof(win::AVICOMPRESSOPTIONS));
    for (const Case& k : cases) {
        SaveInRegistryBinary(kRoot, kKey, "bad", std::int32_t(k.value.size()), k.value.data());
        EXPECT_FALSE(c.LoadOptionsFromRegistry(kRoot, kKey, "bad")) << k.what;
        EXPECT_EQ(bytesOf(c.GetOptions(0), sizeof(win::AVICOMPRESSOPTIONS)), videoBefore) << k.what;
        EXPECT_EQ(bytesOf(c.GetOptions(1), sizeof(win::AVICOMPRESSOPTIONS)), audioBefore) << k.what;
    }
    // The stored-form parser agrees on each, and reads the good value back to the same bytes.
    std::vector<StoredAviOptions> parsed;
    for (const Case& k : cases)
        EXPECT_FALSE(aviOptionsFromBytes(k.value.data(), k.value.size(), parsed)) << k.what;
    ASSERT_TRUE(aviOptionsFromBytes(good.data(), good.size(), parsed));
    ASSERT_EQ(parsed.size(), 2u);
    EXPECT_EQ(parsed[1].format, s.audio.format);
}

namespace {

// 8 frames of 64x48 24-bit video at 25 frames a second with PCM audio beside it.
std::filesystem::path saveSource() {
    static const std::filesystem::path path = [] {
        auto p = avitest::workDir() / "compressor-source.avi";
        avitest::FilePtr f = avitest::createFile(p);
        auto wf = avitest::pcmFormat(8000, 1);
        avitest::StreamPtr v = avitest::createStream(f.get(), avitest::videoInfo(25));
        avitest::StreamPtr a = avitest::createStream(f.get(), avitest::audioInfo(wf));
        auto fmt = avitest::dibFormat(64, 48, 24);
        EXPECT_EQ(win::AVIStreamSetFormat(v.get(), 0, fmt.data(), win::LONG(fmt.size())), win::AVIERR_OK);
        EXPECT_EQ(win::AVIStreamSetFormat(a.get(), 0, &wf, sizeof wf), win::AVIERR_OK);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(avitest::writeSample(v.get(), avitest::frameBytes(64 * 48 * 3, i), i % 4 == 0),
                      win::AVIERR_OK);
        EXPECT_EQ(avitest::writeSample(a.get(), avitest::frameBytes(2560 * 2, 0), true, 2560),
                  win::AVIERR_OK);
        return p;
    }();
    return path;
}

struct SaveRun {
    std::vector<int> percents;
    bool targetAtLastCall = false; // whether the file was in place when OnSave was last called
    bool result = false;
};

SaveRun saveWith(const std::filesystem::path& target, int abortAt) {
    TKvAVIFile file(nullptr);
    file.SetFileName(saveSource());
    file.OpenFile();
    TKvAVICompressor c(nullptr);
    c.AddFile(&file);
    SaveRun run;
    c.OnSave = [&](host::TObject* sender, int percent, bool& abort) {
        EXPECT_EQ(sender, &c);
        run.percents.push_back(percent);
        run.targetAtLastCall = std::filesystem::exists(target);
        abort = abortAt >= 0 && percent >= abortAt;
    };
    run.result = c.SaveToFile(target);
    return run;
}

} // namespace

TEST(KvAVICompressor, SavingReportsProgressAndEndsWithAHundred) {
    const auto target = avitest::workDir() / "compressor-saved.avi";
    std::filesystem::remove(target);
    SaveRun run = saveWith(target, -1);
    ASSERT_TRUE(run.result);
    ASSERT_GE(run.percents.size(), 2u);
    EXPECT_TRUE(std::is_sorted(run.percents.begin(), run.percents.end()));
    EXPECT_EQ(run.percents.back(), 100);
    EXPECT_TRUE(run.targetAtLastCall); // the closing hundred comes when the file is complete
    // Every stream of the source, copied.
    TKvAVIFile back(nullptr);
    back.SetFileName(target);
    back.OpenFile();
    ASSERT_EQ(back.GetStreamCount(), 2);
    EXPECT_EQ(back.GetTypedStreams(stVideo, 0)->GetLength(), 8);
    EXPECT_EQ(back.GetTypedStreams(stAudio, 0)->GetLength(), 2560);
    EXPECT_EQ(back.GetTypedStreams(stVideo, 0)->NextKeyFrame(0), 4);
}

TEST(KvAVICompressor, AnAbortedSaveReturnsFalseAndLeavesTheTargetAlone) {
    const auto target = avitest::workDir() / "compressor-aborted.avi";
    { std::ofstream(target) << "keep me"; }
    SaveRun run = saveWith(target, 50);
    EXPECT_FALSE(run.result);
    ASSERT_FALSE(run.percents.empty());
    EXPECT_GE(run.percents.back(), 50);
    EXPECT_NE(run.percents.back(), 100); // no closing hundred after an abort
    std::ifstream in(target);
    std::string kept;
    std::getline(in, kept);
    EXPECT_EQ(kept, "keep me");
}

TEST(KvAVICompressor, SaveFailures) {
    TKvAVICompressor empty(nullptr);
    EXPECT_EQ(messageOf([&] { empty.SaveToFile(avitest::workDir() / "nothing.avi"); }), "No data to save");

    TKvAVIFile file(nullptr);
    file.SetFileName(saveSource());
    file.OpenFile();
    TKvAVICompressor c(nullptr);
    c.AddFile(&file);
    // An exception of the event ends the save and reaches the caller.
    c.OnSave = [](host::TObject*, int, bool&) { throw host::EInvalidOperation("stop here"); };
    const auto target = avitest::workDir() / "compressor-threw.avi";
    std::filesystem::remove(target);
    EXPECT_EQ(messageOf([&] { c.SaveToFile(target); }), "stop here");
    EXPECT_FALSE(std::filesystem::exists(target));
    // A folder that does not exist cannot take the file.
    c.OnSave = nullptr;
    EXPECT_EQ(messageOf([&] { c.SaveToFile(avitest::workDir() / "no-such-folder" / "x.avi"); }).substr(0, 10),
              "AVI error ");
}

TEST(KvAVIFilter, NulListsBecomeBarSeparatedFilters) {
    struct Case {
        std::string list, want;
    } cases[] = {
        {std::string("A\0*.a\0B\0*.b\0\0", 14), "A|*.a|B|*.b"},
        {std::string("\0\0", 2), ""},
        {std::string("Only\0*.o\0\0junk\0\0", 16), "Only|*.o"},
        {std::string("cut\0*.c", 7), "cut|*.c"}, // no closing NUL within the buffer
    };
    for (const Case& c : cases)
        EXPECT_EQ(filterFromNulList(c.list.data(), c.list.size()), c.want);
    for (bool saving : {false, true}) {
        const std::string filter = BuildFilter(saving);
        EXPECT_NE(filter.find("*.avi"), std::string::npos) << filter;
        EXPECT_NE(filter.back(), '|') << filter;
        EXPECT_EQ(filter.find('\0'), std::string::npos);
    }
}

namespace {

// A component with a window of its own, as the windowed controls are.
struct WindowedOwner : host::TComponent, host::IWindowHandle {
    WindowedOwner() : host::TComponent(nullptr) {}
    win::HWND GetHandle() override { return reinterpret_cast<win::HWND>(std::uintptr_t(0x4711)); }
};

// Answers the options dialog in the test's place and records what it was asked.
struct DialogStandIn {
    win::HWND owner = nullptr;
    win::UINT flags = 0;
    int streams = -1;
    win::INT_PTR answer = 1;
    win::AviSaveOptionsFunction previous;
    DialogStandIn() {
        previous = win::SetSaveOptionsHandler(
            [this](win::HWND o, win::UINT f, int n, win::PAVISTREAM*, win::LPAVICOMPRESSOPTIONS* options) {
                owner = o;
                flags = f;
                streams = n;
                if (answer) options[0]->fccHandler = win::mmioFOURCC('M', 'J', 'P', 'G');
                return answer;
            });
    }
    ~DialogStandIn() { win::SetSaveOptionsHandler(previous); }
};

} // namespace

TEST(KvAVICompressor, ChooseOptionsAsksOverTheOwnerWindowWithTheChosenFields) {
    Streams s;
    DialogStandIn dialog;
    WindowedOwner windowed;
    auto* c = new TKvAVICompressor(&windowed); // freed by its owner
    c->AddStream(s.v);
    c->AddStream(s.a);
    struct Case {
        bool keyFrame, dataRate, preview;
        win::UINT flags;
    } cases[] = {
        {false, false, false, 0},
        {true, false, false, win::ICMF_CHOOSE_KEYFRAME},
        {false, true, true, win::ICMF_CHOOSE_DATARATE | win::ICMF_CHOOSE_PREVIEW},
        {true, true, true, 7},
    };
    for (const Case& k : cases) {
        c->SetChooseKeyFrame(k.keyFrame);
        c->SetChooseDataRate(k.dataRate);
        c->SetChoosePreview(k.preview);
        ASSERT_TRUE(c->ChooseOptions());
        EXPECT_EQ(dialog.flags, k.flags);
        EXPECT_EQ(dialog.streams, 2);
        EXPECT_EQ(dialog.owner, windowed.GetHandle()); // the owner's window, none having been set
    }
    EXPECT_EQ(c->GetOptions(0)->fccHandler, win::mmioFOURCC('M', 'J', 'P', 'G'));
    c->SetOwnerHandle(reinterpret_cast<win::HWND>(std::uintptr_t(0x99)));
    dialog.answer = 0; // cancelled
    c->GetOptions(0)->fccHandler = 0;
    EXPECT_FALSE(c->ChooseOptions());
    EXPECT_EQ(dialog.owner, c->GetOwnerHandle());
    EXPECT_EQ(c->GetOptions(0)->fccHandler, 0u);
}

TEST(KvAVICompressor, AnOwnerWithoutAWindowIsAnInvalidCast) {
    Streams s;
    DialogStandIn dialog;
    host::TComponent plain(nullptr);
    auto* c = new TKvAVICompressor(&plain);
    c->AddStream(s.v);
    EXPECT_THROW(c->ChooseOptions(), host::EInvalidCast);
    EXPECT_EQ(dialog.streams, -1); // never asked
    TKvAVICompressor ownerless(nullptr);
    ownerless.AddStream(s.v);
    EXPECT_TRUE(ownerless.ChooseOptions());
    EXPECT_EQ(dialog.owner, nullptr);
}
