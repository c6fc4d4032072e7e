// The drivers behind the installable-compressor calls. A driver instance answers the ICM_ messages of
// one open handle; VideoDriver turns the messages into typed calls so each codec implements only what
// it supports (everything else answers ICERR_UNSUPPORTED). The built-in drivers are listed by
// builtInDrivers().
#pragma once

#include "platform/vfw/FrameFormat.h"
#include "platform/vfw/Icm.h"
#include "platform/vfw/PixelConvert.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace win::icm {

class Driver {
  public:
    virtual ~Driver() = default;
    virtual LRESULT message(UINT msg, DWORD_PTR dw1, DWORD_PTR dw2) = 0;
};

// What a driver tells about itself, in narrow text (turned into ICINFO's 16-bit units).
struct DriverInfo {
    FOURCC fccHandler = 0;
    DWORD flags = 0; // VIDCF_*
    std::string name;
    std::string description;
};

// The settings block of ICM_GETSTATE / ICM_SETSTATE of the drivers that have settings: the handler it
// belongs to, the quality (0..10000) and the key-frame rate (0: key frames only when asked for).
struct DriverState {
    DWORD quality = 0;
    DWORD keyFrameRate = 0;
};
constexpr std::size_t kStateBytes = 12;
std::vector<std::uint8_t> packState(FOURCC handler, const DriverState& state);
// The state in a block, or nullopt when the block is not one of this handler's (wrong size, handler or
// values out of range).
std::optional<DriverState> unpackState(FOURCC handler, std::span<const std::uint8_t> block);

class VideoDriver : public Driver {
  public:
    LRESULT message(UINT msg, DWORD_PTR dw1, DWORD_PTR dw2) final;

  protected:
    virtual DriverInfo info() const = 0;
    // Compression: in is the input format; out the output format or null (query: any output).
    virtual LRESULT compressQuery(const BITMAPINFOHEADER*, const BITMAPINFOHEADER*) {
        return ICERR_UNSUPPORTED;
    }
    // Writes the output format for in into out (when out is set) and returns its size in bytes, or an
    // ICERR_ error (negative) when in cannot be compressed.
    virtual LRESULT compressFormat(const BITMAPINFOHEADER*, BITMAPINFOHEADER*) { return ICERR_UNSUPPORTED; }
    virtual LRESULT compressMaxSize(const BITMAPINFOHEADER*, const BITMAPINFOHEADER*) { return 0; }
    virtual LRESULT compressBegin(const BITMAPINFOHEADER*, const BITMAPINFOHEADER*) {
        return ICERR_UNSUPPORTED;
    }
    virtual LRESULT compress(ICCOMPRESS&) { return ICERR_UNSUPPORTED; }
    virtual LRESULT compressEnd() { return ICERR_OK; }
    virtual LRESULT decompressQuery(const BITMAPINFOHEADER*, const BITMAPINFOHEADER*) {
        return ICERR_UNSUPPORTED;
    }
    virtual LRESULT decompressFormat(const BITMAPINFOHEADER*, BITMAPINFOHEADER*) { return ICERR_UNSUPPORTED; }
    virtual LRESULT decompressBegin(const BITMAPINFOHEADER*, const BITMAPINFOHEADER*) {
        return ICERR_UNSUPPORTED;
    }
    virtual LRESULT decompress(const ICDECOMPRESS&) { return ICERR_UNSUPPORTED; }
    virtual LRESULT decompressEnd() { return ICERR_OK; }
    // Settings; drivers without any have no state and no quality.
    virtual bool hasState() const { return false; }
    virtual DriverState defaults() const { return {}; }
    // The current settings: the defaults until a state was set.
    DriverState settings() const { return m_stateSet ? m_state : defaults(); }

  private:
    LRESULT getInfo(ICINFO* info, DWORD size) const;
    LRESULT getState(void* block, DWORD size) const;
    LRESULT setState(const void* block, DWORD size);
    LRESULT decompressEx(UINT msg, const ICDECOMPRESSEX* ex, DWORD size);
    LRESULT framesInfo(const ICCOMPRESSFRAMES* info, DWORD size);

