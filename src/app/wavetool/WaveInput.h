// A scanned wave file owned for the length of a command, with messages that say in words why a file
// could not be read; and what kind of sample data a format holds, so that each command can refuse the
// formats it does not take and name the command that does.
#pragma once

#include "wave/KvWaveIO.h"

#include <cstddef>
#include <string>

namespace wavetool {

// Owns a control block and releases it (closing a file left open).
class WaveBlock {
  public:
    WaveBlock() = default;
    ~WaveBlock() { reset(); }
    WaveBlock(const WaveBlock&) = delete;
    WaveBlock& operator=(const WaveBlock&) = delete;

    kv::PWAVEIOCB& get() { return m_cb; }
    kv::PWAVEIOCB operator->() const { return m_cb; }
    explicit operator bool() const { return m_cb != nullptr; }
    void reset() {
        if (m_cb) kv::wioFreeFileInfo(m_cb);
        m_cb = nullptr;
    }

  private:
    kv::PWAVEIOCB m_cb = nullptr;
};

// Scans a RIFF WAVE file into `block`; false with the cause in `error` (a missing or unreadable file,
// a file of another kind, a WAVE file without a format).
bool scanWaveFile(const std::string& path, WaveBlock& block, std::string& error);

// The kinds of sample data the commands tell apart.
enum class SampleKind {
    Pcm,         // 8- or 16-bit PCM, mono or stereo: what convert and encode take
    Adpcm,       // Microsoft ADPCM in the standard layout: what decode takes
    OtherPcm,    // PCM of another depth or channel count
    Unsupported, // any other format
};

struct FormatClass {
    SampleKind kind;
    std::string words; // what the data is, in words: "24-bit PCM", "Microsoft ADPCM", "IEEE float"
};

// `bytes` is how much of the record is stored (extra bytes past the 18 are read only within it).
FormatClass classifyFormat(const kv::TWaveFormatEx* wfx, std::size_t bytes);
// The bytes of the format record a control block holds.
std::size_t formatBytes(const kv::TWAVEIOCB* cb);

// A plain PCM record for an 8/16-bit mono/stereo PCM format, also when the file states it as
// EXTENSIBLE with the PCM sub-format (the samples are the same); false for anything else.
bool plainPcmFormat(const kv::TWaveFormatEx* wfx, std::size_t bytes, kv::TWaveFormatEx& pcm);

// The refusal for a file that `command` does not take: what it is, and which command takes it or that
// none does.
std::string refusal(const FormatClass& format, const std::string& command);

// Bytes of a frame (block) of the block's format, at least 1.
int frameBytes(const kv::TWaveFormatEx& wfx);

} // namespace wavetool
