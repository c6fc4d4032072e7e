// The binding's compressor helpers against a recording driver installed for the test: each sends its
// message with the parameters and parameter blocks of its macro.
#include "avi/KvVFW.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

using namespace win;

namespace {

constexpr FOURCC kTest = mmioFOURCC('T', 'E', 'S', 'T');

struct Call {
    UINT msg;
    DWORD_PTR p1, p2;
    std::vector<std::uint8_t> block; // the parameter block p1 points to, p2 bytes, for the block messages
};

struct Recorder {
    std::vector<Call> calls;
    LRESULT answer = ICERR_OK;
    bool writeValue = true;
    DWORD value = 0;
    UINT openMode = 0;
    int open = 0;
};
Recorder g_rec;

bool sendsBlock(UINT msg) {
    return msg == ICM_DECOMPRESSEX || msg == ICM_DECOMPRESSEX_BEGIN || msg == ICM_DECOMPRESSEX_QUERY ||
           msg == ICM_DRAW_SUGGESTFORMAT || msg == ICM_SET_STATUS_PROC;
}

LRESULT recordingDriver(DWORD_PTR, HDRVR, UINT msg, LPARAM p1, LPARAM p2) {
    if (msg == DRV_OPEN) {
        g_rec.openMode = reinterpret_cast<const ICOPEN*>(p2)->dwFlags;
        ++g_rec.open;
        return 1;
    }
    if (msg == DRV_CLOSE) {
        --g_rec.open;
        return 1;
    }
    Call c{msg, DWORD_PTR(p1), DWORD_PTR(p2), {}};
    if (sendsBlock(msg)) {
        const auto* b = reinterpret_cast<const std::uint8_t*>(p1);
        c.block.assign(b, b + p2);
    }
    if ((msg == ICM_GETDEFAULTQUALITY || msg == ICM_GETDEFAULTKEYFRAMERATE) && g_rec.writeValue)
        *reinterpret_cast<DWORD*>(p1) = g_rec.value;
    g_rec.calls.push_back(std::move(c));
    return g_rec.answer;
}

template <typename T> T blockAs(const Call& c) {
    T v{};
    EXPECT_EQ(c.block.size(), sizeof(T));
    if (c.block.size() == sizeof(T)) std::memcpy(&v, c.block.data(), sizeof v);
    return v;
}

class KvVFWCompressors : public testing::Test {
  protected:
    void SetUp() override {
        g_rec = Recorder{};
        ASSERT_TRUE(ICInstall(ICTYPE_VIDEO, kTest, reinterpret_cast<LPARAM>(&recordingDriver), nullptr,
                              ICINSTALL_FUNCTION));
        m_hic = ICOpen(ICTYPE_VIDEO, kTest, ICMODE_COMPRESS);
        ASSERT_NE(m_hic, nullptr);
    }
    void TearDown() override {
        if (m_hic) ICClose(m_hic);
        EXPECT_EQ(g_rec.open, 0) << "an instance was not closed";
        ICRemove(ICTYPE_VIDEO, kTest, 0);
    }
    const Call& only() {
        EXPECT_EQ(g_rec.calls.size(), 1u);
        return g_rec.calls.back();
    }
    HIC m_hic = nullptr;
};

// Addresses the driver only records, never follows.
template <typename T> T* fake(std::uintptr_t v) {
    return reinterpret_cast<T*>(v);
}

struct Row {
    const char* name;
    std::function<LRESULT(HIC)> call;
    UINT msg;
    DWORD_PTR p1, p2;
};

TEST_F(KvVFWCompressors, EachHelperSendsItsMessage) {
    auto* in = fake<BITMAPINFOHEADER>(0x1000);
    auto* out = fake<BITMAPINFOHEADER>(0x2000);
    auto* pv = fake<void>(0x3000);
    auto* dw = fake<DWORD>(0x4000);
    auto* time = fake<LONG>(0x5000);
    auto* rect = fake<RECT>(0x6000);
    const auto hwnd = fake<HWND__>(0x55);
    const auto hdc = fake<HDC__>(0x66);
    const auto P = [](const void* p) { return reinterpret_cast<DWORD_PTR>(p); };
    const std::vector<Row> rows = {
        {"ICAbout", [&](HIC h) { return kv::ICAbout(h, hwnd); }, ICM_ABOUT, P(hwnd), 0},
        {"ICConfigure", [&](HIC h) { return kv::ICConfigure(h, hwnd); }, ICM_CONFIGURE, P(hwnd), 0},
        {"ICGetState", [&](HIC h) { return kv::ICGetState(h, pv, 12); }, ICM_GETSTATE, P(pv), 12},
        {"ICSetState", [&](HIC h) { return kv::ICSetState(h, pv, 12); }, ICM_SETSTATE, P(pv), 12},
        {"ICGetStateSize", [&](HIC h) { return LRESULT(kv::ICGetStateSize(h)); }, ICM_GETSTATE, 0, 0},
        {"ICDrawWindow", [&](HIC h) { return kv::ICDrawWindow(h, rect); }, ICM_DRAW_WINDOW, P(rect),
         sizeof(RECT)},
        {"ICCompressBegin", [&](HIC h) { return kv::ICCompressBegin(h, in, out); }, ICM_COMPRESS_BEGIN, P(in),
         P(out)},
        {"ICCompressQuery", [&](HIC h) { return kv::ICCompressQuery(h, in, out); }, ICM_COMPRESS_QUERY, P(in),
         P(out)},
        {"ICCompressGetFormat", [&](HIC h) { return kv::ICCompressGetFormat(h, in, out); },
         ICM_COMPRESS_GET_FORMAT, P(in), P(out)},
        {"ICCompressGetFormatSize", [&](HIC h) { return LRESULT(kv::ICCompressGetFormatSize(h, in)); },
         ICM_COMPRESS_GET_FORMAT, P(in), 0},
        {"ICCompressGetSize", [&](HIC h) { return LRESULT(kv::ICCompressGetSize(h, in, out)); },
         ICM_COMPRESS_GET_SIZE, P(in), P(out)},
        {"ICCompressEnd", [&](HIC h) { return kv::ICCompressEnd(h); }, ICM_COMPRESS_END, 0, 0},
        {"ICDecompressBegin", [&](HIC h) { return kv::ICDecompressBegin(h, in, out); }, ICM_DECOMPRESS_BEGIN,
         P(in), P(out)},
        {"ICDecompressQuery", [&](HIC h) { return kv::ICDecompressQuery(h, in, out); }, ICM_DECOMPRESS_QUERY,
         P(in), P(out)},
        {"ICDecompressGetFormat", [&](HIC h) { return kv::ICDecompressGetFormat(h, in, out); },
         ICM_DECOMPRESS_GET_FORMAT, P(in), P(out)},
        {"ICDecompressGetFormatSize", [&](HIC h) { return LRESULT(kv::ICDecompressGetFormatSize(h, in)); },
         ICM_DECOMPRESS_GET_FORMAT, P(in), 0},
        {"ICDecompressGetPalette", [&](HIC h) { return kv::ICDecompressGetPalette(h, in, out); },
         ICM_DECOMPRESS_GET_PALETTE, P(in), P(out)},
        {"ICDecompressSetPalette", [&](HIC h) { return kv::ICDecompressSetPalette(h, in); },
         ICM_DECOMPRESS_SET_PALETTE, P(in), 0},
        {"ICDecompressEnd", [&](HIC h) { return kv::ICDecompressEnd(h); }, ICM_DECOMPRESS_END, 0, 0},
        {"ICDecompressExEnd", [&](HIC h) { return kv::ICDecompressExEnd(h); }, ICM_DECOMPRESSEX_END, 0, 0},
        {"ICDrawQuery", [&](HIC h) { return kv::ICDrawQuery(h, in); }, ICM_DRAW_QUERY, P(in), 0},
        {"ICDrawChangePalette", [&](HIC h) { return kv::ICDrawChangePalette(h, in); }, ICM_DRAW_CHANGEPALETTE,
         P(in), 0},
        {"ICGetBuffersWanted", [&](HIC h) { return kv::ICGetBuffersWanted(h, dw); }, ICM_GETBUFFERSWANTED,
         P(dw), 0},
        {"ICDrawEnd", [&](HIC h) { return kv::ICDrawEnd(h); }, ICM_DRAW_END, 0, 0},
        {"ICDrawStart", [&](HIC h) { return kv::ICDrawStart(h); }, ICM_DRAW_START, 0, 0},
        {"ICDrawStartPlay", [&](HIC h) { return kv::ICDrawStartPlay(h, 5, 9); }, ICM_DRAW_START_PLAY, 5, 9},
        {"ICDrawStop", [&](HIC h) { return kv::ICDrawStop(h); }, ICM_DRAW_STOP, 0, 0},
        {"ICDrawStopPlay", [&](HIC h) { return kv::ICDrawStopPlay(h); }, ICM_DRAW_STOP_PLAY, 0, 0},
        {"ICDrawGetTime", [&](HIC h) { return kv::ICDrawGetTime(h, time); }, ICM_DRAW_GETTIME, P(time), 0},
        {"ICDrawSetTime", [&](HIC h) { return kv::ICDrawSetTime(h, 77); }, ICM_DRAW_SETTIME, 77, 0},
        {"ICDrawRealize", [&](HIC h) { return kv::ICDrawRealize(h, hdc, TRUE); }, ICM_DRAW_REALIZE, P(hdc),
         1},
        {"ICDrawFlush", [&](HIC h) { return kv::ICDrawFlush(h); }, ICM_DRAW_FLUSH, 0, 0},
        {"ICDrawRenderBuffer", [&](HIC h) { return kv::ICDrawRenderBuffer(h); }, ICM_DRAW_RENDERBUFFER, 0, 0},
    };
    g_rec.answer = 1234;
    for (const Row& r : rows) {
        g_rec.calls.clear();
        const LRESULT result = r.call(m_hic);
        ASSERT_EQ(g_rec.calls.size(), 1u) << r.name;
        const Call& c = g_rec.calls[0];
        EXPECT_EQ(c.msg, r.msg) << r.name;
        EXPECT_EQ(c.p1, r.p1) << r.name;
        EXPECT_EQ(c.p2, r.p2) << r.name;
        EXPECT_EQ(result, 1234) << r.name; // the driver's answer comes back as it is
    }
}

TEST_F(KvVFWCompressors, QueryFormsAreTrueOnlyForOk) {
    struct Query {
        std::function<BOOL(HIC)> call;
        UINT msg;
        DWORD flag;
    };
    for (const Query& q : {Query{kv::ICQueryAbout, ICM_ABOUT, ICMF_ABOUT_QUERY},
                           Query{kv::ICQueryConfigure, ICM_CONFIGURE, ICMF_CONFIGURE_QUERY}}) {
        for (LRESULT answer : {ICERR_OK, ICERR_UNSUPPORTED, LRESULT(1)}) {
            g_rec.calls.clear();
            g_rec.answer = answer;
            EXPECT_EQ(q.call(m_hic), answer == ICERR_OK ? -1 : 0);
            const Call& c = only();
            EXPECT_EQ(c.msg, q.msg);
            EXPECT_EQ(c.p1, DWORD_PTR(-1));
            EXPECT_EQ(c.p2, q.flag);
        }
    }
}

TEST_F(KvVFWCompressors, DefaultValuesAreWhatTheDriverWrote) {
    g_rec.value = 7321;
    EXPECT_EQ(kv::ICGetDefaultQuality(m_hic), 7321u);
    EXPECT_EQ(only().msg, ICM_GETDEFAULTQUALITY);
    EXPECT_EQ(g_rec.calls.back().p2, sizeof(DWORD));
    g_rec.value = 12;
    EXPECT_EQ(kv::ICGetDefaultKeyFrameRate(m_hic), 12u);
    EXPECT_EQ(g_rec.calls.back().msg, ICM_GETDEFAULTKEYFRAMERATE);
    // A driver that writes nothing leaves 0, not whatever the stack held.
    g_rec.writeValue = false;
    EXPECT_EQ(kv::ICGetDefaultQuality(m_hic), 0u);
}

TEST_F(KvVFWCompressors, ParameterBlocksCarryTheArguments) {
    auto* src = fake<BITMAPINFOHEADER>(0x1000);
    auto* dst = fake<BITMAPINFOHEADER>(0x2000);
    auto* srcBits = fake<void>(0x3000);
    auto* dstBits = fake<void>(0x4000);
    using ExCall = LRESULT (*)(HIC, DWORD, LPBITMAPINFOHEADER, LPVOID, int, int, int, int, LPBITMAPINFOHEADER,
                               LPVOID, int, int, int, int);
    const std::pair<ExCall, UINT> exForms[] = {{kv::ICDecompressEx, ICM_DECOMPRESSEX},
                                               {kv::ICDecompressExBegin, ICM_DECOMPRESSEX_BEGIN},
                                               {kv::ICDecompressExQuery, ICM_DECOMPRESSEX_QUERY}};
    for (const auto& [call, msg] : exForms) {
        g_rec.calls.clear();
        call(m_hic, 0x80000000, src, srcBits, 1, 2, 3, 4, dst, dstBits, 5, 6, 7, 8);
        const Call& c = only();
        EXPECT_EQ(c.msg, msg);
        EXPECT_EQ(c.p2, sizeof(ICDECOMPRESSEX));
        const auto ex = blockAs<ICDECOMPRESSEX>(c);
        EXPECT_EQ(ex.dwFlags, 0x80000000u);
        EXPECT_EQ(ex.lpbiSrc, src);
        EXPECT_EQ(ex.lpSrc, srcBits);
        EXPECT_EQ(ex.lpbiDst, dst);
        EXPECT_EQ(ex.lpDst, dstBits);
        EXPECT_EQ(
            (std::vector<int>{ex.xSrc, ex.ySrc, ex.dxSrc, ex.dySrc, ex.xDst, ex.yDst, ex.dxDst, ex.dyDst}),
            (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    }

    g_rec.calls.clear();
    HIC decomp = fake<HIC__>(0x77);
    kv::ICDrawSuggestFormat(m_hic, src, dst, 11, 12, 13, 14, decomp);
    EXPECT_EQ(only().msg, ICM_DRAW_SUGGESTFORMAT);
    const auto s = blockAs<ICDRAWSUGGEST>(g_rec.calls.back());
    EXPECT_EQ(s.lpbiIn, src);
    EXPECT_EQ(s.lpbiSuggest, dst);
    EXPECT_EQ((std::vector<int>{s.dxSrc, s.dySrc, s.dxDst, s.dyDst}), (std::vector<int>{11, 12, 13, 14}));
    EXPECT_EQ(s.hicDecompressor, decomp);

    g_rec.calls.clear();
    const ICSTATUSPROC status = [](LPARAM, UINT, LONG) -> LONG { return 0; };
    kv::ICSetStatusProc(m_hic, 3, 0x1234, status);
    EXPECT_EQ(only().msg, ICM_SET_STATUS_PROC);
    const auto sp = blockAs<ICSETSTATUSPROC>(g_rec.calls.back());
    EXPECT_EQ(sp.dwFlags, 3u);
    EXPECT_EQ(sp.lParam, 0x1234);
    EXPECT_EQ(sp.Status, status);
}

TEST_F(KvVFWCompressors, OpenFormsLocateInTheirMode) {
    BITMAPINFOHEADER in{};
    in.biSize = sizeof in;
    in.biCompression = kTest;
    BITMAPINFOHEADER out{};
    g_rec.calls.clear();
    HIC dec = kv::ICDecompressOpen(ICTYPE_VIDEO, kTest, &in, &out);
    ASSERT_NE(dec, nullptr);
    EXPECT_EQ(g_rec.openMode, ICMODE_DECOMPRESS);
    EXPECT_EQ(only().msg, ICM_DECOMPRESS_QUERY);
    EXPECT_EQ(g_rec.calls.back().p1, reinterpret_cast<DWORD_PTR>(&in));
    EXPECT_EQ(g_rec.calls.back().p2, reinterpret_cast<DWORD_PTR>(&out));
    ICClose(dec);

    g_rec.calls.clear();
    HIC draw = kv::ICDrawOpen(ICTYPE_VIDEO, kTest, &in);
    ASSERT_NE(draw, nullptr);
    EXPECT_EQ(g_rec.openMode, ICMODE_DRAW);
    EXPECT_EQ(only().msg, ICM_DRAW_QUERY);
    EXPECT_EQ(g_rec.calls.back().p2, 0u);
    ICClose(draw);

    // A driver that refuses is closed again, and nothing else draws.
    g_rec.answer = ICERR_BADFORMAT;
    EXPECT_EQ(kv::ICDrawOpen(ICTYPE_VIDEO, kTest, &in), nullptr);
}

// The helpers over the installed drivers themselves.
TEST(KvVFWCompressorsBuiltIn, HelpersOverInstalledDrivers) {
    HIC mjpg = ICOpen(ICTYPE_VIDEO, mmioFOURCC('M', 'J', 'P', 'G'), ICMODE_COMPRESS);
    ASSERT_NE(mjpg, nullptr);
    EXPECT_EQ(kv::ICGetDefaultQuality(mjpg), 8500u);
    EXPECT_EQ(kv::ICGetDefaultKeyFrameRate(mjpg), 1u);
    EXPECT_EQ(kv::ICGetStateSize(mjpg), 12u);
    EXPECT_EQ(kv::ICQueryAbout(mjpg), FALSE);
    EXPECT_EQ(kv::ICQueryConfigure(mjpg), FALSE);
    ICClose(mjpg);

    std::vector<std::uint8_t> rle(40 + 256 * 4, 0);
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(rle.data());
    *h = BITMAPINFOHEADER{40, 32, 16, 1, 8, BI_RLE8, 0, 0, 0, 256, 0};
    HIC dec = kv::ICDecompressOpen(ICTYPE_VIDEO, 0, h, nullptr);
    ASSERT_NE(dec, nullptr);
    ICINFO info{};
    ICGetInfo(dec, &info, sizeof info);
    EXPECT_EQ(info.fccHandler, mmioFOURCC('M', 'R', 'L', 'E'));
    EXPECT_EQ(kv::ICDecompressGetFormatSize(dec, h), LONG(40 + 256 * 4));
    ICClose(dec);
}

} // namespace
