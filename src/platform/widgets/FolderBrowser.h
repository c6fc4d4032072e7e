// The shell's folder browser: SHBrowseForFolderA as a modal dialog with a lazily loaded folder tree. The
// browser is a window of the window layer (with its items OK, Cancel, the tree, the instruction and the
// status line as child windows), so a callback can subclass it and address its items; the Qt dialog
// shows it. A handler can answer in the dialog's place (tests, programs without a display).
#pragma once

#include "platform/ui/ShellFolders.h"
#include "platform/ui/WindowMessages.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QDialog;

namespace win {

using BFFCALLBACK = int (*)(HWND window, UINT message, LPARAM lParam, LPARAM data);

struct BROWSEINFOA {
    HWND hwndOwner;
    LPCITEMIDLIST pidlRoot;
    LPSTR pszDisplayName; // MAX_PATH bytes
    LPCSTR lpszTitle;     // the instruction above the tree
    UINT ulFlags;
    BFFCALLBACK lpfn;
    LPARAM lParam;
    int iImage;
};

constexpr UINT BIF_RETURNONLYFSDIRS = 0x0001;
constexpr UINT BIF_DONTGOBELOWDOMAIN = 0x0002;
constexpr UINT BIF_STATUSTEXT = 0x0004;
constexpr UINT BIF_RETURNFSANCESTORS = 0x0008;
constexpr UINT BIF_NONEWFOLDERBUTTON = 0x0200;
constexpr UINT BIF_BROWSEFORCOMPUTER = 0x1000;
constexpr UINT BIF_BROWSEFORPRINTER = 0x2000;
constexpr UINT BIF_BROWSEINCLUDEFILES = 0x4000;

constexpr UINT BFFM_INITIALIZED = 1;
constexpr UINT BFFM_SELCHANGED = 2;
constexpr UINT BFFM_SETSTATUSTEXTA = WM_USER + 100;
constexpr UINT BFFM_ENABLEOK = WM_USER + 101;
constexpr UINT BFFM_SETSELECTIONA = WM_USER + 102;

// Item identifiers of the browser window.
constexpr int IDC_BROWSE_TREE = 0x3741;
constexpr int IDC_BROWSE_INSTRUCTION = 0x3742;
constexpr int IDC_BROWSE_STATUS = 0x3743;
constexpr int IDC_BROWSE_NEWFOLDER = 0x3746;

// Runs the browser modally. The callback gets BFFM_INITIALIZED once the window and its items exist,
// then BFFM_SELCHANGED with the new selection's list on every change (the first for the initial
// selection); it may send BFFM_SETSTATUSTEXTA (lParam: text), BFFM_ENABLEOK (lParam: enable) and
// BFFM_SETSELECTIONA (wParam TRUE: lParam is a path; FALSE: an ID list, absolute or below the root) to the
// window. Returns the chosen item's list (absolute, from the shell's allocator) with its display name and
// image index filled in, or 0 for Cancel.
LPITEMIDLIST SHBrowseForFolderA(BROWSEINFOA* info);

} // namespace win

namespace host {

// The state of one open browser: its window, the folder tree and the selection. The dialog shows it;
// a handler drives it directly.
class FolderBrowserSession {
  public:
    struct Node {
        std::vector<win::BYTE> list; // the absolute ID list
        std::string name;
        std::string path; // "" for a virtual item
        Node* parent = nullptr;
        std::vector<std::unique_ptr<Node>> children;
        bool loaded = false;
        bool hidden = false;
        win::LPCITEMIDLIST id() const { return reinterpret_cast<win::LPCITEMIDLIST>(list.data()); }
    };

    explicit FolderBrowserSession(win::BROWSEINFOA& info);
    ~FolderBrowserSession();
    FolderBrowserSession(const FolderBrowserSession&) = delete;
    FolderBrowserSession& operator=(const FolderBrowserSession&) = delete;

    win::HWND Window() const { return m_window; }
    win::UINT Flags() const { return m_info.ulFlags; }
    const std::vector<std::unique_ptr<Node>>& Roots() const { return m_roots; }
    Node* Selection() const { return m_selection; }
    // Lists the node's subfolders (and files with BIF_BROWSEINCLUDEFILES) once, hidden ones left out.
    void Expand(Node* node);
    // Makes node the selection (BFFM_SELCHANGED to the callback on a change).
    void Select(Node* node);
    // Finds (loading the folders on the way) the node of a path or a list; false when it is not in the
    // tree. Hidden folders on the way are shown.
    bool SelectPath(const std::string& path);
    bool SelectList(win::LPCITEMIDLIST list);
    // Makes a folder of that name in the selected folder and selects it; false when it cannot be made.
    bool NewFolder(const std::string& name);
    bool CanMakeFolder() const;

    std::string Title() const;
    std::string Instruction() const;
    std::string StatusText() const;
    bool OkEnabled() const;
    // What the OK and Cancel buttons do (as WM_COMMAND to the window).
    void Ok();
    void Cancel();
    bool Finished() const { return m_finished; }
    bool Accepted() const { return m_accepted; }

    // The Qt dialog while one shows the session (nullptr for a handler without a dialog).
    QDialog* Dialog() const { return m_dialog; }

    // ---- for the dialog that shows the session ----
    std::function<void()> onStateChanged; // title, status, OK, selection
    std::function<void(Node*)> onNodeLoaded;
    std::function<void()> onFinished;
    std::function<void()> onMoved; // the window's place changed through the window layer
    std::function<void()> onFocusTree;
    std::function<void()> onNewFolder; // the New Folder button was clicked
    void SetDialog(QDialog* dialog) { m_dialog = dialog; }
    // Starts the session: sends BFFM_INITIALIZED, makes the initial selection, shows the window.
    void Start();
    // Takes the dialog's place from the window system without telling anyone.
    void NoteGeometry(int x, int y, int width, int height);

  private:
    static win::LRESULT windowProc(win::HWND window, win::UINT message, win::WPARAM wParam,
                                   win::LPARAM lParam);
    win::LRESULT handle(win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
    void makeWindow();
    void buildRoots();
    Node* addNode(Node* parent, std::vector<std::unique_ptr<Node>>& into, win::LPCITEMIDLIST list,
                  bool hidden);
    Node* findPath(const std::string& path);
    void updateOk();
    void changed();
    void finish(bool accepted);

    win::BROWSEINFOA& m_info;
    win::HWND m_window = nullptr;
    std::vector<std::unique_ptr<Node>> m_roots;
    Node* m_selection = nullptr;
    QDialog* m_dialog = nullptr;
    bool m_finished = false;
    bool m_accepted = false;
    bool m_started = false;
    bool m_quiet = false; // moving the window for the window system: no onMoved
};

// Answers the browser in place of the dialog: gets the running session after its start, drives it
// (Select..., Ok or Cancel). With showDialog the Qt dialog is shown too and the handler runs inside its
// event loop (session.Dialog() is the dialog). An empty handler restores the plain dialog. Returns the
// handler installed before.
using TFolderBrowserHandler = std::function<void(FolderBrowserSession& session)>;
TFolderBrowserHandler SetFolderBrowserHandler(TFolderBrowserHandler handler, bool showDialog = false);

} // namespace host
