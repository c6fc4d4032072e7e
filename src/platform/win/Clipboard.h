// The clipboard: named formats registered at run time, and one in-process store of global memory
// blocks per format. All calls are thread-safe; the clipboard is open for one thread at a time.
//
// Opening is counted per thread: OpenClipboard from the thread that already holds the clipboard open
// succeeds and nests, and the clipboard closes at the matching CloseClipboard. Another thread's
// OpenClipboard fails until then. Data can only be set, emptied or fetched while it is open.
//
// A desktop UI layer can mirror the store to the desktop clipboard through SetClipboardBackend.
#pragma once

#include "platform/win/WinTypes.h"

#include <memory>
#include <string>
#include <vector>

namespace win {

// Registers a named format; the same name (compared without regard to case) gives the same
// identifier. Identifiers start at 0xC000. An empty name gives 0.
UINT RegisterClipboardFormatA(LPCSTR name);
// The name a format was registered under; false for a format that is not registered.
bool GetClipboardFormatNameA(UINT format, std::string& name);

BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
// Frees all data on the clipboard. Fails when the calling thread does not hold it open.
BOOL EmptyClipboard();
// Puts a global memory block on the clipboard under format, replacing (and freeing) what was there.
// On success the clipboard owns the block and the block is returned; on failure (clipboard not open
// by this thread, no block, not a block of the global heap) nullptr, and the block stays the caller's.
HANDLE SetClipboardData(UINT format, HANDLE mem);
// The block stored under format, owned by the clipboard and valid until it is emptied or the format
// is replaced; nullptr when there is none or the calling thread does not hold the clipboard open.
HANDLE GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);

// One format's contents, as handed to and taken from a backend.
struct ClipboardItem {
    UINT format = 0;
    std::string name; // the registered name; empty for a predefined format
    std::vector<BYTE> bytes;
};

// Mirrors the in-process clipboard to a desktop clipboard. Both calls are made on the thread that
// holds the clipboard open, without the clipboard's internal lock held.
class ClipboardBackend {
public:
    virtual ~ClipboardBackend() = default;
    // At the outermost CloseClipboard after the contents changed: the whole contents, to publish.
    virtual void publish(const std::vector<ClipboardItem>& items) = 0;
    // At the outermost OpenClipboard: when the desktop clipboard was changed by another program since
    // the last publish, its contents (formats by name; unknown names are registered), which then
    // replace the store. Returns false to keep the store as it is.
    virtual bool fetch(std::vector<ClipboardItem>& items) = 0;
};

// Installs (or with nullptr removes) the backend.
void SetClipboardBackend(std::shared_ptr<ClipboardBackend> backend);

} // namespace win
