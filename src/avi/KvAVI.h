// AVI files and streams over the AVIFile interface: the file component with its stream list, the
// reference-counted stream objects (positions, times, key frames, raw samples and data chunks), the video
// worker that hands out each frame as a packed DIB, and the compressor that saves streams into a new file
// with the compression chosen for each. Every failing AVIFile call becomes an EKvAVIError.
#pragma once

#include "core/KvObj.h"
#include "platform/ui/SysUtils.h"
#include "platform/vfw/AviSave.h"
#include "platform/vfw/Vfw.h"

#include <functional>
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
// Searches of FindSample: where to look (FIND_FROM_START, FIND_NEXT, FIND_PREV) and for what (FIND_KEY,
// FIND_FORMAT, FIND_ANY).
enum TKvAVIFindDirection { fdFromStart, fdNext, fdPrev };
enum TKvAVIFindType { ftKeyFrame, ftFormatChange, ftNonEmpty };

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

    // Opens stream Index of the given type (stOther: of any type) straight from a file, for reading
    // and writing, sharing it with everyone.
    void LoadFromFile(const std::string& FileName, TKvAVIStreamType StreamType, std::int32_t Index);

    // Positions are sample numbers, times milliseconds; each raises when the library has no answer.
    std::int32_t GetEndPos() const;
    std::int32_t GetStartPosTime() const;
    std::int32_t GetEndPosTime() const;
    std::int32_t GetLengthTime() const;
    std::int32_t TimeToSamples(std::int32_t ms) const;
    std::int32_t SamplesToTime(std::int32_t pos) const;
    // dwRate / dwScale; a scale of 0 raises host::EZeroDivide.
    long double GetFrameRate() const;
    std::string GetName() const;

    // Searches answer -1 when there is no such sample; they never raise for that.
    std::int32_t FindSample(std::int32_t pos, TKvAVIFindDirection direction, TKvAVIFindType type) const;
    bool IsKeyFrame(std::int32_t pos) const;
    std::int32_t PrevKeyFrame(std::int32_t pos) const;
    std::int32_t NextKeyFrame(std::int32_t pos) const;
    std::int32_t NearestKeyFrame(std::int32_t pos) const;
    std::int32_t PrevKeyFrameTime(std::int32_t ms) const;
    std::int32_t NextKeyFrameTime(std::int32_t ms) const;
    std::int32_t NearestKeyFrameTime(std::int32_t ms) const;

    // count times the size in bytes of the sample at pos.
    std::int32_t SampleSize(std::int32_t pos, std::int32_t count) const;
    // The fixed size of the stream's samples, 0 when they vary (one chunk per sample).
    std::int32_t StreamSampleSize() const;

    // Raw samples. Read with a null Buffer and BufSize 0 only asks for the sizes.
    void Read(std::int32_t Start, void* Buffer, std::int32_t BufSize, std::int32_t Samples,
              std::int32_t* BytesRead = nullptr, std::int32_t* SamplesRead = nullptr) const;
    // Reads exactly Count samples; Buffer must hold SampleSize(Start, Count) bytes.
    void ReadSamples(std::int32_t Start, void* Buffer, std::int32_t Count) const;
    // As many whole samples from Start as fit in BufSize bytes; returns how many were read.
    std::int32_t ReadBytes(std::int32_t Start, void* Buffer, std::int32_t BufSize) const;
    // Count samples of the stream's fixed size; streams whose samples vary raise.
    void WriteSamples(std::int32_t Start, const void* Buffer, std::int32_t Count, bool KeyFrame);
    // Size bytes as whole samples of the fixed size (one sample when the size varies).
    void WriteBytes(std::int32_t Start, const void* Buffer, std::int32_t Size, bool KeyFrame);
    void DeleteSamples(std::int32_t Start, std::int32_t Count);
    void SetFormat(std::int32_t pos, const void* Format, std::int32_t Size);

    // Extra data chunks of the stream by chunk id. GetDataSize is 0 for a chunk the stream lacks.
    std::int32_t GetDataSize(win::FOURCC ckid) const;
    void ReadData(win::FOURCC ckid, void* Buffer, std::int32_t Size) const;
    void WriteData(win::FOURCC ckid, const void* Buffer, std::int32_t Size);

    win::DWORD SuggestedBufferSize() const { return m_suggestedBufferSize; }
    void SetSuggestedBufferSize(win::DWORD size) { m_suggestedBufferSize = size; }

protected:
    ~TKvAVIStream() override;

private:
    win::PAVISTREAM m_stream = nullptr;
    win::DWORD m_suggestedBufferSize = 0;
};

