// TFolderDialog: a non-visual component that lets the user pick a folder in the shell's folder browser
// and returns its path. Beyond the plain browser it sets the window's caption, places the window (over
// the parent, on the screen or at a designed point), preselects a folder by path or ID list, shows the
// selected path shortened with an ellipsis in the status line, enables OK only for items with a path,
// and can put a copy of a button or check box of the application's form into the browser window.
#pragma once

#include "platform/ui/Dialogs.h"
#include "platform/ui/ShellFolders.h"
#include "platform/widgets/FolderBrowser.h"
#include "platform/widgets/StdCtrls.h"

#include <cstdint>
#include <memory>
#include <string>

namespace kv {

enum TFolderDialogOption {
    bfFileSysDirsOnly,      // only file-system folders can be chosen
    bfDontGoBelowDomain,    // no network folders below the domain
    bfStatusText,           // the browser has a status line
    bfFileSysAncestors,     // only file-system ancestors can be chosen
    bfBrowseForComputer,    // only computers can be chosen
    bfBrowseForPrinter,     // only printers can be chosen
    bfBrowseIncludeFiles,   // files are listed too
    bfShowPathInStatusArea, // the status line shows the selected path
    bfSyncCustomButton,     // the extra button is enabled and disabled with OK
    bfAlignCustomButton,    // the extra button sits at the left of the button row
    bfScreenCenter,         // the window is centred horizontally on the screen, in its upper third
    bfParentCenter,         // the window is centred horizontally over the parent, a quarter down
    bfResizeCustomButton,   // the extra button takes the Cancel button's size
};

// A set of TFolderDialogOption, bit n for ordinal n.
using TFolderDialogOptions = std::uint16_t;
constexpr TFolderDialogOptions FolderOption(TFolderDialogOption o) {
    return TFolderDialogOptions(1u << unsigned(o));
}
constexpr TFolderDialogOptions DefaultFolderDialogOptions = 0x0B85;

enum TShellFolder : std::uint8_t {
    sfoDesktopExpanded,
    sfoDesktop,
    sfoPrograms,
    sfoControlPanel,
    sfoPrinters,
    sfoPersonal,
    sfoFavorites,
    sfoStartup,
    sfoRecent,
    sfoSendto,
    sfoRecycleBin,
    sfoStartMenu,
    sfoDesktopDirectory,
    sfoMyComputer,
    sfoNetwork,
    sfoNetworkNeighborhood,
    sfoFonts,
    sfoTemplates,
    sfoCommonStartMenu,
    sfoCommonPrograms,
    sfoCommonStartup,
    sfoCommonDesktopDirectory,
    sfoAppData,
    sfoPrintHood,
};

// The special-folder identifier of a member; -1 for sfoDesktopExpanded (no root).
int ShellFolderCSIDL(TShellFolder folder);

// The browser's standard layout in pixels, from dialog units through the dialog base units.
struct FolderDialogLayout {
    int referenceWidth;
    int referenceHeight;
    win::RECT statusRect;
    win::RECT cancelRect;
};
// x × baseX div 4, y × baseY div 8, (x + width) × baseX div 4, (y + height) × baseY div 8.
win::RECT GetDlgCtlPixelRect(int x, int y, int width, int height);
const FolderDialogLayout& FolderLayout();

class TFolderDialog : public host::TCommonDialog {
  public:
    explicit TFolderDialog(host::TComponent* AOwner);
    ~TFolderDialog() override;

    bool Execute() override;
    virtual void PositionWindow();
    void CenterOnParent();
    // Passes a message to the component's own window procedure, the path a message of the browser takes.
    win::LRESULT Perform(win::UINT Msg, win::WPARAM WParam, win::LPARAM LParam);

    bool GetPathFromIDList(win::LPCITEMIDLIST List, std::string& Path);
    bool GetIDListFromPath(const std::string& Path, win::LPITEMIDLIST& List);
    win::LPITEMIDLIST CloneIDListFrom(win::LPCITEMIDLIST List);
    void FreeIDList(win::LPITEMIDLIST& List);
    void ReplaceSelection(win::LPCITEMIDLIST List);
    void EnableOK(bool Enable);
    void DoChange();
    static win::IMalloc* MAlloc();
    static win::IShellFolder* Desktop();

