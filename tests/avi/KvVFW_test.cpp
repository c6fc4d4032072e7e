// The binding unit: chunk ids, record layouts, key-frame tests, the DrawDib update and the messages that
// the MCI window and capture window helpers send.
#include "avi/KvVFW.h"

#include "support/GdiCanvas.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

using namespace kv;
using win::HWND;
using win::LPARAM;
using win::UINT;
using win::WPARAM;

namespace {

std::string bytesOf(win::FOURCC fcc) {
    return std::string{char(fcc), char(fcc >> 8), char(fcc >> 16), char(fcc >> 24)};
}

TEST(KvVFWChunkIds, BuildAndTakeApartChunkIds) {
    static_assert(mmioFOURCC('v', 'i', 'd', 's') == 0x73646976);
    static_assert(MKFOURCC('v', 'i', 'd', 's') == 0x73646976);
    static_assert(aviTWOCC('d', 'b') == 0x6264);
    const struct {
        win::WORD twocc;
        int stream;
        const char* bytes;
        int streamBack;
    } cases[] = {
        {aviTWOCC('d', 'b'), 1, "01db", 1},
        {aviTWOCC('w', 'b'), 0x1A, "1Awb", 0x1A},
        {aviTWOCC('d', 'c'), 0, "00dc", 0},
        {aviTWOCC('p', 'c'), 0xFF, "FFpc", 0xFF},
        // Only the low byte of the stream number is encoded; it never spills into the two-character code.
        {aviTWOCC('d', 'b'), 0x1F3, "F3db", 0xF3},
    };
    for (const auto& c : cases) {
        const win::FOURCC id = MAKEAVICKID(c.twocc, c.stream);
        EXPECT_EQ(bytesOf(id), c.bytes) << c.bytes;
        EXPECT_EQ(StreamFromFOURCC(id), c.streamBack) << c.bytes;
        EXPECT_EQ(TWOCCFromFOURCC(id), c.twocc) << c.bytes;
    }
    for (int n = 0; n < 16; ++n)
        EXPECT_EQ(FromHex(ToHex(n)), n);
    EXPECT_EQ(ToHex(10), 'A');
}

TEST(KvVFWRecords, SizesAreThoseOfThePlatform64BitLayouts) {
    const struct {
        const char* name;
        std::size_t size, expected;
    } records[] = {
        {"TAVISTREAMINFOA", sizeof(TAVISTREAMINFOA), 140},
        {"TAVISTREAMINFOW", sizeof(TAVISTREAMINFOW), 204},
        {"TAVIFILEINFOA", sizeof(TAVIFILEINFOA), 108},
        {"TAVIFILEINFOW", sizeof(TAVIFILEINFOW), 172},
        {"TAVICOMPRESSOPTIONS", sizeof(TAVICOMPRESSOPTIONS), 56},
        {"TVIDEOHDR", sizeof(TVIDEOHDR), 72},
        {"TCAPDRIVERCAPS", sizeof(TCAPDRIVERCAPS), 64},
        {"TCAPSTATUS", sizeof(TCAPSTATUS), 80},
        {"TCAPTUREPARMS", sizeof(TCAPTUREPARMS), 96},
        {"TCAPINFOCHUNK", sizeof(TCAPINFOCHUNK), 24},
    };
    for (const auto& r : records)
        EXPECT_EQ(r.size, r.expected) << r.name;
    EXPECT_EQ(offsetof(TAVISTREAMINFOW, szName), offsetof(TAVISTREAMINFOA, szName));
    EXPECT_EQ(offsetof(TAVIFILEINFOW, szFileType), offsetof(TAVIFILEINFOA, szFileType));
}

// Key frames at 0, 4 and 8 of 10 samples.
struct KeyStream : win::IAVIStream {
    std::set<win::LONG> keys{0, 4, 8};
    win::ULONG AddRef() override { return 1; }
    win::ULONG Release() override { return 1; }
    win::HRESULT Info(win::AVISTREAMINFOA*, win::LONG) override { return 0; }
    win::LONG FindSample(win::LONG pos, win::LONG flags) override {
        if (pos < 0 || pos >= 10) return -1;
        if (!(flags & win::FIND_KEY)) return pos;
        if (flags & win::FIND_PREV) {
            auto it = keys.upper_bound(pos);
            return it == keys.begin() ? -1 : *std::prev(it);
        }
        auto it = keys.lower_bound(pos);
        return it == keys.end() ? -1 : *it;
    }
    win::HRESULT ReadFormat(win::LONG, win::LPVOID, win::LONG*) override { return 0; }
    win::HRESULT Read(win::LONG, win::LONG, win::LPVOID, win::LONG, win::LONG*, win::LONG*) override {
        return 0;
    }
    win::LONG Start() override { return 0; }
    win::LONG Length() override { return 10; }
};

TEST(KvVFWStreamPositions, KeyFrameTestsAnswerAllBitsForTrue) {
    KeyStream s;
    const struct {
        win::LONG pos;
        win::BOOL isKey;
        win::LONG nearest, prev, next;
    } cases[] = {{0, -1, 0, -1, 4}, {3, 0, 0, 0, 4}, {4, -1, 4, 0, 8}, {9, 0, 8, 8, -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(kv::AVIStreamIsKeyFrame(&s, c.pos), c.isKey) << c.pos;
        EXPECT_EQ(AVIStreamNearestKeyFrame(&s, c.pos), c.nearest) << c.pos;
        EXPECT_EQ(AVIStreamPrevKeyFrame(&s, c.pos), c.prev) << c.pos;
        EXPECT_EQ(AVIStreamNextKeyFrame(&s, c.pos), c.next) << c.pos;
    }
    EXPECT_EQ(AVIStreamEnd(&s), 10);
    EXPECT_TRUE(win::AVIStreamIsKeyFrame(&s, 4)) << "the platform's own form stays a plain bool";
}

// A window whose procedure records every message and answers `answer`.
struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Received> g_received;
win::LRESULT g_answer = 0;

win::LRESULT recordingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == win::WM_NCCREATE || m == win::WM_CREATE || m == win::WM_DESTROY || m == win::WM_NCDESTROY)
        return win::DefWindowProcA(w, m, wp, lp);
    g_received.push_back({m, wp, lp});
    return g_answer;
}

