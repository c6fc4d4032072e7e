#include "platform/vfw/AvDecoder.h"

#include "platform/vfw/AvFrameConvert.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace win::vfw {
namespace {

// How many earlier key frames random access tries when a key frame cannot be decoded.
constexpr int kMaxKeyBacktrack = 8;
// Samples a session of a reordering codec has after its key frame at least, so that the key frame's
// picture comes out before the decoder is drained at the end of the stream (frame threads and
// reordering hold back a few pictures).
constexpr LONG kReorderLeadSamples = 16;

std::string avErrorText(int code) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buf, sizeof buf);
    return buf;
}

// The last error-level message libavcodec logged for one decoder. Its frame threads log through
// copies of the codec context, which carry the same opaque pointer to this record.
struct AvLogRecord {
    std::mutex lock;
    std::string last;

    std::string take() {
        std::lock_guard g(lock);
        return std::exchange(last, {});
    }
};

// libavcodec's messages are not shown (QUILLAN_AV_LOG=1 shows them on stderr); error-level messages
// of a decoder's codec context are kept as the detail of its next decoding failure.
void avLogCallback(void* object, int level, const char* format, va_list args) {
    static const bool show = [] {
        const char* v = std::getenv("QUILLAN_AV_LOG");
        return v && std::strcmp(v, "1") == 0;
    }();
    if (show) {
        va_list copy;
        va_copy(copy, args);
        av_log_default_callback(object, level, format, copy);
        va_end(copy);
    }
    if (level > AV_LOG_ERROR || !object) return;
    const AVClass* cls = *static_cast<const AVClass* const*>(object);
    if (!cls || cls != avcodec_get_class()) return;
    auto* record = static_cast<AvLogRecord*>(static_cast<AVCodecContext*>(object)->opaque);
    if (!record) return;
    char line[512];
    int prefix = 0;
    av_log_format_line2(nullptr, level, format, args, line, sizeof line, &prefix);
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    std::lock_guard g(record->lock);
    record->last = std::move(text);
}


// Decodes through libavcodec. Samples are sent as packets tagged with their index; each frame that
// comes out fills one "slot" (a sample position): the slot its tag names, or, for decoders that
// reorder (B-frames, packed B-frames), the earliest slot still waiting, since output comes in
// display order. A sample the decoder reports as failed loses its slot by its index, so the pictures
// after it keep their own slots. Slots without a picture of their own (dropped or undecodable
// samples) show the picture before them. Sequential reading keeps one decoding session going; going
// back, or ahead past a key frame, starts a new session at the key frame (for codecs that reorder,
// at the one before it).
class AvDecoder final : public FrameDecoder {
  public:
    AvDecoder(const SourceFormat& source, SampleReader& reader, OutputDib& out)
        : m_source(source), m_reader(reader), m_convert(out) {}
    ~AvDecoder() override;

    bool open(std::string& error);
    bool decode(LONG pos) override;
    void outputReplaced() override { m_shownSlot = -1; }

  private:
    void restart(LONG key);
    bool resolved(LONG pos) const;
    void decodeUpTo(LONG pos);
    void feed();
    void receive(LONG pos);
    void place(LONG pos);
    void attachPalette(LONG pos);
    void sampleReported(bool failed);
    void skipLeadingSlots();
    LONG sessionStartFor(LONG key);
    std::string failureText(const char* what);

    const SourceFormat& m_source;
    SampleReader& m_reader;
    AvFrameConvert m_convert;
    AVCodecContext* m_ctx = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_received = nullptr;
    AVFrame* m_current = nullptr; // the latest picture at or before the wanted frame
    AVFrame* m_ahead = nullptr;   // a picture for a later frame, received early
    LONG m_currentSlot = -1;
    LONG m_aheadSlot = -1;
    std::deque<LONG> m_pending; // slots sent to the decoder that have no picture yet, ascending
    // Samples sent whose decoding result the decoder has not reported yet, in sending order. With
    // frame threads a send reports the result of the sample sent (threads - 1) sends before.
    std::deque<LONG> m_unreported;
    std::size_t m_reportDelay = 0;
    std::deque<LONG> m_recentReported; // the latest samples reported as decoded, oldest first
    bool m_keyPlaced = false;          // the session's key frame picture has come out
    bool m_reorderCodec = false;       // the codec may reorder pictures (B-frames)
    AvLogRecord m_log;
    bool m_active = false;
    LONG m_sessionStart = 0;
    LONG m_nextFeed = 0;
    bool m_canReceive = false;
    bool m_draining = false;
    bool m_eof = false;
    bool m_sendPalette = false;
    int m_stalls = 0; // sends refused in a row because output was waiting
    std::vector<RGBQUAD> m_palette;
    unsigned m_session = 0;
    unsigned m_shownSession = ~0u;
    LONG m_shownSlot = -1;
};

