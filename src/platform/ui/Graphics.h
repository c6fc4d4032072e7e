// The bitmap object: a device bitmap or DIB section with an optional palette, shared between copies
// until one of them writes to its pixels, and saved as a BMP file.
#pragma once

#include "platform/gdi/Gdi.h"
#include "platform/ui/Classes.h"
#include "platform/ui/SysUtils.h"

#include <cstdint>
#include <string>

namespace host {

enum class TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

// Raised for an operation the bitmap cannot carry out (bad handle, row out of range, empty bitmap).
class EInvalidGraphicOperation : public Exception {
  public:
    using Exception::Exception;
};

// SaveToFile raises EFCreateError when it cannot create or write its file; the message names the file
// and the cause.

// Copies made by Assign share one image (bitmap handle, palette and pixel memory) through an atomic
// reference count, so a copy may be saved on another thread while the original is used and changed:
// the first write access through ScanLine gives the writer its own image. One TBitmap object itself
// must not be used from two threads at once.
class TBitmap : public TPersistent {
  public:
    TBitmap();
    ~TBitmap() override;

    win::HBITMAP GetHandle() const;
    // Takes the bitmap handle over; the previous image (bitmap and palette) is released.
    void SetHandle(win::HBITMAP handle);

    win::HPALETTE GetPalette() const;
    // The same value again does nothing. Otherwise the bitmap is redrawn with the new palette selected
    // and realised (on a palette screen its device indices change) and owns the palette from then on.
    void SetPalette(win::HPALETTE palette);

    TPixelFormat GetPixelFormat() const;
    // Converts the image: pf24bit gives a bottom-up 24-bit DIB section; pfDevice a device bitmap.
    void SetPixelFormat(TPixelFormat format);

    // Shares the source's image; a null source empties this bitmap.
    void Assign(const TPersistent* source) override;

    int GetWidth() const;
    int GetHeight() const;
    bool Empty() const;

    // Address of pixel row `row` counted from the top; the writable form unshares the image first.
    std::uint8_t* ScanLine(int row);
    const std::uint8_t* ScanLine(int row) const;

    // Writes the image as a BMP file. The file appears complete or not at all: the data go to a
    // temporary file in the same folder that is renamed over the target when everything is written.
    void SaveToFile(const std::string& path) const;

  private:
    struct Image;
    static Image* newImage(win::HBITMAP handle, win::HPALETTE palette);
    static void release(Image* image);
    void replace(Image* image);
    void unshare();
    void checkRow(int row) const;

    Image* m_image = nullptr;
};

} // namespace host