class KvVFWMessages : public ::testing::Test {
  protected:
    void SetUp() override {
        static const win::ATOM atom = [] {
            win::WNDCLASSA c{};
            c.lpfnWndProc = &recordingProc;
            c.lpszClassName = "KvVFWRecorder";
            return win::RegisterClassA(&c);
        }();
        ASSERT_NE(atom, 0);
        window = win::CreateWindowExA(0, "KvVFWRecorder", nullptr, 0, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                      nullptr);
        ASSERT_TRUE(window);
        g_received.clear();
        g_answer = 7;
    }
    void TearDown() override {
        if (win::IsWindow(window)) win::DestroyWindow(window);
    }
    HWND window = nullptr;
};

struct SendCase {
    const char* name;
    std::function<win::LRESULT(HWND)> call;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    win::LRESULT result; // with the window answering 7
};

char g_buffer[16];
win::RECT g_rect;
win::POINT g_point;
TCAPSTATUS g_status;
TCAPTUREPARMS g_parms;
TCAPINFOCHUNK g_chunk;
win::WAVEFORMATEX g_wave;
win::LRESULT errorCallback(HWND, int, win::LPCSTR) {
    return 0;
}
constexpr UINT U = 0x0400; // the first user message number

LPARAM at(const void* p) {
    return reinterpret_cast<LPARAM>(p);
}