    DriverState m_state{};
    bool m_stateSet = false;
};

// A built-in driver: its handler, the other handlers it answers to when opened, and its factory.
struct DriverClass {
    FOURCC fccHandler;
    std::vector<FOURCC> aliases;
    std::function<std::unique_ptr<Driver>()> create;
};
// In enumeration order: uncompressed, RLE8, then the libavcodec drivers the installed library can run.
const std::vector<DriverClass>& builtInDrivers();

std::unique_ptr<Driver> makeDibDriver();
std::unique_ptr<Driver> makeRleDriver();
// The libavcodec drivers whose codecs the library has, in enumeration order.
std::vector<DriverClass> avDriverClasses();

// ---- helpers shared by the drivers ----

// FOURCCs compared without regard to the case of their letters.
bool sameFourcc(DWORD a, DWORD b);

// Bytes of a format block: for DIB formats, everything before the pixels as the parsed DIB layout
// places it; for codec formats the header (biSize) and any colour table. 0 when the header is not
// plausible.
std::size_t formatBytes(const BITMAPINFOHEADER* h);
// The format block as a span (empty when formatBytes is 0).
std::span<const std::uint8_t> formatSpan(const BITMAPINFOHEADER* h);
// Colour entries stored in a format of 8 bits or less (biClrUsed or the full table).
DWORD colourCount(const BITMAPINFOHEADER* h);

// An uncompressed input the compressors take: BI_RGB with one of the given bit depths, sensible size.
bool plainRgbInput(const BITMAPINFOHEADER* h, std::initializer_list<int> depths);

// Writes decompressed pictures into a caller's buffer: the caller's output format (checked against the
// source with the frame decompressor's rules) and a row converter from the source's pixels.
class DibWriter {
  public:
    // Null out asks for the default: 24-bit, or 8-bit with the source's colours for paletted sources.
    bool open(const vfw::SourceFormat& source, const BITMAPINFOHEADER* out);
    const vfw::OutputFormat& format() const { return m_format; }
    void setPalette(std::span<const RGBQUAD> palette) { m_converter->setPalette(palette); }
    // Row y from the top of the picture in the output buffer.
    std::uint8_t* row(void* bits, int y) const;
    void convertRow(const std::uint8_t* src, std::uint8_t* dst) { m_converter->convert(src, dst, m_width); }
    void convertIndices(const std::uint8_t* src, std::uint8_t* dst) const {
        m_converter->convertIndices(src, dst, m_width);
    }
    std::size_t stride() const { return m_stride; }

  private:
    vfw::OutputFormat m_format;
    std::unique_ptr<vfw::RowConverter> m_converter;
    int m_width = 0;
    int m_height = 0;
    std::size_t m_stride = 0;
};

// The decompression side of the built-in drivers: the source format is parsed from the input header
// (of the kind the driver takes), checked against the caller's output format, and held
// between begin and end with the writer of the output rows.
class BuiltInDecompressor : public VideoDriver {
  protected:
    virtual vfw::SourceKind sourceKind() const = 0;
    // Called when a decompression begins, after m_source and m_writer are set.
    virtual void begun() {}

    LRESULT decompressQuery(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) override;
    LRESULT decompressFormat(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out) override;
    LRESULT decompressBegin(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) override;
    LRESULT decompressEnd() override;

    // The source format of in when it is of this driver's kind (8 bits or more for raw DIBs).
    std::optional<vfw::SourceFormat> parseSource(const BITMAPINFOHEADER* in) const;

    vfw::SourceFormat m_source;
    DibWriter m_writer;
    bool m_begun = false;
};

// Encodes one line of 8-bit pixels as BI_RLE8 runs (without the end-of-line code) into out, which has
// room for 2 * width bytes; returns the bytes written.
std::size_t encodeRle8Line(const std::uint8_t* row, std::size_t width, std::uint8_t* out);

// The format a decompressor offers by default for a source: 24-bit BI_RGB, or 8-bit with the source's
// colour table for 8-bit sources. Returns the bytes of the format; writes it when out is set.
LRESULT defaultDecompressFormat(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out);

} // namespace win::icm