AvDecoder::~AvDecoder() {
    av_frame_free(&m_received);
    av_frame_free(&m_current);
    av_frame_free(&m_ahead);
    av_packet_free(&m_packet);
    avcodec_free_context(&m_ctx);
}

bool AvDecoder::open(std::string& error) {
    const auto id = AVCodecID(avCodecForCompression(m_source.compression));
    const AVCodec* codec = id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_decoder(id);
    if (!codec) {
        error = "unsupported compression '" + fourccText(m_source.compression) + "'";
        return false;
    }
    m_ctx = avcodec_alloc_context3(codec);
    m_packet = av_packet_alloc();
    m_received = av_frame_alloc();
    m_current = av_frame_alloc();
    m_ahead = av_frame_alloc();
    if (!m_ctx || !m_packet || !m_received || !m_current || !m_ahead) {
        error = "out of memory";
        return false;
    }
    m_ctx->codec_tag = m_source.header.biCompression;
    m_ctx->width = m_source.width;
    m_ctx->height = m_source.height; // MJPEG tells two-field frames apart by the container height
    m_ctx->bits_per_coded_sample = m_source.bpp;
    if (!m_source.extradata.empty()) {
        const std::size_t n = m_source.extradata.size();
        m_ctx->extradata = static_cast<std::uint8_t*>(av_mallocz(n + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!m_ctx->extradata) {
            error = "out of memory";
            return false;
        }
        std::memcpy(m_ctx->extradata, m_source.extradata.data(), n);
        m_ctx->extradata_size = int(n);
    }
    // Every frame thread holds its own frames in flight (10 to 16 MB more per thread at 1080p). Two
    // threads, with the next frame decoded ahead on another, keep decoding ahead of the BMP writing.
    m_ctx->thread_count = std::thread::hardware_concurrency() > 1 ? 2 : 1;
    m_ctx->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    m_ctx->opaque = &m_log;
    installAvLog();
    const int rc = avcodec_open2(m_ctx, codec, nullptr);
    if (rc < 0) {
        error = "the '" + fourccText(m_source.compression) + "' decoder cannot be opened: " + avErrorText(rc);
        if (std::string log = m_log.take(); !log.empty()) error += " (" + log + ")";
        return false;
    }
    if ((m_ctx->active_thread_type & FF_THREAD_FRAME) && m_ctx->thread_count > 1)
        m_reportDelay = std::size_t(m_ctx->thread_count - 1);
    const AVCodecDescriptor* desc = avcodec_descriptor_get(id);
    m_reorderCodec = desc && (desc->props & AV_CODEC_PROP_REORDER);
    m_palette = m_source.palette;
    return true;
}

void AvDecoder::restart(LONG key) {
    if (m_active) avcodec_flush_buffers(m_ctx);
    av_frame_unref(m_current);
    av_frame_unref(m_ahead);
    m_currentSlot = m_aheadSlot = -1;
    m_pending.clear();
    m_unreported.clear();
    m_recentReported.clear();
    m_keyPlaced = false;
    m_active = true;
    m_sessionStart = m_nextFeed = key;
    m_canReceive = m_draining = m_eof = false;
    m_sendPalette = m_source.paletted() && !m_palette.empty();
    ++m_session;
}

// Every slot up to pos has its picture, or none can come any more.
bool AvDecoder::resolved(LONG pos) const {
    if (m_aheadSlot >= 0 || m_currentSlot == pos || m_eof) return true;
    return m_nextFeed > pos && (m_pending.empty() || m_pending.front() > pos);
}

// The palette goes with the first packet of a session and with every packet after a palette change.
void AvDecoder::attachPalette(LONG pos) {
    if (!m_source.paletted() || m_palette.empty()) return;
    if (m_reader.formatChanges()) {
        auto palette = m_reader.paletteAt(pos);
        if (palette && !palette->empty() && !samePalette(*palette, m_palette)) {
            m_palette = std::move(*palette);
            m_sendPalette = true;
        }
    }
    if (!m_sendPalette) return;
    auto* side = reinterpret_cast<std::uint32_t*>(
        av_packet_new_side_data(m_packet, AV_PKT_DATA_PALETTE, AVPALETTE_SIZE));
    if (!side) return;
    for (std::size_t i = 0; i < 256; ++i) {
        const RGBQUAD q = i < m_palette.size() ? m_palette[i] : RGBQUAD{0, 0, 0, 0};
        side[i] =
            0xFF000000u | (std::uint32_t(q.rgbRed) << 16) | (std::uint32_t(q.rgbGreen) << 8) | q.rgbBlue;
    }
    m_sendPalette = false;
}

// Sends the next sample, or the end-of-stream marker after the last. Dropped (empty) samples are not
// sent: an empty packet would mean the end of the stream. Samples that cannot be read or that the
// decoder refuses are passed over.
void AvDecoder::feed() {
    if (m_nextFeed >= m_reader.end()) {
        if (!m_draining) avcodec_send_packet(m_ctx, nullptr);
        m_draining = true;
        m_canReceive = true;
        return;
    }
    const LONG p = m_nextFeed++;
    auto data = m_reader.read(p, AV_INPUT_BUFFER_PADDING_SIZE);
    if (!data || data->empty()) return;
    m_packet->data = const_cast<std::uint8_t*>(data->data());
    m_packet->size = int(data->size());
    m_packet->pts = m_packet->dts = p;
    attachPalette(p);
    const int rc = avcodec_send_packet(m_ctx, m_packet);
    av_packet_unref(m_packet);
    if (rc == AVERROR(EAGAIN) && ++m_stalls <= 2) {
        m_nextFeed = p; // the decoder wants its output taken first; send this sample again then
    } else if (rc != AVERROR(EAGAIN)) {
        // Taken: any error other than "try again" reports a failed sample, this one or (with frame
        // threads) an earlier one.
        m_pending.push_back(p);
        m_unreported.push_back(p);
        sampleReported(rc < 0);
        m_stalls = 0;
    } else {
        m_stalls = 0; // a decoder that never takes it: passed over
    }
    m_canReceive = true;
}

// The decoder reported the result of the oldest unreported sample. A failed sample gives up its slot,
// which then shows the picture before it; the pictures still to come fill the slots after it.
void AvDecoder::sampleReported(bool failed) {
    if (m_unreported.size() <= (failed ? 0 : m_reportDelay)) return;
    const LONG sample = m_unreported.front();
    m_unreported.pop_front();
    if (!failed) {
        m_recentReported.push_back(sample);
        if (m_recentReported.size() > 16) m_recentReported.pop_front();
        return;
    }
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it)
        if (*it == sample) {
            m_pending.erase(it);
            break;
        }
}