const std::vector<SendCase>& mciCases() {
    static const std::vector<SendCase> cases = {
        {"CanPlay", [](HWND w) { return MCIWndCanPlay(w); }, U + 144, 0, 0, -1},
        {"CanConfig", [](HWND w) { return MCIWndCanConfig(w); }, U + 149, 0, 0, -1},
        {"PaletteKick", [](HWND w) { return MCIWndPaletteKick(w); }, U + 150, 0, 0, -1},
        {"Save", [](HWND w) { return MCIWndSave(w, g_buffer); }, 0x0813, 0, at(g_buffer), 7},
        {"SaveDialog", [](HWND w) { return MCIWndSaveDialog(w); }, 0x0813, 0, -1, 7},
        {"Open", [](HWND w) { return MCIWndOpen(w, g_buffer, 3); }, U + 153, 3, at(g_buffer), 7},
        {"OpenDialog", [](HWND w) { return MCIWndOpenDialog(w); }, U + 153, 0, -1, 7},
        {"New", [](HWND w) { return MCIWndNew(w, g_buffer); }, U + 134, 0, at(g_buffer), 7},
        {"Record", [](HWND w) { return MCIWndRecord(w); }, 0x080F, 0, 0, 7},
        {"Close", [](HWND w) { return MCIWndClose(w); }, 0x0804, 0, 0, 7},
        {"Play", [](HWND w) { return MCIWndPlay(w); }, 0x0806, 0, 0, 7},
        {"Stop", [](HWND w) { return MCIWndStop(w); }, 0x0808, 0, 0, 7},
        {"Pause", [](HWND w) { return MCIWndPause(w); }, 0x0809, 0, 0, 7},
        {"Resume", [](HWND w) { return MCIWndResume(w); }, 0x0855, 0, 0, 7},
        {"Seek", [](HWND w) { return MCIWndSeek(w, 25); }, 0x0807, 0, 25, 7},
        {"Home", [](HWND w) { return MCIWndHome(w); }, 0x0807, 0, -1, 7},
        {"End", [](HWND w) { return MCIWndEnd(w); }, 0x0807, 0, -2, 7},
        {"Eject", [](HWND w) { return MCIWndEject(w); }, U + 107, 0, 0, 7},
        {"PutDest", [](HWND w) { return MCIWndPutDest(w, &g_rect); }, U + 143, 0, at(&g_rect), 7},
        {"GetSource", [](HWND w) { return MCIWndGetSource(w, &g_rect); }, U + 140, 0, at(&g_rect), 7},
        {"PlayFrom", [](HWND w) { return MCIWndPlayFrom(w, 5); }, U + 122, 0, 5, 7},
        {"PlayReverse", [](HWND w) { return MCIWndPlayReverse(w); }, U + 139, 0, 0, 7},
        {"GetDeviceID", [](HWND w) { return MCIWndGetDeviceID(w); }, U + 100, 0, 0, 7},
        {"GetMode", [](HWND w) { return MCIWndGetMode(w, g_buffer, 16); }, U + 106, 16, at(g_buffer), 7},
        {"GetPositionString", [](HWND w) { return MCIWndGetPositionString(w, g_buffer, 9); }, U + 102, 9,
         at(g_buffer), 7},
        {"GetPosition", [](HWND w) { return MCIWndGetPosition(w); }, U + 102, 0, 0, 7},
        {"Step", [](HWND w) { return MCIWndStep(w, -3); }, 0x080E, 0, -3, 7},
        {"Destroy", [](HWND w) { return (MCIWndDestroy(w), 0); }, 0x0010, 0, 0, 0},
        {"SetZoom", [](HWND w) { return (MCIWndSetZoom(w, 200), 0); }, U + 108, 0, 200, 0},
        {"SetVolume", [](HWND w) { return MCIWndSetVolume(w, 500); }, U + 110, 0, 500, 7},
        {"GetSpeed", [](HWND w) { return MCIWndGetSpeed(w); }, U + 113, 0, 0, 7},
        {"GetTimeFormat", [](HWND w) { return MCIWndGetTimeFormat(w, g_buffer, 8); }, U + 120, 8,
         at(g_buffer), 7},
        {"SetRepeat", [](HWND w) { return (MCIWndSetRepeat(w, -1), 0); }, U + 114, 0, -1, 0},
        {"GetRepeat", [](HWND w) { return MCIWndGetRepeat(w); }, U + 115, 0, 0, -1},
        {"SetTimers", [](HWND w) { return (MCIWndSetTimers(w, 100, 500), 0); }, U + 129, 100, 500, 0},
        {"SetInactiveTimer", [](HWND w) { return (MCIWndSetInactiveTimer(w, 900), 0); }, U + 131, 900, 0, 0},
        {"GetActiveTimer", [](HWND w) { return MCIWndGetActiveTimer(w); }, U + 132, 0, 0, 7},
        {"Realize", [](HWND w) { return MCIWndRealize(w, 1); }, U + 118, 1, 0, 7},
        {"SendString", [](HWND w) { return MCIWndSendString(w, g_buffer); }, U + 101, 0, at(g_buffer), 7},
        {"ReturnString", [](HWND w) { return MCIWndReturnString(w, g_buffer, 12); }, U + 138, 12,
         at(g_buffer), 7},
        {"GetError", [](HWND w) { return MCIWndGetError(w, g_buffer, 4); }, U + 128, 4, at(g_buffer), 7},
        {"SetPalette", [](HWND w) { return MCIWndSetPalette(w, reinterpret_cast<win::HPALETTE>(0x40)); },
         U + 127, 0x40, 0, 7},
        {"GetFileName", [](HWND w) { return MCIWndGetFileName(w, g_buffer, 16); }, U + 124, 16, at(g_buffer),
         7},
        {"GetDevice", [](HWND w) { return MCIWndGetDevice(w, g_buffer, 16); }, U + 125, 16, at(g_buffer), 7},
        {"ChangeStyles", [](HWND w) { return MCIWndChangeStyles(w, 0xF0, 0x30); }, U + 135, 0xF0, 0x30, 7},
        {"OpenInterface", [](HWND w) { return MCIWndOpenInterface(w, g_buffer); }, U + 151, 0, at(g_buffer),
         7},
        {"SetOwner", [](HWND w) { return MCIWndSetOwner(w, reinterpret_cast<HWND>(0x50)); }, U + 152, 0x50, 0,
         7},
    };
    return cases;
}

