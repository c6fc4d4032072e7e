// In-memory IAVIFile and IAVIStream doubles that count their references, for testing the component
// layer without files on disk.
#pragma once

#include "platform/vfw/Vfw.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace testing_avi {

struct FakeStream : win::IAVIStream {
    // One call of Write as the stream received it.
    struct WriteCall {
        win::LONG start, samples, size;
        win::DWORD flags;
    };

    win::FOURCC type;
    win::LONG length = 10;
    win::LONG start = 0;
    win::DWORD rate = 0, scale = 0, sampleSize = 0;
    std::string name;
    std::vector<std::uint8_t> format;
    std::vector<WriteCall> writes;
    int infoCalls = 0;
    int refs = 1;

    explicit FakeStream(win::FOURCC t) : type(t) {}
    win::ULONG AddRef() override { return ++refs; }
    win::ULONG Release() override { return --refs; } // the test owns the object
    win::HRESULT Info(win::AVISTREAMINFOA* info, win::LONG size) override {
        std::memset(info, 0, std::size_t(size));
        ++infoCalls;
        info->fccType = type;
        info->dwLength = win::DWORD(length);
        info->dwRate = rate;
        info->dwScale = scale;
        info->dwSampleSize = sampleSize;
        std::memcpy(info->szName, name.data(), std::min(name.size(), sizeof info->szName));
        return 0;
    }
    win::LONG FindSample(win::LONG pos, win::LONG) override { return pos; }
    win::HRESULT ReadFormat(win::LONG, win::LPVOID buf, win::LONG* size) override {
        if (buf) std::memcpy(buf, format.data(), std::min<std::size_t>(format.size(), std::size_t(*size)));
        *size = win::LONG(format.size());
        return 0;
    }
    win::HRESULT Read(win::LONG, win::LONG, win::LPVOID, win::LONG, win::LONG*, win::LONG*) override {
        return win::AVIERR_UNSUPPORTED;
    }
    win::LONG Start() override { return start; }
    win::LONG Length() override { return length; }
    win::HRESULT Write(win::LONG at, win::LONG samples, win::LPVOID, win::LONG size, win::DWORD flags,
                       win::LONG*, win::LONG*) override {
        writes.push_back({at, samples, size, flags});
        return 0;
    }
};

struct FakeFile : win::IAVIFile {
    std::vector<FakeStream*> streams;
    win::HRESULT failAt = 0; // result for the stream index == streams.size()
    int refs = 1;

    win::ULONG AddRef() override { return ++refs; }
    win::ULONG Release() override { return --refs; }
    win::HRESULT Info(win::AVIFILEINFOA* info, win::LONG size) override {
        std::memset(info, 0, std::size_t(size));
        info->dwStreams = win::DWORD(streams.size());
        info->dwSuggestedBufferSize = 4096;
        return 0;
    }
    win::HRESULT GetStream(win::IAVIStream** out, win::DWORD, win::LONG index) override {
        *out = nullptr;
        if (index < 0 || std::size_t(index) >= streams.size()) return failAt ? failAt : win::AVIERR_NODATA;
        streams[std::size_t(index)]->AddRef();
        *out = streams[std::size_t(index)];
        return 0;
    }
};

} // namespace testing_avi
