// The bitmap object: a device bitmap or DIB section with an optional palette, shared between copies
// until one of them writes to its pixels, and saved as a BMP file.
#pragma once

#include "platform/gdi/Gdi.h"
#include "platform/ui/Canvas.h"
#include "platform/ui/Classes.h"
#include "platform/ui/SysUtils.h"

#include <cstdint>
#include <memory>
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
// the first write access through ScanLine or the canvas gives the writer its own image. One TBitmap
// object itself must not be used from two threads at once.
//
// The canvas draws straight into the image's pixel memory (the memory ScanLine and SaveToFile use) through
// a memory DC that holds the bitmap selected; the DC is released whenever the image is replaced. A
// bitmap handle can be selected into one DC at a time: a bitmap canvas (or a new size or monochrome
// conversion) that needs a handle another bitmap canvas holds takes it from that canvas, which makes its
// DC again on its next call. Canvases of copies that share an image are therefore used on one thread.
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
    // A new size gives a new image of the same pixel format (a device bitmap of the screen's depth when
    // none was set, or a monochrome one) with the old pixels at the top left and white elsewhere. A zero
    // width or height leaves no image but remembers the other dimension and the pixel format.
    void SetWidth(int width);
    void SetHeight(int height);
    void SetSize(int width, int height);
    // True when the bitmap has no image (no handle).
    bool Empty() const;

    // A 1-bit device bitmap (black 0, white 1). Setting it converts the image: colours that are not
    // white become black; clearing it gives a device bitmap of the screen's depth.
    bool GetMonochrome() const;
    void SetMonochrome(bool monochrome);

    // The canvas drawing into this bitmap, made on first use and owned by the bitmap.
    TCanvas& GetCanvas();
    // Releases the canvas's DC (it is made again on the next drawing call), so that the bitmap handle
    // can be selected into another DC.
    void FreeContext();

    // Address of pixel row `row` counted from the top; the writable form unshares the image first.
    std::uint8_t* ScanLine(int row);
    const std::uint8_t* ScanLine(int row) const;

    // Writes the image as a BMP file. The file appears complete or not at all: the data go to a
    // temporary file in the same folder that is renamed over the target when everything is written.
    void SaveToFile(const std::string& path) const;

    // The canvas's class, defined with the bitmap's sources.
    class BitmapCanvas;

  private:
    struct Image;
    static Image* newImage(win::HBITMAP handle, win::HPALETTE palette);
    static void release(Image* image);
    void replace(Image* image);
    void unshare();
    void checkRow(int row) const;

    void resize(int width, int height);

    Image* m_image = nullptr;
    // Dimensions and format while there is no image (a zero width or height, or a format set first).
    int m_width = 0;
    int m_height = 0;
    TPixelFormat m_format = TPixelFormat::pfDevice;
    bool m_monochrome = false;
    std::unique_ptr<BitmapCanvas> m_canvas;
};

} // namespace host
