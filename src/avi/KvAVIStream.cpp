#include "avi/KvAVI.h"

#include <cstring>

namespace kv {

TKvAVIStream::TKvAVIStream(win::PAVISTREAM stream) : TKvAVIStream() { SetPStream(stream); }

TKvAVIStream::~TKvAVIStream() { SetPStream(nullptr); }

win::PAVISTREAM TKvAVIStream::GetPStream() const {
    if (!m_stream) throw EKvAVIError("Stream not opened");
    return m_stream;
}

void TKvAVIStream::SetPStream(win::PAVISTREAM p) {
    if (p == m_stream) return;
    if (m_stream) win::AVIStreamRelease(m_stream);
    m_stream = p;
    if (m_stream) win::AVIStreamAddRef(m_stream);
}

void TKvAVIStream::GetStreamInfo(win::AVISTREAMINFOA& info) const {
    AVICheck(win::AVIStreamInfoA(GetPStream(), &info, sizeof info));
    FixFOURCC(info.fccHandler);
    FixFOURCC(info.fccType);
}

TKvAVIStreamType TKvAVIStream::GetStreamType() const {
    win::AVISTREAMINFOA info;
    GetStreamInfo(info);
    switch (info.fccType) {
    case win::streamtypeVIDEO: return stVideo;
    case win::streamtypeAUDIO: return stAudio;
    case win::streamtypeTEXT: return stText;
    case win::streamtypeMIDI: return stMidi;
    default: return stOther;
    }
}

std::int32_t TKvAVIStream::GetFormatSize(std::int32_t pos) const {
    win::LONG size = 0;
    AVICheck(win::AVIStreamReadFormat(GetPStream(), pos, nullptr, &size));
    return size;
}

void TKvAVIStream::GetFormat(std::int32_t pos, void* buffer, std::int32_t& size) const {
    AVICheck(win::AVIStreamReadFormat(GetPStream(), pos, buffer, &size));
    if (buffer && size >= 20 && GetStreamType() == stVideo) {
        win::FOURCC compression;
        std::memcpy(&compression, static_cast<char*>(buffer) + 16, sizeof compression);
        FixFOURCC(compression);
        std::memcpy(static_cast<char*>(buffer) + 16, &compression, sizeof compression);
    }
}

std::int32_t TKvAVIStream::GetLength() const {
    win::LONG length = win::AVIStreamLength(GetPStream());
    if (length == -1) throw EKvAVIError("Failed to get length");
    return length;
}

std::int32_t TKvAVIStream::GetStartPos() const {
    win::LONG start = win::AVIStreamStart(GetPStream());
    if (start == -1) throw EKvAVIError("Failed to get start");
    return start;
}

TKvAVIStreamWorker::~TKvAVIStreamWorker() { SetStream(nullptr); }

void TKvAVIStreamWorker::SetStream(TKvAVIStream* s) {
    if (s == m_stream) return;
    if (m_stream) m_stream->Release();
    m_stream = s;
    if (m_stream) m_stream->AddRef();
}

TKvAVIVideoWorker::TKvAVIVideoWorker(TKvAVIStream* stream) { SetStream(stream); }

TKvAVIVideoWorker::~TKvAVIVideoWorker() {
    EndReading();
    m_formatBuffer.clear();
    m_rawBuffer.clear();
    SetStream(nullptr);
}

void TKvAVIVideoWorker::BeginReading(win::BITMAPINFOHEADER* wanted) {
    EndReading();
    win::PAVISTREAM stream = GetStream() ? GetStream()->GetPStream() : nullptr;
    if (!stream) throw EKvAVIError("Stream not opened");
    win::AVISetLastErrorDetail({});
    m_frame = win::AVIStreamGetFrameOpen(stream, wanted ? wanted : win::AVIGETFRAMEF_BESTDISPLAYFMT);
    if (!m_frame) throw EKvAVIError("Can't create image decompressor", win::AVILastErrorDetail());
    m_reading = true;
}

win::BITMAPINFOHEADER* TKvAVIVideoWorker::GetDIB(std::int32_t pos) {
    if (!m_reading) throw EKvAVIError("Not reading now");
    win::AVISetLastErrorDetail({});
    void* dib = win::AVIStreamGetFrame(m_frame, pos);
    if (!dib) throw EKvAVIError("Failed getting frame", win::AVILastErrorDetail());
    return static_cast<win::BITMAPINFOHEADER*>(dib);
}

void TKvAVIVideoWorker::EndReading() {
    if (m_frame) {
        win::AVIStreamGetFrameClose(m_frame);
        m_frame = nullptr;
    }
    m_reading = false;
}

} // namespace kv