const std::vector<SendCase>& capCases() {
    static const std::vector<SendCase> cases = {
        {"SetCallbackOnError", [](HWND w) { return capSetCallbackOnError(w, &errorCallback); }, U + 2, 0,
         reinterpret_cast<LPARAM>(&errorCallback), -1},
        {"SetCallbackOnCapControl", [](HWND w) { return capSetCallbackOnCapControl(w, nullptr); }, U + 85, 0,
         0, -1},
        {"SetUserData", [](HWND w) { return capSetUserData(w, 99); }, U + 9, 0, 99, -1},
        {"GetUserData", [](HWND w) { return capGetUserData(w); }, U + 8, 0, 0, 7},
        {"DriverConnect", [](HWND w) { return capDriverConnect(w, 2); }, U + 10, 2, 0, -1},
        {"DriverGetName", [](HWND w) { return capDriverGetName(w, g_buffer, 16); }, U + 12, 16, at(g_buffer),
         -1},
        {"FileSetCaptureFile", [](HWND w) { return capFileSetCaptureFile(w, g_buffer); }, U + 20, 0,
         at(g_buffer), -1},
        {"FileAlloc", [](HWND w) { return capFileAlloc(w, 1000000); }, U + 22, 0, 1000000, -1},
        {"FileSetInfoChunk", [](HWND w) { return capFileSetInfoChunk(w, &g_chunk); }, U + 24, 0, at(&g_chunk),
         -1},
        {"FileSaveDIB", [](HWND w) { return capFileSaveDIB(w, g_buffer); }, U + 25, 0, at(g_buffer), -1},
        {"EditCopy", [](HWND w) { return capEditCopy(w); }, U + 30, 0, 0, -1},
        {"SetAudioFormat", [](HWND w) { return capSetAudioFormat(w, &g_wave, 18); }, U + 35, 18, at(&g_wave),
         -1},
        {"GetAudioFormatSize", [](HWND w) { return capGetAudioFormatSize(w); }, U + 36, 0, 0, 7},
        {"DlgVideoCompression", [](HWND w) { return capDlgVideoCompression(w); }, U + 46, 0, 0, -1},
        {"GetVideoFormat", [](HWND w) { return capGetVideoFormat(w, g_buffer, 16); }, U + 44, 16,
         at(g_buffer), 7},
        {"Preview", [](HWND w) { return capPreview(w, 1); }, U + 50, 1, 0, -1},
        {"PreviewRate", [](HWND w) { return capPreviewRate(w, 66); }, U + 52, 66, 0, -1},
        {"PreviewScale", [](HWND w) { return capPreviewScale(w, 0); }, U + 53, 0, 0, -1},
        {"GetStatus", [](HWND w) { return capGetStatus(w, &g_status, sizeof g_status); }, U + 54,
         sizeof(TCAPSTATUS), at(&g_status), -1},
        {"SetScrollPos", [](HWND w) { return capSetScrollPos(w, &g_point); }, U + 55, 0, at(&g_point), -1},
        {"GrabFrameNoStop", [](HWND w) { return capGrabFrameNoStop(w); }, U + 61, 0, 0, -1},
        {"CaptureSequenceNoFile", [](HWND w) { return capCaptureSequenceNoFile(w); }, U + 63, 0, 0, -1},
        {"CaptureStop", [](HWND w) { return capCaptureStop(w); }, U + 68, 0, 0, -1},
        {"CaptureAbort", [](HWND w) { return capCaptureAbort(w); }, U + 69, 0, 0, -1},
        {"CaptureSingleFrame", [](HWND w) { return capCaptureSingleFrame(w); }, U + 72, 0, 0, -1},
        {"CaptureSetSetup", [](HWND w) { return capCaptureSetSetup(w, &g_parms, sizeof g_parms); }, U + 64,
         sizeof(TCAPTUREPARMS), at(&g_parms), -1},
        {"CaptureGetSetup", [](HWND w) { return capCaptureGetSetup(w, &g_parms, sizeof g_parms); }, U + 65,
         sizeof(TCAPTUREPARMS), at(&g_parms), -1},
        {"GetMCIDeviceName", [](HWND w) { return capGetMCIDeviceName(w, g_buffer, 16); }, U + 67, 16,
         at(g_buffer), -1},
        {"PaletteSave", [](HWND w) { return capPaletteSave(w, g_buffer); }, U + 81, 0, at(g_buffer), -1},
        {"PaletteAuto", [](HWND w) { return capPaletteAuto(w, 10, 236); }, U + 83, 10, 236, -1},
        {"PaletteManual", [](HWND w) { return capPaletteManual(w, 1, 256); }, U + 84, 1, 256, -1},
    };
    return cases;
}

