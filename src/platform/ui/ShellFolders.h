// The shell's namespace on this platform: item ID lists, the shell's task allocator, the desktop folder,
// path conversion and the special folders.
//
// The namespace: the desktop (the empty list) holds the file system's root "/" (the part a drive root
// plays elsewhere) and a virtual "Computer" folder that has no path. A folder path is the list of the
// root item followed by one item per path component, so "/home/ann" is [root][home][ann]. An item is a
// 16-bit byte count (the count included), a kind byte and the UTF-8 name; a count of 0 ends the list.
#pragma once

#include "platform/win/Files.h"
#include "platform/win/WinError.h"
#include "platform/win/WinTypes.h"

#include <string>

namespace win {

using USHORT = std::uint16_t;
using OLECHAR = char16_t;
using LPCOLESTR = const OLECHAR*;

struct SHITEMID {
    USHORT cb;
    BYTE abID[1];
};
struct ITEMIDLIST {
    SHITEMID mkid;
};
using LPITEMIDLIST = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;

constexpr HRESULT E_INVALIDARG = HRESULT(0x80070057u);
constexpr HRESULT E_NOTIMPL = HRESULT(0x80004001u);
constexpr HRESULT HRESULT_FILE_NOT_FOUND = HRESULT(0x80070002u);

// The shell's task allocator. DidAlloc answers 1 for a block it handed out and has not freed, else 0.
struct IMalloc {
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual void* Alloc(std::size_t size) = 0;
    virtual void* Realloc(void* block, std::size_t size) = 0;
    virtual void Free(void* block) = 0;
    virtual std::size_t GetSize(void* block) = 0;
    virtual int DidAlloc(void* block) = 0;
    virtual void HeapMinimize() = 0;

  protected:
    ~IMalloc() = default;
};

// Attribute flags of shell items.
constexpr ULONG SFGAO_CANCOPY = 0x00000001;
constexpr ULONG SFGAO_CANMOVE = 0x00000002;
constexpr ULONG SFGAO_CANLINK = 0x00000004;
constexpr ULONG SFGAO_CANRENAME = 0x00000010;
constexpr ULONG SFGAO_CANDELETE = 0x00000020;
constexpr ULONG SFGAO_HASPROPSHEET = 0x00000040;
constexpr ULONG SFGAO_DROPTARGET = 0x00000100;
constexpr ULONG SFGAO_LINK = 0x00010000;
constexpr ULONG SFGAO_SHARE = 0x00020000;
constexpr ULONG SFGAO_READONLY = 0x00040000;
constexpr ULONG SFGAO_HIDDEN = 0x00080000;
constexpr ULONG SFGAO_FILESYSANCESTOR = 0x10000000;
constexpr ULONG SFGAO_FOLDER = 0x20000000;
constexpr ULONG SFGAO_FILESYSTEM = 0x40000000;
constexpr ULONG SFGAO_HASSUBFOLDER = 0x80000000;

// The desktop folder: parsing paths into ID lists and the attributes of items.
struct IShellFolder {
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    // Parses an absolute path (UTF-16) of an existing file or folder; "." and ".." parts and repeated
    // separators are resolved, a trailing separator ignored. The list comes from the shell's allocator.
    // attributes, when given, is the mask asked for on entry and receives those of the item's attributes.
    virtual HRESULT ParseDisplayName(HWND owner, void* bindContext, LPCOLESTR name, ULONG* eaten,
                                     LPITEMIDLIST* list, ULONG* attributes) = 0;
    // The attributes the items have in common, limited to the mask in *inOut (all when it is 0).
    virtual HRESULT GetAttributesOf(UINT count, LPCITEMIDLIST* lists, ULONG* inOut) = 0;

  protected:
    ~IShellFolder() = default;
};

// Each call hands out a reference to the one allocator / desktop folder of the process.
HRESULT SHGetMalloc(IMalloc** malloc);
HRESULT SHGetDesktopFolder(IShellFolder** folder);

// The path of a file-system item into a buffer of MAX_PATH (260) bytes; the desktop's list gives the
// desktop folder. FALSE (and an empty buffer) for a virtual item, a malformed list or a path that does
// not fit.
BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, LPSTR path);

// Special folders.
constexpr int CSIDL_DESKTOP = 0x00;
constexpr int CSIDL_PROGRAMS = 0x02;
constexpr int CSIDL_CONTROLS = 0x03;
constexpr int CSIDL_PRINTERS = 0x04;
constexpr int CSIDL_PERSONAL = 0x05;
constexpr int CSIDL_MYMUSIC = 0x0D;
constexpr int CSIDL_MYVIDEO = 0x0E;
constexpr int CSIDL_DESKTOPDIRECTORY = 0x10;
constexpr int CSIDL_DRIVES = 0x11;
constexpr int CSIDL_NETWORK = 0x12;
constexpr int CSIDL_TEMPLATES = 0x15;
constexpr int CSIDL_APPDATA = 0x1A;
constexpr int CSIDL_MYPICTURES = 0x27;
constexpr int CSIDL_PROFILE = 0x28;
// The list of a special folder from the shell's allocator. Folders of this platform: the desktop, home
// (profile), the XDG user folders (documents, desktop, music, pictures, videos, templates), the
// applications menu (programs) and the configuration folder (application data) where they exist, and
// the virtual "Computer" (drives). The others (network, printers, control panel, ...) have no
// counterpart: E_FAIL.
HRESULT SHGetSpecialFolderLocation(HWND owner, int csidl, LPITEMIDLIST* list);

// Frees a list of the shell's allocator (nothing for 0).
void ILFree(LPITEMIDLIST list);
// The bytes of the list with its terminator; 0 for none or a malformed list.
UINT ILGetSize(LPCITEMIDLIST list);
// A copy through the shell's allocator; 0 for none or a malformed list.
LPITEMIDLIST ILClone(LPCITEMIDLIST list);
// first followed by second, through the shell's allocator.
LPITEMIDLIST ILCombine(LPCITEMIDLIST first, LPCITEMIDLIST second);
BOOL ILIsEqual(LPCITEMIDLIST a, LPCITEMIDLIST b);

// ---- our own helpers ----
// The list of an absolute folder or file path, through the shell's allocator, without touching the file
// system; 0 for a relative path.
LPITEMIDLIST idListFromPath(const std::string& path);
// The path of a list ("" for virtual items or a malformed list; the desktop folder for the empty list).
std::string pathOfIDList(LPCITEMIDLIST list);
// The name shown for the list's last item ("/" for the root, "Computer", the folder's name; the desktop's
// name for the empty list).
std::string displayNameOfIDList(LPCITEMIDLIST list);
// The number of items; -1 for a malformed list.
int idListCount(LPCITEMIDLIST list);
// The virtual "Computer" item's list.
LPITEMIDLIST computerIDList();
// The folder of an XDG user folder key ("DOCUMENTS", "DESKTOP", ...) from user-dirs.dirs, "" when it is
// not set; home for DESKTOP when nothing is set and ~/Desktop exists.
std::string xdgUserDir(const std::string& key);
std::string homeFolder();
// Attributes of a file-system path (0 when it does not exist).
ULONG attributesOfPath(const std::string& path, ULONG wanted);

} // namespace win
