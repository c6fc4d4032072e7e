// AVI files and streams over the AVIFile interface: the file component with its stream list, the
// reference-counted stream objects, and the video worker that hands out each frame as a packed DIB.
// Every failing AVIFile call becomes an EKvAVIError.
#pragma once

#include "core/KvObj.h"
#include "platform/ui/SysUtils.h"
#include "platform/vfw/Vfw.h"

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace kv {

class EKvAVIError : public host::Exception {
public:
    explicit EKvAVIError(std::string message, std::string detail = {})
        : host::Exception(std::move(message)), m_detail(std::move(detail)) {}
    // The platform's account of the cause, when it gave one (e.g. why a file could not be opened).
    const std::string& Detail() const { return m_detail; }

private:
    std::string m_detail;
};

// rc 0 returns; any other code raises EKvAVIError "AVI error (%8X): <text>".
void AVICheck(win::HRESULT rc);
// As AVICheck, but the listed codes are returned instead of raised.
win::HRESULT AVICheckExcl(win::HRESULT rc, std::initializer_list<win::HRESULT> excluded);
std::string AVIGetErrorString(win::HRESULT rc);

// 0 becomes "None" and 1 becomes "Rle8"; any other value is kept.
void FixFOURCC(win::FOURCC& value);

enum TKvAVIStreamType { stVideo, stAudio, stText, stMidi, stOther };
enum TKvAccessMode { amRead, amWrite, amReadWrite };
enum TKvShareMode { smNone, smRead, smWrite, smReadWrite };

// Reference-counted base: created with one reference; the last Release destroys it.
class TKvAVIObject : public TKvObject {
public:
    TKvAVIObject() = default;
    void AddRef();
    void Release();
    std::int32_t RefCount() const { return m_refCount; }

protected:
    ~TKvAVIObject() override = default;

private:
    std::int32_t m_refCount = 1;
};

class TKvAVIStream : public TKvAVIObject {
public:
    TKvAVIStream() = default;
    // Wraps an interface and takes a reference of its own; the caller keeps and releases its own.
    explicit TKvAVIStream(win::PAVISTREAM stream);

    win::PAVISTREAM GetPStream() const;
    void SetPStream(win::PAVISTREAM p);
    void GetStreamInfo(win::AVISTREAMINFOA& info) const;
    TKvAVIStreamType GetStreamType() const;
    std::int32_t GetFormatSize(std::int32_t pos) const;
    void GetFormat(std::int32_t pos, void* buffer, std::int32_t& size) const;
    std::int32_t GetLength() const;
    std::int32_t GetStartPos() const;

    win::DWORD SuggestedBufferSize() const { return m_suggestedBufferSize; }
    void SetSuggestedBufferSize(win::DWORD size) { m_suggestedBufferSize = size; }

protected:
    ~TKvAVIStream() override;

private:
    win::PAVISTREAM m_stream = nullptr;
    win::DWORD m_suggestedBufferSize = 0;
};

// Base of the workers: holds one reference on its stream while it has one.
class TKvAVIStreamWorker : public TKvObject {
public:
    ~TKvAVIStreamWorker() override;
    TKvAVIStream* GetStream() const { return m_stream; }
    void SetStream(TKvAVIStream* s);

private:
    TKvAVIStream* m_stream = nullptr;
};

class TKvAVIVideoWorker : public TKvAVIStreamWorker {
public:
    explicit TKvAVIVideoWorker(TKvAVIStream* stream);
    ~TKvAVIVideoWorker() override;

    // wanted: the output format, or null for the format that suits the display.
    void BeginReading(win::BITMAPINFOHEADER* wanted);
    // The DIB of frame pos, owned by the worker until its next GetDIB, BeginReading or EndReading.
    win::BITMAPINFOHEADER* GetDIB(std::int32_t pos);
    void EndReading();
    bool Reading() const { return m_reading; }

private:
    win::PGETFRAME m_frame = nullptr;
    bool m_reading = false;
    std::vector<std::uint8_t> m_formatBuffer;
    std::vector<std::uint8_t> m_rawBuffer;
};

class TKvCustomAVIFile : public TKvNonVisualComponent {
public:
    explicit TKvCustomAVIFile(host::TComponent* owner);
    ~TKvCustomAVIFile() override;

    virtual win::PAVIFILE GetPFile() const;
    void SetPFile(win::PAVIFILE p);
    void CloseFile();
    bool Opened() const { return m_file != nullptr; }
    void GetFileInfo(win::AVIFILEINFOA& info) const;

    void AccessStreams();
    void OpenStreams();
    void CloseStreams();
    int GetStreamCount();
    TKvAVIStream* GetStreams(int i);
    bool GetEmpty();
    int GetTypedStreamCount(TKvAVIStreamType t);
    TKvAVIStream* GetTypedStreams(TKvAVIStreamType t, int n);

    const std::string& TempFileName() const { return m_tempFileName; }
    void SetTempFileName(std::string name) { m_tempFileName = std::move(name); }

private:
    win::PAVIFILE m_file = nullptr;
    std::unique_ptr<std::vector<TKvAVIStream*>> m_streams; // null: not listed since the file last changed
    std::string m_tempFileName;
};

class TKvAVIFile : public TKvCustomAVIFile {
public:
    explicit TKvAVIFile(host::TComponent* owner) : TKvCustomAVIFile(owner) {}

    const std::string& GetFileName() const { return m_fileName; }
    void SetFileName(const std::string& name);
    TKvAccessMode GetAccessMode() const { return m_accessMode; }
    void SetAccessMode(TKvAccessMode m) { m_accessMode = m; }
    TKvShareMode GetShareMode() const { return m_shareMode; }
    void SetShareMode(TKvShareMode m) { m_shareMode = m; }
    win::DWORD GetOpenFlags() const;

    void OpenFile();
    void CreateFile();

private:
    std::string m_fileName;
    TKvAccessMode m_accessMode = amRead;
    TKvShareMode m_shareMode = smNone;
};

} // namespace kv