void expectSent(HWND window, const std::vector<SendCase>& cases) {
    for (const SendCase& c : cases) {
        g_received.clear();
        EXPECT_EQ(c.call(window), c.result) << c.name;
        ASSERT_EQ(g_received.size(), 1u) << c.name;
        EXPECT_EQ(g_received[0].message, c.message) << c.name;
        EXPECT_EQ(g_received[0].wParam, c.wParam) << c.name;
        EXPECT_EQ(g_received[0].lParam, c.lParam) << c.name;
    }
}

TEST_F(KvVFWMessages, MciWindowHelpersSendTheirMessages) {
    expectSent(window, mciCases());

    // The composite forms: seek then play, and the time formats by name.
    g_received.clear();
    EXPECT_EQ(MCIWndPlayFromTo(window, 10, 20), 7);
    ASSERT_EQ(g_received.size(), 2u);
    EXPECT_EQ(g_received[0].message, win::MCI_SEEK);
    EXPECT_EQ(g_received[0].lParam, 10);
    EXPECT_EQ(g_received[1].message, win::MCIWNDM_PLAYTO);
    EXPECT_EQ(g_received[1].lParam, 20);
    g_received.clear();
    MCIWndUseFrames(window);
    MCIWndUseTime(window);
    ASSERT_EQ(g_received.size(), 2u);
    EXPECT_STREQ(reinterpret_cast<const char*>(g_received[0].lParam), "frames");
    EXPECT_STREQ(reinterpret_cast<const char*>(g_received[1].lParam), "ms");

    g_answer = 0;
    EXPECT_EQ(MCIWndCanPlay(window), 0);
}

