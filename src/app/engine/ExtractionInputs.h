// What an extraction run is given besides the AVI file: small interfaces, so that the command line
// and the window supply the same engine with their own mode control, folder, progress display and
// frame conversion.
#pragma once

#include "platform/win/WinTypes.h"

#include <string>

namespace app {

// Extraction modes: whole frames, or two line-doubled field images per frame.
enum ExtractionMode { emFrames = 0, emOddFirst = 1, emEvenFirst = 2 };

// The mode, read anew before every frame.
class IModeSource {
public:
    virtual ~IModeSource() = default;
    virtual int Mode() = 0;
};

// The output folder, asked for anew for every file written.
class IOutputFolder {
public:
    virtual ~IOutputFolder() = default;
    virtual std::string Directory() = 0;
};

// The progress display: its maximum, its progress value, shown or hidden; and the busy cursor.
class IProgressDisplay {
public:
    virtual ~IProgressDisplay() = default;
    virtual void SetMaxValue(int value) = 0;
    virtual void SetProgress(int value) = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual void SetBusy(bool busy) {}
};

// Turns one frame's DIB into a device bitmap and a palette (the hidden form's btnExtractClick on
// the window). The run hands both handles to its frame bitmap, which owns them from then on.
class IFrameConversion {
public:
    virtual ~IFrameConversion() = default;
    virtual void btnExtractClick(win::BITMAPINFOHEADER* dib) = 0;
    virtual win::HBITMAP FrameBitmap() const = 0;
    virtual win::HPALETTE FramePalette() const = 0;
};

// Fixed inputs for callers that do not change them during a run.
class FixedMode : public IModeSource {
public:
    explicit FixedMode(int mode) : m_mode(mode) {}
    int Mode() override { return m_mode; }

private:
    int m_mode;
};

class FixedFolder : public IOutputFolder {
public:
    explicit FixedFolder(std::string dir) : m_dir(std::move(dir)) {}
    std::string Directory() override { return m_dir; }

private:
    std::string m_dir;
};

} // namespace app