std::string AvDecoder::failureText(const char* what) {
    std::string text = what;
    if (std::string log = m_log.take(); !log.empty()) text += " (" + log + ")";
    return text;
}

void AvDecoder::receive(LONG pos) {
    const int rc = avcodec_receive_frame(m_ctx, m_received);
    if (rc == AVERROR_EOF) {
        m_eof = true;
        m_canReceive = false;
    } else if (rc == AVERROR(EAGAIN)) {
        m_canReceive = false;
    } else if (rc < 0) {
        // A failed sample reported while its output was asked for (frame threads, and the end of the
        // stream). More output may follow; a decoder that keeps failing with nothing left to report
        // has nothing more to give.
        if (m_unreported.empty()) {
            m_canReceive = false;
            if (m_draining) m_eof = true;
        } else {
            sampleReported(true);
        }
    } else {
        m_stalls = 0;
        place(pos);
    }
}

// Assigns the received picture to its slot: the current picture when the slot is at or before pos,
// else the picture kept for later.
void AvDecoder::place(LONG pos) {
    if (m_pending.empty()) {
        av_frame_unref(m_received);
        return;
    }
    std::int64_t tag =
        m_received->pts != AV_NOPTS_VALUE ? m_received->pts : m_received->best_effort_timestamp;
    const bool reorders = m_ctx->has_b_frames > 0;
    if (reorders && !m_keyPlaced && tag == m_sessionStart && m_sessionStart > m_reader.start() && !m_draining)
        skipLeadingSlots();
    if (reorders) m_keyPlaced = true;
    LONG slot;
    if (reorders || tag < m_pending.front() || tag > m_pending.back()) {
        slot = m_pending.front();
        m_pending.pop_front();
    } else {
        slot = LONG(tag);
        while (!m_pending.empty() && m_pending.front() <= slot)
            m_pending.pop_front();
    }
    AVFrame* target = slot <= pos ? m_current : m_ahead;
    av_frame_unref(target);
    av_frame_move_ref(target, m_received);
    (slot <= pos ? m_currentSlot : m_aheadSlot) = slot;
}