TEST_F(KvVFWMessages, CaptureHelpersSendTheirMessagesOnlyToWindows) {
    expectSent(window, capCases());
    g_answer = 0;
    EXPECT_EQ(capGrabFrame(window), 0);

    win::DestroyWindow(window);
    g_received.clear();
    g_answer = 7;
    EXPECT_EQ(AVICapSM(window, win::WM_CAP_DRIVER_CONNECT, 0, 0), 0);
    for (const SendCase& c : capCases())
        EXPECT_EQ(c.call(window), 0) << c.name;
    EXPECT_EQ(AVICapSM(nullptr, win::WM_CAP_STOP, 0, 0), 0);
    EXPECT_TRUE(g_received.empty());
}

TEST(KvVFWDrawDib, UpdateRepeatsTheLastDrawAtTheNewPlace) {
    // A 2 x 2 picture of four colours, stored bottom row first: top row red, green; bottom blue, white.
    struct {
        win::BITMAPINFOHEADER h;
        std::uint8_t bits[2][8];
    } dib{};
    dib.h = win::BITMAPINFOHEADER{40, 2, 2, 1, 24, win::BI_RGB, 0, 0, 0, 0, 0};
    const std::uint8_t bottom[8] = {0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0};
    const std::uint8_t top[8] = {0, 0, 0xFF, 0, 0xFF, 0, 0, 0};
    std::memcpy(dib.bits[0], bottom, 8);
    std::memcpy(dib.bits[1], top, 8);

    testgdi::Canvas canvas(testgdi::Section(12, 8, 32));
    win::HDRAWDIB hdd = win::DrawDibOpen();
    ASSERT_TRUE(hdd);
    EXPECT_EQ(DrawDibUpdate(hdd, canvas.dc(), 0, 0), 0) << "nothing drawn yet";

    // Drawn twice as large at (1, 1), then the canvas cleared and the update drawn at (6, 3).
    ASSERT_TRUE(win::DrawDibDraw(hdd, canvas.dc(), 1, 1, 4, 4, &dib.h, dib.bits, 0, 0, -1, -1, 0));
    const std::vector<std::uint32_t> first = canvas.Values();
    canvas.Fill(0);
    EXPECT_EQ(DrawDibUpdate(hdd, canvas.dc(), 6, 3), -1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool inside = x >= 6 && x < 10 && y >= 3 && y < 7;
            const std::uint32_t expected = inside ? first[std::size_t((y - 2) * 12 + (x - 5))] : 0;
            EXPECT_EQ(canvas.Value(x, y) & 0xFFFFFF, expected & 0xFFFFFF) << x << "," << y;
        }
    EXPECT_EQ(canvas.Value(6, 3) & 0xFFFFFF, 0xFF0000u) << "red at the top left";
    EXPECT_EQ(canvas.Value(9, 6) & 0xFFFFFF, 0xFFFFFFu) << "white at the bottom right";

    EXPECT_TRUE(win::DrawDibEnd(hdd));
    EXPECT_EQ(DrawDibUpdate(hdd, canvas.dc(), 0, 0), 0) << "the picture went with DrawDibEnd";
    EXPECT_TRUE(win::DrawDibClose(hdd));
    EXPECT_EQ(DrawDibUpdate(hdd, canvas.dc(), 0, 0), 0) << "a closed handle";
}

} // namespace
