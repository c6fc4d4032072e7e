// The stream object's operations beyond reading frames: opening a single stream from a file, positions
// and times, key-frame searches, raw samples, extra data chunks and the format. Each is one or two calls
// of the stream interface; results that the interface reports as failures become EKvAVIError.
#include "avi/KvAVI.h"

#include <cstdint>
#include <cstring>

namespace kv {
namespace {

win::FOURCC fccTypeOf(TKvAVIStreamType type) {
    switch (type) {
    case stVideo:
        return win::streamtypeVIDEO;
    case stAudio:
        return win::streamtypeAUDIO;
    case stText:
        return win::streamtypeTEXT;
    case stMidi:
        return win::streamtypeMIDI;
    default:
        return 0; // any type
    }
}

std::int32_t orRaise(win::LONG value, const char* message) {
    if (value == -1) throw EKvAVIError(message);
    return value;
}

win::LONG findFlags(TKvAVIFindDirection direction, TKvAVIFindType type) {
    static constexpr win::LONG directions[] = {win::FIND_FROM_START, win::FIND_NEXT, win::FIND_PREV};
    static constexpr win::LONG types[] = {win::FIND_KEY, win::FIND_FORMAT, win::FIND_ANY};
    return directions[direction] | types[type];
}

win::DWORD keyFlags(bool key) {
    return key ? win::AVIIF_KEYFRAME : 0;
}

// count × size, raising when the product leaves the 32-bit range instead of wrapping.
std::int32_t product(std::int32_t count, std::int32_t size) {
    const std::int64_t p = std::int64_t(count) * size;
    if (p < INT32_MIN || p > INT32_MAX) throw host::EIntOverflow("Integer overflow");
    return std::int32_t(p);
}

} // namespace

void TKvAVIStream::LoadFromFile(const std::string& FileName, TKvAVIStreamType StreamType,
                                std::int32_t Index) {
    win::PAVISTREAM stream = nullptr;
    AVICheck(win::AVIStreamOpenFromFileA(&stream, FileName.c_str(), fccTypeOf(StreamType), Index,
                                         win::OF_SHARE_DENY_NONE | win::OF_READWRITE, nullptr));
    try {
        SetPStream(stream);
    } catch (...) {
        win::AVIStreamRelease(stream);
        throw;
    }
    win::AVIStreamRelease(stream);
}

std::int32_t TKvAVIStream::GetEndPos() const {
    win::PAVISTREAM s = GetPStream();
    const win::LONG start = win::AVIStreamStart(s), length = win::AVIStreamLength(s);
    if (start == -1 || length == -1) throw EKvAVIError("Failed to get end");
    return start + length;
}

std::int32_t TKvAVIStream::GetStartPosTime() const {
    return orRaise(win::AVIStreamStartTime(GetPStream()), "Failed to get start");
}

std::int32_t TKvAVIStream::GetEndPosTime() const {
    return orRaise(win::AVIStreamEndTime(GetPStream()), "Failed to get end");
}

std::int32_t TKvAVIStream::GetLengthTime() const {
    return orRaise(win::AVIStreamLengthTime(GetPStream()), "Failed to get length");
}

std::int32_t TKvAVIStream::TimeToSamples(std::int32_t ms) const {
    return orRaise(win::AVIStreamTimeToSample(GetPStream(), ms), "Failed to convert time to sample");
}

std::int32_t TKvAVIStream::SamplesToTime(std::int32_t pos) const {
    return orRaise(win::AVIStreamSampleToTime(GetPStream(), pos), "Failed to convert sample to time");
}

long double TKvAVIStream::GetFrameRate() const {
    win::AVISTREAMINFOA info;
    GetStreamInfo(info);
    if (info.dwScale == 0) throw host::EZeroDivide(host::SZeroDivide);
    return static_cast<long double>(info.dwRate) / static_cast<long double>(info.dwScale);
}

std::string TKvAVIStream::GetName() const {
    win::AVISTREAMINFOA info;
    GetStreamInfo(info);
    return std::string(info.szName, strnlen(info.szName, sizeof info.szName));
}

std::int32_t TKvAVIStream::FindSample(std::int32_t pos, TKvAVIFindDirection direction,
                                      TKvAVIFindType type) const {
    return win::AVIStreamFindSample(GetPStream(), pos, findFlags(direction, type));
}

bool TKvAVIStream::IsKeyFrame(std::int32_t pos) const {
    return win::AVIStreamIsKeyFrame(GetPStream(), pos);
}

std::int32_t TKvAVIStream::PrevKeyFrame(std::int32_t pos) const {
    return win::AVIStreamPrevKeyFrame(GetPStream(), pos);
}

std::int32_t TKvAVIStream::NextKeyFrame(std::int32_t pos) const {
    return win::AVIStreamNextKeyFrame(GetPStream(), pos);
}

std::int32_t TKvAVIStream::NearestKeyFrame(std::int32_t pos) const {
    return win::AVIStreamNearestKeyFrame(GetPStream(), pos);
}

std::int32_t TKvAVIStream::PrevKeyFrameTime(std::int32_t ms) const {
    return win::AVIStreamPrevKeyFrameTime(GetPStream(), ms);
}

std::int32_t TKvAVIStream::NextKeyFrameTime(std::int32_t ms) const {
    return win::AVIStreamNextKeyFrameTime(GetPStream(), ms);
}

std::int32_t TKvAVIStream::NearestKeyFrameTime(std::int32_t ms) const {
    return win::AVIStreamNearestKeyFrameTime(GetPStream(), ms);
}

std::int32_t TKvAVIStream::SampleSize(std::int32_t pos, std::int32_t count) const {
    win::LONG size = 0;
    AVICheck(win::AVIStreamSampleSize(GetPStream(), pos, &size));
    return product(count, size);
}

std::int32_t TKvAVIStream::StreamSampleSize() const {
    win::AVISTREAMINFOA info;
    GetStreamInfo(info);
    return std::int32_t(info.dwSampleSize);
}

void TKvAVIStream::Read(std::int32_t Start, void* Buffer, std::int32_t BufSize, std::int32_t Samples,
                        std::int32_t* BytesRead, std::int32_t* SamplesRead) const {
    AVICheck(win::AVIStreamRead(GetPStream(), Start, Samples, Buffer, BufSize, BytesRead, SamplesRead));
}

void TKvAVIStream::ReadSamples(std::int32_t Start, void* Buffer, std::int32_t Count) const {
    win::PAVISTREAM s = GetPStream();
    const std::int32_t size = SampleSize(Start, Count);
    win::LONG read = 0;
    AVICheck(win::AVIStreamRead(s, Start, Count, Buffer, size, nullptr, &read));
    if (read != Count) throw EKvAVIError("Error reading samples");
}

std::int32_t TKvAVIStream::ReadBytes(std::int32_t Start, void* Buffer, std::int32_t BufSize) const {
    win::LONG read = 0;
    AVICheck(win::AVIStreamRead(GetPStream(), Start, win::AVISTREAMREAD_CONVENIENT, Buffer, BufSize, nullptr,
                                &read));
    return read;
}

void TKvAVIStream::WriteSamples(std::int32_t Start, const void* Buffer, std::int32_t Count, bool KeyFrame) {
    win::PAVISTREAM s = GetPStream();
    const std::int32_t sampleSize = StreamSampleSize();
    if (sampleSize == 0) throw EKvAVIError("Stream has no static sample size");
    AVICheck(win::AVIStreamWrite(s, Start, Count, const_cast<void*>(Buffer), product(Count, sampleSize),
                                 keyFlags(KeyFrame), nullptr, nullptr));
}

void TKvAVIStream::WriteBytes(std::int32_t Start, const void* Buffer, std::int32_t Size, bool KeyFrame) {
    win::PAVISTREAM s = GetPStream();
    const std::int32_t sampleSize = StreamSampleSize();
    const std::int32_t samples = sampleSize == 0 ? 1 : Size / sampleSize;
    AVICheck(win::AVIStreamWrite(s, Start, samples, const_cast<void*>(Buffer), Size, keyFlags(KeyFrame),
                                 nullptr, nullptr));
}

void TKvAVIStream::DeleteSamples(std::int32_t Start, std::int32_t Count) {
    AVICheck(GetPStream()->Delete(Start, Count));
}

void TKvAVIStream::SetFormat(std::int32_t pos, const void* Format, std::int32_t Size) {
    AVICheck(win::AVIStreamSetFormat(GetPStream(), pos, const_cast<void*>(Format), Size));
}

std::int32_t TKvAVIStream::GetDataSize(win::FOURCC ckid) const {
    win::LONG size = 0;
    if (AVICheckExcl(win::AVIStreamReadData(GetPStream(), ckid, nullptr, &size), {win::AVIERR_NODATA}) != 0)
        return 0;
    return size;
}

void TKvAVIStream::ReadData(win::FOURCC ckid, void* Buffer, std::int32_t Size) const {
    win::LONG size = Size;
    AVICheck(win::AVIStreamReadData(GetPStream(), ckid, Buffer, &size));
    if (size != Size) throw EKvAVIError("Error reading data");
}

void TKvAVIStream::WriteData(win::FOURCC ckid, const void* Buffer, std::int32_t Size) {
    AVICheck(win::AVIStreamWriteData(GetPStream(), ckid, const_cast<void*>(Buffer), Size));
}

std::int32_t AVISampleToSample(const TKvAVIStream* Source, const TKvAVIStream* Dest, std::int32_t pos) {
    if (Source == Dest) return pos;
    return Dest->TimeToSamples(Source->SamplesToTime(pos));
}

} // namespace kv