// The key frame a session starts at may be followed by pictures that refer to frames before it and
// are shown before it; the decoder drops them without a word. When the key frame's picture comes
// out, the samples after it that were decoded without giving a picture are such leading pictures
// (except the latest ones, which the decoder may still hold back for reordering). Their slots come
// before the key frame's, so that many slots are left without a picture and the key frame's picture
// takes the slot after them.
void AvDecoder::skipLeadingSlots() {
    const std::size_t held = std::size_t(m_ctx->has_b_frames);
    const std::size_t recent = m_recentReported.size();
    std::size_t leading = 0;
    for (LONG slot : m_pending) {
        if (slot <= m_sessionStart) continue;
        const bool unreported =
            std::find(m_unreported.begin(), m_unreported.end(), slot) != m_unreported.end();
        const auto at = std::find(m_recentReported.begin(), m_recentReported.end(), slot);
        const bool mayBeHeld =
            at != m_recentReported.end() && std::size_t(at - m_recentReported.begin()) + held >= recent;
        if (!unreported && !mayBeHeld) ++leading;
    }
    for (; leading > 0 && m_pending.size() > 1; --leading)
        m_pending.pop_front();
}

// Where a session for a frame after key starts. For codecs that reorder, one key frame earlier (and
// far enough from the end of the stream): the pictures after key that refer to the picture before it
// (open GOPs) then decode, and the leading pictures that cannot be decoded are those of the earlier
// key frame, which skipLeadingSlots accounts for.
LONG AvDecoder::sessionStartFor(LONG key) {
    if (!m_reorderCodec || key <= m_reader.start()) return key;
    return m_reader.keyFrameAtOrBefore(std::min(key - 1, m_reader.end() - 1 - kReorderLeadSamples));
}

bool AvDecoder::decode(LONG pos) {
    LONG key = sessionStartFor(m_reader.keyFrameAtOrBefore(pos));
    if (!m_active || pos < m_sessionStart || pos < m_currentSlot || key > m_nextFeed) restart(key);
    if (m_aheadSlot >= 0 && m_aheadSlot <= pos) {
        av_frame_unref(m_current);
        av_frame_move_ref(m_current, m_ahead);
        m_currentSlot = m_aheadSlot;
        m_aheadSlot = -1;
    }
    decodeUpTo(pos);
    // Nothing decodable from this key frame up to pos: the last good picture lies before it, so
    // start again from the key frames before (a few of them).
    for (int tries = 0; m_currentSlot < 0 && m_sessionStart > m_reader.start() && tries < kMaxKeyBacktrack;
         ++tries) {
        key = m_reader.keyFrameAtOrBefore(m_sessionStart - 1);
        restart(key);
        decodeUpTo(pos);
    }
    if (m_currentSlot < 0) return frameError(pos, failureText("the frame cannot be decoded"));
    if (m_shownSession == m_session && m_shownSlot == m_currentSlot) return true;
    if (!m_convert.convert(m_current))
        return frameError(pos, failureText("the decoded picture cannot be converted"));
    m_shownSession = m_session;
    m_shownSlot = m_currentSlot;
    return true;
}

void AvDecoder::decodeUpTo(LONG pos) {
    while (!resolved(pos)) {
        if (m_canReceive)
            receive(pos);
        else if (m_draining)
            m_eof = true;
        else
            feed();
    }
}

} // namespace

void installAvLog() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(avLogCallback); });
}

int avCodecForCompression(DWORD compression) {
    const AVCodecTag* const tables[] = {avformat_get_riff_video_tags(), nullptr};
    return int(av_codec_get_id(tables, compression));
}

std::unique_ptr<FrameDecoder> makeAvDecoder(const SourceFormat& source, SampleReader& reader, OutputDib& out,
                                            std::string& error) {
    auto decoder = std::make_unique<AvDecoder>(source, reader, out);
    if (!decoder->open(error)) return nullptr;
    return decoder;
}

} // namespace win::vfw