    // ---- published ----
    bool GetCtl3D() const { return true; }
    void SPVDummyCtl3D(bool) {}
    int GPVDesignedTop() const { return m_designedTop; }
    void SPVDesignedTop(int Value);
    int GPVDesignedLeft() const { return m_designedLeft; }
    void SPVDesignedLeft(int Value);
    std::string GPVCaption() const;
    void SPVCaption(const std::string& Value);
    std::string GPVDirectory() const;
    void SPVDirectory(const std::string& Value);
    const std::string& GetText() const { return m_text; }
    void SetText(const std::string& Value) { m_text = Value; }
    TFolderDialogOptions GetOptions() const { return m_options; }
    void SPVOptions(TFolderDialogOptions Value);
    TShellFolder GetRootFolder() const { return m_rootFolder; }
    void SPVRootFolder(TShellFolder Value);
    // The template of the extra button: a TButton or a TCheckBox of the application's form.
    host::TWinControl* GPVCustomButton() const { return m_customButton; }
    void SPVCustomButton(host::TWinControl* Value);
    host::TNotifyEvent OnChange;

    // ---- run time ----
    win::HWND GPVHandle() const { return m_handle; }
    host::TWinControl* GPVParent();
    void SPVParent(host::TWinControl* Value);
    win::HWND GPVParentHandle();
    std::string GPVSelectionPath();
    void SPVSelectionPath(const std::string& Value);
    win::LPCITEMIDLIST GetSelectionPIDL() const { return m_selectionList; }
    void SPVSelectionPIDL(win::LPCITEMIDLIST Value);
    void SPVStatusText(const std::string& Value);
    const std::string& GetStatusText() const { return m_statusText; }
    const std::string& GetDisplayName() const { return m_displayName; }
    std::int32_t GetImageIndex() const { return m_imageIndex; }
    win::ULONG GetSelectionAttributes() const { return m_selectionAttributes; }
    // The window of the extra button while the browser is open, else 0.
    win::HWND CustomButtonWindow() const { return m_clone; }
    win::HWND OKButton() const { return m_okButton; }

    // Shortens text to the status line with the browser's font and shows it there.
    void FitStatusText(const std::string& Text);

  protected:
    void Notification(host::TComponent* AComponent, host::TOperation Operation) override;
    // Makes the extra button in the browser window from the template; 0 when it cannot be made.
    virtual win::HWND CreateCustomControl(host::TWinControl* Template);
    win::LRESULT WndProc(win::UINT Msg, win::WPARAM WParam, win::LPARAM LParam);
    win::LRESULT DefaultHandler(win::UINT Msg, win::WPARAM WParam, win::LPARAM LParam);

  private:
    static int BrowseCallback(win::HWND Wnd, win::UINT Msg, win::LPARAM LParam, win::LPARAM Data);
    static win::LRESULT thunk(win::HWND Wnd, win::UINT Msg, win::WPARAM WParam, win::LPARAM LParam);
    void BFFMInitialized();
    void BFFMSelChanged(win::LPCITEMIDLIST List);
    win::LRESULT WMCommand(win::WPARAM WParam, win::LPARAM LParam);
    int BffScaledX(int v) const;
    int BffScaledY(int v) const;
    void destroyClone();
    void SPVParentQuiet(host::TWinControl* Value);

    win::HWND m_handle = nullptr;
    win::WNDPROC m_previousProc = nullptr;
    host::TWinControl* m_parent = nullptr;
    std::string m_title = "Browse for Folder";
    std::string m_text;
    std::string m_statusText;
    std::string m_displayName;
    std::int32_t m_imageIndex = 0;
    std::string m_directory;
    TFolderDialogOptions m_options = DefaultFolderDialogOptions;
    TShellFolder m_rootFolder = sfoDesktopExpanded;
    std::int32_t m_clientWidth = 0;
    std::int32_t m_clientHeight = 0;
    win::HWND m_okButton = nullptr;
    host::TWinControl* m_customButton = nullptr;
    win::HWND m_clone = nullptr;
    bool m_shownOnce = false;
    win::BROWSEINFOA m_browseInfo{};
    std::int16_t m_designedTop = 0;
    std::int16_t m_designedLeft = 0;
    win::LPITEMIDLIST m_rootList = nullptr;
    win::LPITEMIDLIST m_resultList = nullptr;
    win::LPITEMIDLIST m_selectionList = nullptr;
    win::ULONG m_selectionAttributes = 0;
    // Execute's record while the browser runs, and whether this object still exists when it returns.
    win::BROWSEINFOA* m_activeInfo = nullptr;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace kv
