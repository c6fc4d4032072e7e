#include "platform/vfw/FrameDecoder.h"

#include <cstring>

namespace win::vfw {

bool frameError(LONG pos, const std::string& what) {
    AVISetLastErrorDetail("frame " + std::to_string(pos) + ": " + what);
    return false;
}

SampleReader::SampleReader(IAVIStream* stream) : m_stream(stream) {
    m_start = stream->Start();
    if (m_start < 0) m_start = 0;
    AVISTREAMINFOA info{};
    if (stream->Info(&info, sizeof info) == AVIERR_OK)
        m_formatChanges = (info.dwFlags & AVISTREAMINFO_FORMATCHANGES) != 0;
}

LONG SampleReader::end() {
    const LONG length = m_stream->Length();
    return length > 0 ? m_start + length : m_start;
}

LONG SampleReader::size(LONG pos) {
    LONG bytes = 0, samples = 0;
    const HRESULT hr = m_stream->Read(pos, 1, nullptr, 0, &bytes, &samples);
    if (hr != AVIERR_OK || bytes < 0) {
        frameError(pos, "the sample's size cannot be read");
        return -1;
    }
    return bytes;
}

bool SampleReader::readInto(LONG pos, void* dst, LONG size) {
    LONG bytes = 0, samples = 0;
    const HRESULT hr = m_stream->Read(pos, 1, dst, size, &bytes, &samples);
    if (hr != AVIERR_OK || bytes != size) return frameError(pos, "the sample cannot be read");
    return true;
}

std::optional<std::span<const std::uint8_t>> SampleReader::read(LONG pos, std::size_t padding) {
    const LONG n = size(pos);
    if (n < 0) return std::nullopt;
    if (n == 0) return std::span<const std::uint8_t>{};
    // Grows only: after the first large frame no further allocation happens.
    const std::size_t need = std::size_t(n) + padding;
    if (m_buffer.size() < need) m_buffer.resize(need);
    if (!readInto(pos, m_buffer.data(), n)) return std::nullopt;
    if (padding) std::memset(m_buffer.data() + n, 0, padding);
    return std::span<const std::uint8_t>(m_buffer.data(), std::size_t(n));
}

LONG SampleReader::keyFrameAtOrBefore(LONG pos) {
    const LONG key = m_stream->FindSample(pos, FIND_KEY | FIND_PREV);
    return key >= m_start && key <= pos ? key : m_start;
}

std::optional<std::vector<RGBQUAD>> SampleReader::paletteAt(LONG pos) {
    LONG size = 0;
    if (m_stream->ReadFormat(pos, nullptr, &size) != AVIERR_OK || size < LONG(sizeof(BITMAPINFOHEADER)) ||
        std::uint64_t(size) > kMaxFrameBytes)
        return std::nullopt;
    m_format.resize(std::size_t(size));
    if (m_stream->ReadFormat(pos, m_format.data(), &size) != AVIERR_OK ||
        size < LONG(sizeof(BITMAPINFOHEADER)))
        return std::nullopt;
    m_format.resize(std::min<std::size_t>(m_format.size(), std::size_t(size)));
    BITMAPINFOHEADER h;
    std::memcpy(&h, m_format.data(), sizeof h);
    return readColourTable(m_format, h);
}

} // namespace win::vfw
