#include "platform/vfw/GetFrame.h"

#include "platform/vfw/AvDecoder.h"
#include "platform/vfw/DibDecoder.h"
#include "platform/win/Display.h"

#include <vector>

namespace win {
namespace vfw {
namespace {

// Format blocks larger than this are not video formats (a header, 256 colours and codec data).
constexpr LONG kMaxFormatBytes = 16 << 20;

std::optional<std::vector<std::uint8_t>> readStreamFormat(IAVIStream* stream, LONG pos) {
    LONG size = 0;
    if (stream->ReadFormat(pos, nullptr, &size) != AVIERR_OK || size <= 0) {
        AVISetLastErrorDetail("the stream has no video format");
        return std::nullopt;
    }
    if (size > kMaxFormatBytes) {
        AVISetLastErrorDetail("video format of " + std::to_string(size) + " bytes is too large");
        return std::nullopt;
    }
    std::vector<std::uint8_t> format(std::size_t(size), 0);
    if (stream->ReadFormat(pos, format.data(), &size) != AVIERR_OK || size <= 0) {
        AVISetLastErrorDetail("the video format cannot be read");
        return std::nullopt;
    }
    if (std::size_t(size) < format.size()) format.resize(std::size_t(size));
    return format;
}

int outputPaletteEntries(const SourceFormat& source, const OutputFormat& out) {
    if (out.layout != PixelLayout::Indexed8) return 0;
    if (out.palette == OutputPalette::Cube) return kCubeColours;
    // libavcodec hands out full 256-entry palettes; the built-in decoders keep the stream's own table.
    return source.kind == SourceKind::Compressed ? 256 : int(source.palette.size());
}

} // namespace

GetFrameObject::GetFrameObject(IAVIStream* stream) : m_stream(stream) {
    m_stream->AddRef();
}

GetFrameObject::~GetFrameObject() {
    m_ahead.reset();
    m_decoder.reset();
    m_stream->Release();
}

GetFrameObject* GetFrameObject::open(IAVIStream* stream, const BITMAPINFOHEADER* wanted) {
    if (!stream) {
        AVISetLastErrorDetail("no stream");
        return nullptr;
    }
    AVISTREAMINFOA info{};
    if (stream->Info(&info, sizeof info) != AVIERR_OK || info.fccType != streamtypeVIDEO) {
        AVISetLastErrorDetail("the stream is not a video stream");
        return nullptr;
    }
    const LONG start = stream->Start() > 0 ? stream->Start() : 0;
    auto format = readStreamFormat(stream, start);
    if (!format) return nullptr;

    std::string error;
    auto source = parseSourceFormat(*format, error);
    if (!source) {
        AVISetLastErrorDetail(error);
        return nullptr;
    }
    auto out = chooseOutputFormat(*source, wanted, DisplayBitsPerPixel(), error);
    if (!out) {
        AVISetLastErrorDetail(error);
        return nullptr;
    }
    std::unique_ptr<GetFrameObject, void (*)(GetFrameObject*)> self(new GetFrameObject(stream),
                                                                    [](GetFrameObject* p) { p->Release(); });
    self->m_source = std::move(*source);
    const int entries = outputPaletteEntries(self->m_source, *out);
    if (!self->m_out.create(*out, self->m_source.width, self->m_source.height, entries, error) ||
        !self->m_work.create(*out, self->m_source.width, self->m_source.height, entries, error)) {
        AVISetLastErrorDetail(error);
        return nullptr;
    }
    self->m_reader = std::make_unique<SampleReader>(stream);
    self->m_lastAsked = self->m_reader->start() - 1;
    if (self->m_source.kind == SourceKind::Compressed) {
        self->m_decoder = makeAvDecoder(self->m_source, *self->m_reader, self->m_work, error);
        if (!self->m_decoder) {
            AVISetLastErrorDetail(error);
            return nullptr;
        }
    } else {
        self->m_decoder = std::make_unique<DibDecoder>(self->m_source, *self->m_reader, self->m_work);
    }
    return self.release();
}

ULONG GetFrameObject::AddRef() {
    return ++m_refs;
}

ULONG GetFrameObject::Release() {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
}

LPVOID GetFrameObject::GetFrame(LONG pos) {
    const LONG end = m_reader->end();
    if (pos < m_reader->start() || pos >= end) {
        AVISetLastErrorDetail("frame " + std::to_string(pos) + " is outside the stream's frames " +
                              std::to_string(m_reader->start()) + " to " + std::to_string(end - 1));
        return nullptr;
    }
    if (pos == m_shown) return m_out.dib();
    const bool sequential = pos == m_lastAsked + 1;
    m_lastAsked = pos;
    if (!decodeIntoWork(pos)) {
        m_shown = -1;
        return nullptr;
    }
    m_out.exchange(m_work);
    m_decoder->outputReplaced();
    m_shown = pos;
    if (sequential && pos + 1 < end) {
        if (!m_ahead) m_ahead = std::make_unique<DecodeAhead>(*m_decoder);
        m_ahead->start(pos + 1);
    }
    return m_out.dib();
}

// A background decode of another frame is waited for and its picture dropped: decoders give the
// same picture for a frame whatever they decoded before.
bool GetFrameObject::decodeIntoWork(LONG pos) {
    if (m_ahead && m_ahead->pending()) {
        DecodeAhead::Result r = m_ahead->wait();
        if (r.pos == pos) {
            if (!r.ok) AVISetLastErrorDetail(std::move(r.detail));
            return r.ok;
        }
    }
    return m_decoder->decode(pos);
}

} // namespace vfw

PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM stream, LPBITMAPINFOHEADER wanted) {
    if (wanted == AVIGETFRAMEF_BESTDISPLAYFMT) wanted = nullptr;
    return vfw::GetFrameObject::open(stream, wanted);
}

LPVOID AVIStreamGetFrame(PGETFRAME frame, LONG pos) {
    if (!frame) {
        AVISetLastErrorDetail("no frame decompressor");
        return nullptr;
    }
    return frame->GetFrame(pos);
}

HRESULT AVIStreamGetFrameClose(PGETFRAME frame) {
    if (!frame) return AVIERR_BADHANDLE;
    frame->Release();
    return AVIERR_OK;
}

} // namespace win
