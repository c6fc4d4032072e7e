// The libavcodec drivers: MJPEG, MPEG-4 Visual, FFV1, Huffyuv and H.264. Compression takes 24- or
// 32-bit bottom-up (or top-down) DIBs, converts them with libswscale to the encoder's pixel format and
// delivers exactly one compressed frame per frame given: the encoders run without B-frames, look-ahead
// or frame threads. Decompression goes through libavcodec and the frame decompressor's converter.
#include "platform/vfw/AvDecoder.h"
#include "platform/vfw/AvFrameConvert.h"
#include "platform/vfw/IcmDriver.h"
#include "platform/vfw/YuvConvert.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>
#include <string>

namespace win::icm {
namespace {

constexpr DWORD kCompressedChunk = DWORD('d') | (DWORD('c') << 8);
// Time base handed to the encoders: the frame rate is not known to a compressor, and rate control by
// quality does not depend on it.
constexpr int kFrameRate = 25;

enum class QualityScale {
    None,   // lossless: quality has no meaning
    QScale, // the MPEG quantiser scale 2..31
    Crf     // x264's constant rate factor 0..51
};

struct CodecEntry {
    FOURCC handler; // also the compression written
    std::vector<FOURCC> decodes;
    AVCodecID id;
    const char* encoderName; // the only encoder used, or nullptr for the codec's default encoder
    const char* name;
    const char* description;
    DWORD flags;
    QualityScale scale;
    DWORD defaultQuality;
    DWORD defaultKeyFrameRate;
    std::vector<AVPixelFormat> pixelFormats; // in order of preference
};

const std::vector<CodecEntry>& codecTable() {
    static const std::vector<CodecEntry> table = {
        {mmioFOURCC('M', 'J', 'P', 'G'),
         {mmioFOURCC('M', 'J', 'P', 'G')},
         AV_CODEC_ID_MJPEG,
         nullptr,
         "MJPEG",
         "Motion JPEG",
         VIDCF_QUALITY,
         QualityScale::QScale,
         8500,
         1,
         {AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUVJ422P}},
        {mmioFOURCC('F', 'M', 'P', '4'),
         {mmioFOURCC('F', 'M', 'P', '4'), mmioFOURCC('X', 'V', 'I', 'D'), mmioFOURCC('D', 'I', 'V', 'X'),
          mmioFOURCC('D', 'X', '5', '0'), mmioFOURCC('M', 'P', '4', 'V')},
         AV_CODEC_ID_MPEG4,
         nullptr,
         "MPEG-4",
         "MPEG-4 Visual video",
         VIDCF_QUALITY | VIDCF_TEMPORAL | VIDCF_FASTTEMPORALC,
         QualityScale::QScale,
         7500,
         15,
         {AV_PIX_FMT_YUV420P}},
        {mmioFOURCC('F', 'F', 'V', '1'),
         {mmioFOURCC('F', 'F', 'V', '1')},
         AV_CODEC_ID_FFV1,
         nullptr,
         "FFV1",
         "FFV1 lossless video",
         VIDCF_TEMPORAL | VIDCF_FASTTEMPORALC,
         QualityScale::None,
         ICQUALITY_HIGH,
         15,
         {AV_PIX_FMT_BGR0, AV_PIX_FMT_BGRA, AV_PIX_FMT_YUV444P}},
        {mmioFOURCC('H', 'F', 'Y', 'U'),
         {mmioFOURCC('H', 'F', 'Y', 'U')},
         AV_CODEC_ID_HUFFYUV,
         nullptr,
         "Huffyuv",
         "Huffyuv lossless video",
         0,
         QualityScale::None,
         ICQUALITY_HIGH,
         1,
         {AV_PIX_FMT_RGB24, AV_PIX_FMT_BGRA, AV_PIX_FMT_YUV422P}},
        {mmioFOURCC('H', '2', '6', '4'),
         {mmioFOURCC('H', '2', '6', '4'), mmioFOURCC('X', '2', '6', '4'), mmioFOURCC('A', 'V', 'C', '1')},
         AV_CODEC_ID_H264,
         "libx264",
         "H.264",
         "H.264 / AVC video",
         VIDCF_QUALITY | VIDCF_TEMPORAL | VIDCF_FASTTEMPORALC,
         QualityScale::Crf,
         6000,
         30,
         {AV_PIX_FMT_YUV420P}},
    };
    return table;
}

const AVCodec* findEncoder(const CodecEntry& codec) {
    if (!codec.encoderName) return avcodec_find_encoder(codec.id);
    const AVCodec* c = avcodec_find_encoder_by_name(codec.encoderName);
    return c && c->id == codec.id ? c : nullptr;
}

AVPixelFormat choosePixelFormat(const CodecEntry& codec, const AVCodec* encoder) {
    if (!encoder->pix_fmts) return codec.pixelFormats.front();
    for (AVPixelFormat want : codec.pixelFormats)
        for (const AVPixelFormat* p = encoder->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
            if (*p == want) return want;
    return AV_PIX_FMT_NONE;
}

// The full-range "J" layouts are given to libswscale as their plain layouts with the range set apart.
AVPixelFormat plainLayout(AVPixelFormat f) {
    switch (f) {
    case AV_PIX_FMT_YUVJ420P:
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        return AV_PIX_FMT_YUV422P;
    default:
        return f;
    }
}

std::int64_t pictureHeight(const BITMAPINFOHEADER* h) {
    return h->biHeight < 0 ? -std::int64_t(h->biHeight) : h->biHeight;
}

// Quality 0..10000 on the encoder's scale: qscale 31 (worst) .. 2 (best); crf 51 .. 0.
int qscaleFor(DWORD quality) {
    return 2 + int((std::int64_t(ICQUALITY_HIGH - quality) * 29 + 5000) / 10000);
}
int crfFor(DWORD quality) {
    return int((std::int64_t(ICQUALITY_HIGH - quality) * 51 + 5000) / 10000);
}

class AvDriver final : public VideoDriver {
  public:
    explicit AvDriver(const CodecEntry& codec)
        : m_codec(codec), m_encoder(findEncoder(codec)), m_decoder(avcodec_find_decoder(codec.id)) {
        vfw::installAvLog();
    }
    ~AvDriver() override {
        closeEncoder();
        closeDecoder();
    }

  protected:
    DriverInfo info() const override {
        return {m_codec.handler, m_codec.flags, m_codec.name, m_codec.description};
    }
    bool hasState() const override { return true; }
    DriverState defaults() const override { return {m_codec.defaultQuality, m_codec.defaultKeyFrameRate}; }

    LRESULT compressQuery(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) override;
    LRESULT compressFormat(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out) override;
    LRESULT compressMaxSize(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER*) override;
    LRESULT compressBegin(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) override;
    LRESULT compress(ICCOMPRESS& ic) override;
    LRESULT compressEnd() override {
        closeEncoder();
        return ICERR_OK;
    }
    LRESULT decompressQuery(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) override;
    LRESULT decompressFormat(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out) override;
    LRESULT decompressBegin(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) override;
    LRESULT decompress(const ICDECOMPRESS& d) override;
    LRESULT decompressEnd() override {
        closeDecoder();
        return ICERR_OK;
    }

  private:
    bool inputFits(const BITMAPINFOHEADER* in) const;
    AVCodecContext* openEncoder(int width, int height, DWORD quality, DWORD keyRate) const;
    bool reopenEncoder(DWORD quality);
    bool fillFrame(const ICCOMPRESS& ic);
    int encodeFrame(bool key, DWORD quality);
    void closeEncoder();
    std::optional<vfw::SourceFormat> decodable(const BITMAPINFOHEADER* in) const;
    void closeDecoder();

    const CodecEntry& m_codec;
    const AVCodec* m_encoder;
    const AVCodec* m_decoder;

    // Compression session.
    AVCodecContext* m_enc = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
    SwsContext* m_sws = nullptr;
    bool m_ownYuv = false, m_fullRange = false;
    int m_width = 0, m_height = 0, m_inputBits = 0;
    DWORD m_openQuality = 0;
    LONG m_sinceKey = 0; // frames since the last key frame
    std::int64_t m_pts = 0;
    bool m_reopen = false; // the encoder was drained and must start afresh

    // Decompression session.
    AVCodecContext* m_dec = nullptr;
    AVPacket* m_decPacket = nullptr;
    AVFrame* m_decoded = nullptr;
    vfw::OutputDib m_picture;
    std::unique_ptr<vfw::AvFrameConvert> m_convert;
    std::vector<std::uint8_t> m_padded;
};

// ---- compression ----

bool AvDriver::inputFits(const BITMAPINFOHEADER* in) const {
    if (!m_encoder || !plainRgbInput(in, {24, 32})) return false;
    const AVPixelFormat f = choosePixelFormat(m_codec, m_encoder);
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(f);
    if (!d) return false;
    // Subsampled chroma wants whole chroma samples.
    const std::int64_t xs = std::int64_t(1) << d->log2_chroma_w, ys = std::int64_t(1) << d->log2_chroma_h;
    return in->biWidth % xs == 0 && pictureHeight(in) % ys == 0;
}

LRESULT AvDriver::compressQuery(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) {
    if (!inputFits(in)) return ICERR_BADFORMAT;
    if (!out) return ICERR_OK;
    const bool ok = sameFourcc(out->biCompression, m_codec.handler) && out->biWidth == in->biWidth &&
                    pictureHeight(out) == pictureHeight(in);
    return ok ? ICERR_OK : ICERR_BADFORMAT;
}

// The format carries the encoder's global header (Huffyuv's tables, for one) after the 40 bytes, so an
// encoder is opened to learn it.
LRESULT AvDriver::compressFormat(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out) {
    if (!inputFits(in)) return ICERR_BADFORMAT;
    const DriverState s = settings();
    AVCodecContext* ctx = openEncoder(in->biWidth, int(pictureHeight(in)), s.quality, s.keyFrameRate);
    if (!ctx) return ICERR_INTERNAL;
    const std::size_t extra = ctx->extradata ? std::size_t(ctx->extradata_size) : 0;
    const LRESULT bytes = LRESULT(sizeof(BITMAPINFOHEADER) + extra);
    if (out) {
        BITMAPINFOHEADER h{};
        h.biSize = DWORD(bytes);
        h.biWidth = in->biWidth;
        h.biHeight = LONG(pictureHeight(in));
        h.biPlanes = 1;
        h.biBitCount = WORD(ctx->bits_per_coded_sample > 0 ? ctx->bits_per_coded_sample : 24);
        h.biCompression = m_codec.handler;
        h.biSizeImage = DWORD(compressMaxSize(in, nullptr));
        std::memcpy(out, &h, sizeof h);
        if (extra) std::memcpy(reinterpret_cast<std::uint8_t*>(out) + sizeof h, ctx->extradata, extra);
    }
    avcodec_free_context(&ctx);
    return bytes;
}

// Generous: twice a 32-bit picture, plus room for headers; no encoder here comes near it.
LRESULT AvDriver::compressMaxSize(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER*) {
    if (!inputFits(in)) return 0;
    return LRESULT(std::uint64_t(in->biWidth) * std::uint64_t(pictureHeight(in)) * 8 + 65536);
}

AVCodecContext* AvDriver::openEncoder(int width, int height, DWORD quality, DWORD keyRate) const {
    AVCodecContext* ctx = avcodec_alloc_context3(m_encoder);
    if (!ctx) return nullptr;
    ctx->width = width;
    ctx->height = height;
    ctx->pix_fmt = choosePixelFormat(m_codec, m_encoder);
    ctx->time_base = AVRational{1, kFrameRate};
    ctx->framerate = AVRational{kFrameRate, 1};
    ctx->gop_size = keyRate > 0 ? int(keyRate) : 100000;
    ctx->max_b_frames = 0;
    ctx->thread_count = 1;
    ctx->colorspace = AVCOL_SPC_BT470BG;
    const bool fullRange = ctx->pix_fmt == AV_PIX_FMT_YUVJ420P || ctx->pix_fmt == AV_PIX_FMT_YUVJ422P;
    ctx->color_range = fullRange ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
    AVDictionary* options = nullptr;
    if (m_codec.scale == QualityScale::QScale) {
        ctx->flags |= AV_CODEC_FLAG_QSCALE;
        ctx->global_quality = FF_QP2LAMBDA * qscaleFor(quality);
    } else if (m_codec.scale == QualityScale::Crf) {
        av_dict_set(&options, "preset", "veryfast", 0);
        av_dict_set(&options, "tune", "zerolatency", 0);
        av_dict_set_int(&options, "crf", crfFor(quality), 0);
        av_dict_set(&options, "forced-idr", "1", 0);
    }
    const int rc = avcodec_open2(ctx, m_encoder, &options);
    av_dict_free(&options);
    if (rc < 0) avcodec_free_context(&ctx);
    return ctx;
}

LRESULT AvDriver::compressBegin(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) {
    const LRESULT q = compressQuery(in, out);
    if (q != ICERR_OK) return q;
    closeEncoder();
    m_width = in->biWidth;
    m_height = int(pictureHeight(in));
    m_inputBits = in->biBitCount;
    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (!m_frame || !m_packet) return ICERR_MEMORY;
    m_frame->format = choosePixelFormat(m_codec, m_encoder);
    m_frame->width = m_width;
    m_frame->height = m_height;
    if (av_frame_get_buffer(m_frame, 0) < 0) return ICERR_MEMORY;
    const AVPixelFormat src = m_inputBits == 24 ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_BGR0;
    const AVPixelFormat dst = plainLayout(AVPixelFormat(m_frame->format));
    m_fullRange = dst != m_frame->format;
    // 4:2:0 pictures are made by our own converter (chroma as the mean of each 2x2 block): faster than
    // libswscale's accurate path, and unlike its fast path it does not drop three of every four chroma
    // samples. Other layouts go through libswscale.
    m_ownYuv = dst == AV_PIX_FMT_YUV420P;
    if (m_ownYuv) return reopenEncoder(settings().quality) ? ICERR_OK : ICERR_INTERNAL;
    m_sws = sws_getContext(m_width, m_height, src, m_width, m_height, dst, SWS_BICUBIC | SWS_ACCURATE_RND,
                           nullptr, nullptr, nullptr);
    if (!m_sws) return ICERR_INTERNAL;
    const int fullRange = dst != m_frame->format ? 1 : 0;
    const int* bt601 = sws_getCoefficients(SWS_CS_ITU601);
    sws_setColorspaceDetails(m_sws, bt601, 1, bt601, fullRange, 0, 1 << 16, 1 << 16);
    return reopenEncoder(settings().quality) ? ICERR_OK : ICERR_INTERNAL;
}

// A new encoder session: its first frame is a key frame.
bool AvDriver::reopenEncoder(DWORD quality) {
    avcodec_free_context(&m_enc);
    m_enc = openEncoder(m_width, m_height, quality, settings().keyFrameRate);
    m_openQuality = quality;
    m_sinceKey = 0;
    m_pts = 0;
    m_reopen = false;
    return m_enc != nullptr;
}

bool AvDriver::fillFrame(const ICCOMPRESS& ic) {
    if (av_frame_make_writable(m_frame) < 0) return false;
    const BITMAPINFOHEADER* in = ic.lpbiInput;
    const auto stride = std::ptrdiff_t(DibStride(std::uint64_t(m_width), unsigned(m_inputBits)));
    const auto* base = static_cast<const std::uint8_t*>(ic.lpInput);
    // Bottom-up DIBs: start at the last stored row (the top of the picture) and step backwards.
    const std::uint8_t* first = in->biHeight < 0 ? base : base + (m_height - 1) * stride;
    const std::ptrdiff_t rowStep = in->biHeight < 0 ? stride : -stride;
    if (m_ownYuv) {
        vfw::bgrToYuv420({first, rowStep, m_inputBits / 8, m_width, m_height},
                         {{m_frame->data[0], m_frame->data[1], m_frame->data[2]},
                          {m_frame->linesize[0], m_frame->linesize[1], m_frame->linesize[2]}},
                         m_fullRange);
        return true;
    }
    const std::uint8_t* src[4] = {first, nullptr, nullptr, nullptr};
    const int srcStride[4] = {int(rowStep), 0, 0, 0};
    sws_scale(m_sws, src, srcStride, 0, m_height, m_frame->data, m_frame->linesize);
    return true;
}

// Sends the frame and takes its packet into m_packet; a return below 0 is an error. An encoder that
// holds the frame back is drained, and started afresh for the next frame.
int AvDriver::encodeFrame(bool key, DWORD quality) {
    m_frame->pts = m_pts++;
    m_frame->pict_type = key ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    m_frame->quality = m_codec.scale == QualityScale::QScale ? FF_QP2LAMBDA * qscaleFor(quality) : 0;
    int rc = avcodec_send_frame(m_enc, m_frame);
    if (rc < 0) return rc;
    av_packet_unref(m_packet);
    rc = avcodec_receive_packet(m_enc, m_packet);
    if (rc == AVERROR(EAGAIN)) {
        avcodec_send_frame(m_enc, nullptr);
        rc = avcodec_receive_packet(m_enc, m_packet);
        m_reopen = true;
    }
    return rc;
}

LRESULT AvDriver::compress(ICCOMPRESS& ic) {
    if (!m_enc && compressBegin(ic.lpbiInput, ic.lpbiOutput) != ICERR_OK) return ICERR_BADFORMAT;
    const BITMAPINFOHEADER* in = ic.lpbiInput;
    if (!in || !ic.lpInput || !ic.lpOutput || !ic.lpbiOutput) return ICERR_BADPARAM;
    if (in->biWidth != m_width || pictureHeight(in) != m_height || in->biBitCount != m_inputBits ||
        in->biCompression != BI_RGB)
        return ICERR_BADFORMAT;
    const DWORD quality = ic.dwQuality == ICQUALITY_DEFAULT ? settings().quality
                                                            : std::min<DWORD>(ic.dwQuality, ICQUALITY_HIGH);
    // x264 takes its rate factor only when opened.
    if (m_reopen || (m_codec.scale == QualityScale::Crf && quality != m_openQuality))
        if (!reopenEncoder(quality)) return ICERR_INTERNAL;
    const DWORD keyRate = settings().keyFrameRate;
    const bool key =
        (ic.dwFlags & ICCOMPRESS_KEYFRAME) || m_pts == 0 || (keyRate > 0 && m_sinceKey >= LONG(keyRate));
    if (!fillFrame(ic)) return ICERR_MEMORY;
    int rc = encodeFrame(key, quality);
    // Encoders that choose key frames themselves (FFV1 counts its own) get one by starting afresh.
    if (rc >= 0 && key && !(m_packet->flags & AV_PKT_FLAG_KEY)) {
        if (!reopenEncoder(quality)) return ICERR_INTERNAL;
        rc = encodeFrame(true, quality);
    }
    if (rc < 0) return ICERR_ERROR;
    if (LRESULT(m_packet->size) > compressMaxSize(in, nullptr)) return ICERR_MEMORY;
    std::memcpy(ic.lpOutput, m_packet->data, std::size_t(m_packet->size));
    ic.lpbiOutput->biSizeImage = DWORD(m_packet->size);
    const bool isKey = m_packet->flags & AV_PKT_FLAG_KEY;
    m_sinceKey = isKey ? 1 : m_sinceKey + 1;
    if (ic.lpdwFlags) *ic.lpdwFlags = isKey ? AVIIF_KEYFRAME : 0;
    if (ic.lpckid) *ic.lpckid = kCompressedChunk;
    av_packet_unref(m_packet);
    return ICERR_OK;
}

void AvDriver::closeEncoder() {
    avcodec_free_context(&m_enc);
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    sws_freeContext(m_sws);
    m_sws = nullptr;
}

// ---- decompression ----

std::optional<vfw::SourceFormat> AvDriver::decodable(const BITMAPINFOHEADER* in) const {
    if (!m_decoder || !in) return std::nullopt;
    const bool ours = std::any_of(m_codec.decodes.begin(), m_codec.decodes.end(),
                                  [&](FOURCC f) { return sameFourcc(f, in->biCompression); });
    const auto bytes = formatSpan(in);
    if (!ours || bytes.empty()) return std::nullopt;
    std::string error;
    auto source = vfw::parseSourceFormat(bytes, error);
    if (!source || source->kind != vfw::SourceKind::Compressed) return std::nullopt;
    return source;
}

LRESULT AvDriver::decompressQuery(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) {
    auto source = decodable(in);
    if (!source) return ICERR_BADFORMAT;
    if (!out) return ICERR_OK;
    std::string error;
    auto format = vfw::chooseOutputFormat(*source, out, 24, error);
    return format && format->layout != vfw::PixelLayout::Indexed8 ? ICERR_OK : ICERR_BADFORMAT;
}

LRESULT AvDriver::decompressFormat(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out) {
    if (!decodable(in)) return ICERR_BADFORMAT;
    return defaultDecompressFormat(in, out);
}

LRESULT AvDriver::decompressBegin(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) {
    if (decompressQuery(in, out) != ICERR_OK) return ICERR_BADFORMAT;
    closeDecoder();
    const vfw::SourceFormat source = *decodable(in);
    std::string error;
    const auto format = vfw::chooseOutputFormat(source, out, 24, error);
    if (!m_picture.create(*format, source.width, source.height, 0, error)) return ICERR_MEMORY;
    m_convert = std::make_unique<vfw::AvFrameConvert>(m_picture);
    m_dec = avcodec_alloc_context3(m_decoder);
    m_decPacket = av_packet_alloc();
    m_decoded = av_frame_alloc();
    if (!m_dec || !m_decPacket || !m_decoded) return ICERR_MEMORY;
    m_dec->codec_tag = in->biCompression;
    m_dec->width = source.width;
    m_dec->height = source.height;
    m_dec->bits_per_coded_sample = source.bpp;
    m_dec->thread_count = 1; // one picture out for every frame in
    if (!source.extradata.empty()) {
        const std::size_t n = source.extradata.size();
        m_dec->extradata = static_cast<std::uint8_t*>(av_mallocz(n + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!m_dec->extradata) return ICERR_MEMORY;
        std::memcpy(m_dec->extradata, source.extradata.data(), n);
        m_dec->extradata_size = int(n);
    }
    if (avcodec_open2(m_dec, m_decoder, nullptr) < 0) {
        closeDecoder();
        return ICERR_BADFORMAT;
    }
    return ICERR_OK;
}

// An empty frame (a dropped one) leaves the picture as it was.
LRESULT AvDriver::decompress(const ICDECOMPRESS& d) {
    if (!m_dec && decompressBegin(d.lpbiInput, d.lpbiOutput) != ICERR_OK) return ICERR_BADFORMAT;
    if (!d.lpbiInput || !d.lpOutput) return ICERR_BADPARAM;
    const std::size_t size = d.lpbiInput->biSizeImage;
    if (size == 0) return ICERR_OK;
    if (!d.lpInput || size > std::size_t(INT32_MAX) - AV_INPUT_BUFFER_PADDING_SIZE) return ICERR_BADPARAM;
    m_padded.assign(size + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    std::memcpy(m_padded.data(), d.lpInput, size);
    m_decPacket->data = m_padded.data();
    m_decPacket->size = int(size);
    if (!(d.dwFlags & ICDECOMPRESS_NOTKEYFRAME)) m_decPacket->flags |= AV_PKT_FLAG_KEY;
    const int sent = avcodec_send_packet(m_dec, m_decPacket);
    m_decPacket->data = nullptr;
    m_decPacket->size = 0;
    m_decPacket->flags = 0;
    if (sent < 0) return ICERR_ERROR;
    const int rc = avcodec_receive_frame(m_dec, m_decoded);
    if (rc == AVERROR(EAGAIN)) return ICERR_OK;
    if (rc < 0) return ICERR_ERROR;
    LRESULT result = ICERR_OK;
    if (!(d.dwFlags & ICDECOMPRESS_HURRYUP)) {
        if (m_convert->convert(m_decoded))
            std::memcpy(d.lpOutput, m_picture.pixels(), m_picture.imageSize());
        else
            result = ICERR_ERROR;
    }
    av_frame_unref(m_decoded);
    return result;
}

void AvDriver::closeDecoder() {
    avcodec_free_context(&m_dec);
    av_packet_free(&m_decPacket);
    av_frame_free(&m_decoded);
    m_convert.reset();
}

} // namespace

std::vector<DriverClass> avDriverClasses() {
    std::vector<DriverClass> classes;
    for (const CodecEntry& codec : codecTable()) {
        // H.264 is offered only with an encoder for it; the others whenever either side exists.
        const bool encoder = findEncoder(codec) != nullptr;
        const bool decoder = avcodec_find_decoder(codec.id) != nullptr;
        if (codec.id == AV_CODEC_ID_H264 ? !encoder : !(encoder || decoder)) continue;
        std::vector<FOURCC> aliases(codec.decodes.begin(), codec.decodes.end());
        classes.push_back({codec.handler, aliases, [&codec] { return std::make_unique<AvDriver>(codec); }});
    }
    return classes;
}

} // namespace win::icm