// The position in Dest that plays at the time of sample pos of Source (pos itself for one stream).
std::int32_t AVISampleToSample(const TKvAVIStream* Source, const TKvAVIStream* Dest, std::int32_t pos);

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

// Progress of a save: Percent done; setting Abort stops the save.
using TKvAVISaveEvent = std::function<void(host::TObject* Sender, int Percent, bool& Abort)>;

// Collects streams with one compression options record each, lets the user choose the compression,
// keeps the choices in the registry and saves the streams into a new file. Options records and their
// format and parameter blocks are global memory owned by the compressor.
class TKvAVICompressor : public TKvNonVisualComponent {
public:
    explicit TKvAVICompressor(host::TComponent* owner) : TKvNonVisualComponent(owner) {}
    ~TKvAVICompressor() override;

    win::HWND GetOwnerHandle() const { return m_ownerHandle; }
    void SetOwnerHandle(win::HWND h) { m_ownerHandle = h; }
    bool GetChooseKeyFrame() const { return m_chooseKeyFrame; }
    void SetChooseKeyFrame(bool v) { m_chooseKeyFrame = v; }
    bool GetChooseDataRate() const { return m_chooseDataRate; }
    void SetChooseDataRate(bool v) { m_chooseDataRate = v; }
    bool GetChoosePreview() const { return m_choosePreview; }
    void SetChoosePreview(bool v) { m_choosePreview = v; }
    TKvAVISaveEvent OnSave;

    // Adds s (taking a reference) with default options for its type; null is ignored.
    void AddStream(TKvAVIStream* s);
    // Adds every stream of an open file, in file order.
    void AddFile(TKvCustomAVIFile* f);
    void NewSaveOptions(TKvAVIStream* s);
    int GetStreamCount() const;
    TKvAVIStream* GetStreams(int i) const;
    // Record i, or null when there is none.
    win::AVICOMPRESSOPTIONS* GetOptions(int i) const;

    // Shows the platform's options dialog over the owner window; true when the user confirmed.
    bool ChooseOptions();
    // Saves every stream into FileName; false when OnSave aborted. Raises "No data to save" without
    // streams and EKvAVIError for any failure of the save.
    bool SaveToFile(const std::string& FileName);

    // The records as one binary value: per record the 44-byte stored form, its format data, then its
    // parameters. Nothing is written without records.
    void SaveOptionsToRegistry(win::HKEY root, const std::string& key, const std::string& name) const;
    // Gives each stored record to the first stream of its type. False, with nothing changed, when there
    // are no records, no value, or the value is not a well-formed list of records.
    bool LoadOptionsFromRegistry(win::HKEY root, const std::string& key, const std::string& name);
    // The same from the bytes of a stored value.
    bool loadOptionsFromBytes(const std::uint8_t* data, std::size_t size);

    void FreeOptions();
    void FreeStreams();

private:
    win::HWND ownerWindow() const;

    win::HWND m_ownerHandle = nullptr;
    std::unique_ptr<std::vector<TKvAVIStream*>> m_streams;
    std::unique_ptr<std::vector<win::AVICOMPRESSOPTIONS*>> m_options;
    bool m_chooseKeyFrame = false;
    bool m_chooseDataRate = false;
    bool m_choosePreview = false;
};

// The size of one options record in its stored (32-bit) form.
constexpr std::size_t kStoredOptionsSize = 44;

// The records as stored: each record's 44-byte form with its pointer fields 0, then cbFormat bytes of
// format data and cbParms bytes of parameters (zeros where the record has no block).
std::vector<std::uint8_t> aviOptionsToBytes(const std::vector<win::AVICOMPRESSOPTIONS*>& records);
// One stored record with copies of its data; its pointer fields are null.
struct StoredAviOptions {
    win::AVICOMPRESSOPTIONS record{};
    std::vector<std::uint8_t> format;
    std::vector<std::uint8_t> parms;
};
// Parses a stored value; false when a record or its data reaches past the end of the value.
bool aviOptionsFromBytes(const std::uint8_t* data, std::size_t size, std::vector<StoredAviOptions>& records);

// The filter of the AVI open and save dialogs ("name|pattern|..."): the types the platform reads or
// writes, or the built-in "AVI-Files(*.avi)|*.avi|Wave-Files(*.wav)|*.wav" when it gives no list.
std::string BuildFilter(bool saving);
// A list of NUL-ended parts closed by a second NUL, as "part|part|...", read within size bytes.
std::string filterFromNulList(const char* list, std::size_t size);

} // namespace kv
