// The folder browser's state and window: the tree of folders, the selection, the callback's messages.
// The Qt dialog that shows it is in FolderBrowserDialog.cpp.
#include "platform/widgets/FolderBrowser.h"

#include "platform/ui/DialogTemplates.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <mutex>

namespace host {
namespace {

namespace fs = std::filesystem;

constexpr char browserClass[] = "QuillanFolderBrowser";
constexpr char treeClass[] = "QuillanFolderTree";

struct ListDeleter {
    void operator()(win::ITEMIDLIST* list) const { win::ILFree(list); }
};
using ListPtr = std::unique_ptr<win::ITEMIDLIST, ListDeleter>;

std::vector<win::BYTE> bytesOfList(win::LPCITEMIDLIST list) {
    const win::UINT size = win::ILGetSize(list);
    const auto* p = reinterpret_cast<const win::BYTE*>(list);
    return size ? std::vector<win::BYTE>(p, p + size) : std::vector<win::BYTE>{};
}

// The tree window answers WM_SETFOCUS by handing the focus to the dialog's tree.
win::LRESULT treeProc(win::HWND window, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    if (message == win::WM_SETFOCUS) {
        auto* session = reinterpret_cast<FolderBrowserSession*>(
            win::GetWindowLongPtrA(win::GetParent(window), win::GWLP_USERDATA));
        if (session && session->onFocusTree) session->onFocusTree();
        return 0;
    }
    return win::DefWindowProcA(window, message, wParam, lParam);
}

void registerClasses(win::WNDPROC browserProc) {
    static const bool done = [browserProc] {
        win::WNDCLASSA c{};
        c.lpfnWndProc = browserProc;
        c.lpszClassName = browserClass;
        win::RegisterClassA(&c);
        c.lpfnWndProc = &treeProc;
        c.lpszClassName = treeClass;
        win::RegisterClassA(&c);
        return true;
    }();
    (void)done;
}

bool under(const std::string& path, const std::string& folder) {
    if (folder == "/") return !path.empty() && path[0] == '/';
    return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                              path[folder.size()] == '/');
}

// The browser's layout in dialog units: instruction, status line, tree, and the button row.
win::DialogTemplate browserTemplate(win::UINT flags) {
    using win::DialogItemTemplate;
    win::DialogTemplate t;
    t.cx = 212;
    t.cy = 188;
    const win::DWORD visible = win::WS_VISIBLE;
    t.items = {
        DialogItemTemplate{"Static", win::IDC_BROWSE_INSTRUCTION, "", win::SS_LEFT | visible, 7, 4, 198, 22},
        DialogItemTemplate{"Static", win::IDC_BROWSE_STATUS, "",
                           win::SS_LEFTNOWORDWRAP | ((flags & win::BIF_STATUSTEXT) ? visible : 0), 7, 27, 160,
                           12},
        DialogItemTemplate{treeClass, win::IDC_BROWSE_TREE, "", visible | win::WS_TABSTOP, 7, 41, 198, 118},
        DialogItemTemplate{"Button", win::IDC_BROWSE_NEWFOLDER, "New Folder",
                           win::BS_PUSHBUTTON | ((flags & win::BIF_NONEWFOLDERBUTTON) ? 0 : visible), 154, 25,
                           50, 14},
        DialogItemTemplate{"Button", 1, "OK", win::BS_DEFPUSHBUTTON | visible | win::WS_TABSTOP, 97, 166, 50,
                           14},
        DialogItemTemplate{"Button", 2, "Cancel", win::BS_PUSHBUTTON | visible | win::WS_TABSTOP, 154, 166,
                           50, 14},
    };
    return t;
}

} // namespace

FolderBrowserSession::FolderBrowserSession(win::BROWSEINFOA& info) : m_info(info) {
    makeWindow();
    buildRoots();
}

FolderBrowserSession::~FolderBrowserSession() {
    if (m_window && win::IsWindow(m_window)) win::DestroyWindow(m_window);
}

void FolderBrowserSession::makeWindow() {
    registerClasses(&FolderBrowserSession::windowProc);
    win::RECT size{0, 0, 212, 188};
    win::MapDialogRect(nullptr, &size);
    m_window = win::CreateWindowExA(0, browserClass, "Browse for Folder", win::WS_POPUP, 0, 0, size.right,
                                    size.bottom, nullptr, nullptr, nullptr, this);
    if (!m_window) return;
    win::createDialogItems(m_window, browserTemplate(m_info.ulFlags));
    win::SetDlgItemTextA(m_window, win::IDC_BROWSE_INSTRUCTION, m_info.lpszTitle ? m_info.lpszTitle : "");
}

win::LRESULT FolderBrowserSession::windowProc(win::HWND window, win::UINT message, win::WPARAM wParam,
                                              win::LPARAM lParam) {
    if (message == win::WM_NCCREATE) {
        const auto* create = reinterpret_cast<const win::CREATESTRUCTA*>(lParam);
        win::SetWindowLongPtrA(window, win::GWLP_USERDATA,
                               reinterpret_cast<win::LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<FolderBrowserSession*>(win::GetWindowLongPtrA(window, win::GWLP_USERDATA));
    if (!self || message == win::WM_NCCREATE) return win::DefWindowProcA(window, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

win::LRESULT FolderBrowserSession::handle(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    switch (message) {
    case win::BFFM_SETSTATUSTEXTA: {
        const char* text = reinterpret_cast<const char*>(lParam);
        win::SetDlgItemTextA(m_window, win::IDC_BROWSE_STATUS, text ? text : "");
        changed();
        return 0;
    }
    case win::BFFM_ENABLEOK:
        win::EnableWindow(win::GetDlgItem(m_window, 1), lParam ? win::TRUE : win::FALSE);
        changed();
        return 0;
    case win::BFFM_SETSELECTIONA:
        if (wParam) {
            const char* path = reinterpret_cast<const char*>(lParam);
            if (path) SelectPath(path);
        } else {
            SelectList(reinterpret_cast<win::LPCITEMIDLIST>(lParam));
        }
        return 0;
    case win::WM_COMMAND:
        switch (win::LOWORD(wParam)) {
        case 1:
            finish(true);
            break;
        case 2:
            finish(false);
            break;
        case win::IDC_BROWSE_NEWFOLDER:
            if (onNewFolder) onNewFolder();
            break;
        default:
            break;
        }
        return 0;
    case win::WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == win::SC_CLOSE) finish(false);
        return 0;
    case win::WM_CLOSE:
        finish(false);
        return 0;
    case win::WM_SETTEXT: {
        const win::LRESULT done = win::DefWindowProcA(m_window, message, wParam, lParam);
        changed();
        return done;
    }
    case win::WM_WINDOWPOSCHANGED:
        if (!m_quiet && onMoved) onMoved();
        return 0;
    case win::WM_DESTROY:
        // Destroyed from outside while running: the run ends as a Cancel.
        if (!m_finished) finish(false);
        return 0;
    case win::WM_NCDESTROY:
        m_window = nullptr;
        return 0;
    default:
        return win::DefWindowProcA(m_window, message, wParam, lParam);
    }
}

FolderBrowserSession::Node* FolderBrowserSession::addNode(Node* parent,
                                                          std::vector<std::unique_ptr<Node>>& into,
                                                          win::LPCITEMIDLIST list, bool hidden) {
    auto node = std::make_unique<Node>();
    node->list = bytesOfList(list);
    if (node->list.empty()) return nullptr;
    node->name = win::displayNameOfIDList(list);
    node->path = win::pathOfIDList(list);
    node->parent = parent;
    node->hidden = hidden;
    into.push_back(std::move(node));
    return into.back().get();
}

void FolderBrowserSession::buildRoots() {
    if (m_info.pidlRoot && win::idListCount(m_info.pidlRoot) > 0) {
        addNode(nullptr, m_roots, m_info.pidlRoot, false);
        return;
    }
    // The desktop of this platform: home, the user's folders, and the computer with the file system.
    auto addPath = [this](const std::string& path) {
        std::error_code ec;
        if (path.empty() || !fs::is_directory(path, ec)) return;
        for (const auto& r : m_roots)
            if (r->path == path) return;
        ListPtr list(win::idListFromPath(path));
        if (Node* n = addNode(nullptr, m_roots, list.get(), false); n && path == win::homeFolder())
            n->name = "Home";
    };
    addPath(win::homeFolder());
    for (const char* key : {"DESKTOP", "DOCUMENTS", "DOWNLOAD", "PICTURES", "MUSIC", "VIDEOS"})
        addPath(win::xdgUserDir(key));
    ListPtr computer(win::computerIDList());
    addNode(nullptr, m_roots, computer.get(), false);
}

void FolderBrowserSession::Expand(Node* node) {
    if (!node || node->loaded) return;
    node->loaded = true;
    if (node->path.empty()) {
        // The computer holds the file system's root.
        if (win::idListCount(node->id()) == 1 && node->name == "Computer") {
            ListPtr root(win::idListFromPath("/"));
            addNode(node, node->children, root.get(), false);
        }
        if (onNodeLoaded) onNodeLoaded(node);
        return;
    }
    const bool files = (m_info.ulFlags & win::BIF_BROWSEINCLUDEFILES) != 0;
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(node->path, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        std::error_code e2;
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue; // hidden, as a desktop shows them by default
        if (it->is_directory(e2) || files) names.push_back(name);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
        });
    });
    for (const std::string& name : names) {
        ListPtr list(win::idListFromPath(node->path == "/" ? "/" + name : node->path + "/" + name));
        addNode(node, node->children, list.get(), false);
    }
    if (onNodeLoaded) onNodeLoaded(node);
}

FolderBrowserSession::Node* FolderBrowserSession::findPath(const std::string& wanted) {
    ListPtr canonical(win::idListFromPath(wanted));
    const std::string path = win::pathOfIDList(canonical.get());
    if (path.empty()) return nullptr;
    std::error_code ec;
    if (!fs::exists(path, ec)) return nullptr;
    // Start from the deepest top-level node that holds the path (home before the file system's root).
    Node* start = nullptr;
    std::vector<Node*> tops;
    for (auto& r : m_roots)
        tops.push_back(r.get());
    for (auto& r : m_roots)
        if (r->path.empty()) {
            Expand(r.get());
            for (auto& c : r->children)
                tops.push_back(c.get());
        }
    for (Node* n : tops)
        if (!n->path.empty() && under(path, n->path) && (!start || n->path.size() > start->path.size()))
            start = n;
    Node* node = start;
    while (node && node->path != path) {
        Expand(node);
        Node* next = nullptr;
        for (auto& c : node->children)
            if (under(path, c->path)) next = c.get();
        if (!next) {
            // A hidden folder (or a file) on the way: shown because it was asked for.
            const std::size_t from = node->path == "/" ? 1 : node->path.size() + 1;
            const std::size_t slash = path.find('/', from);
            const std::string childPath = path.substr(0, slash);
            if (!fs::is_directory(childPath, ec) && slash != std::string::npos) return nullptr;
            ListPtr list(win::idListFromPath(childPath));
            next = addNode(node, node->children, list.get(), true);
            if (onNodeLoaded) onNodeLoaded(node);
        }
        node = next;
    }
    return node;
}

bool FolderBrowserSession::SelectPath(const std::string& path) {
    Node* node = findPath(path);
    if (!node) return false;
    Select(node);
    return true;
}

bool FolderBrowserSession::SelectList(win::LPCITEMIDLIST list) {
    if (!list || win::idListCount(list) < 0) return false;
    // The lists of the tree's nodes first (virtual items have no path), then a path below the root.
    std::vector<Node*> stack;
    for (auto& r : m_roots)
        stack.push_back(r.get());
    while (!stack.empty()) {
        Node* n = stack.back();
        stack.pop_back();
        if (win::ILIsEqual(n->id(), list)) {
            Select(n);
            return true;
        }
        for (auto& c : n->children)
            stack.push_back(c.get());
    }
    std::string path = win::pathOfIDList(list);
    if (path.empty() && m_info.pidlRoot) {
        ListPtr full(win::ILCombine(m_info.pidlRoot, list));
        path = win::pathOfIDList(full.get());
    }
    return !path.empty() && SelectPath(path);
}

void FolderBrowserSession::Select(Node* node) {
    if (!node || node == m_selection) return;
    m_selection = node;
    updateOk();
    changed();
    if (m_started && m_info.lpfn)
        m_info.lpfn(m_window, win::BFFM_SELCHANGED, reinterpret_cast<win::LPARAM>(node->id()), m_info.lParam);
    changed();
}

void FolderBrowserSession::updateOk() {
    bool ok = m_selection != nullptr;
    const win::UINT flags = m_info.ulFlags;
    if (ok && (flags & win::BIF_RETURNONLYFSDIRS)) ok = !m_selection->path.empty();
    if (ok && (flags & win::BIF_RETURNFSANCESTORS)) {
        win::IShellFolder* desktop = nullptr;
        win::SHGetDesktopFolder(&desktop);
        win::ULONG attributes = win::SFGAO_FILESYSANCESTOR;
        win::LPCITEMIDLIST one = m_selection->id();
        ok = desktop->GetAttributesOf(1, &one, &attributes) == win::S_OK && attributes;
    }
    // There are no computers or printers to choose here.
    if (flags & (win::BIF_BROWSEFORCOMPUTER | win::BIF_BROWSEFORPRINTER)) ok = false;
    win::EnableWindow(win::GetDlgItem(m_window, 1), ok ? win::TRUE : win::FALSE);
    win::EnableWindow(win::GetDlgItem(m_window, win::IDC_BROWSE_NEWFOLDER), CanMakeFolder() ? win::TRUE : win::FALSE);
}

bool FolderBrowserSession::CanMakeFolder() const {
    return m_selection && !m_selection->path.empty() && !(m_info.ulFlags & win::BIF_NONEWFOLDERBUTTON) &&
           (win::attributesOfPath(m_selection->path, win::SFGAO_FOLDER | win::SFGAO_READONLY) ==
            win::SFGAO_FOLDER);
}

bool FolderBrowserSession::NewFolder(const std::string& name) {
    if (!CanMakeFolder() || name.empty() || name == "." || name == ".." ||
        name.find('/') != std::string::npos)
        return false;
    Node* parent = m_selection;
    const std::string path = parent->path == "/" ? "/" + name : parent->path + "/" + name;
    std::error_code ec;
    if (!fs::create_directory(path, ec) || ec) return false;
    if (parent->loaded) {
        ListPtr list(win::idListFromPath(path));
        addNode(parent, parent->children, list.get(), name[0] == '.');
        if (onNodeLoaded) onNodeLoaded(parent);
    }
    return SelectPath(path);
}

std::string FolderBrowserSession::Title() const {
    char buffer[256];
    win::GetWindowTextA(m_window, buffer, sizeof buffer);
    return buffer;
}

std::string FolderBrowserSession::Instruction() const {
    char buffer[1024];
    win::GetDlgItemTextA(m_window, win::IDC_BROWSE_INSTRUCTION, buffer, sizeof buffer);
    return buffer;
}

std::string FolderBrowserSession::StatusText() const {
    char buffer[1024];
    win::GetDlgItemTextA(m_window, win::IDC_BROWSE_STATUS, buffer, sizeof buffer);
    return buffer;
}

bool FolderBrowserSession::OkEnabled() const {
    return win::IsWindowEnabled(win::GetDlgItem(m_window, 1));
}

void FolderBrowserSession::Ok() {
    // As a click: a disabled OK does nothing.
    win::SendMessageA(win::GetDlgItem(m_window, 1), win::BM_CLICK, 0, 0);
}

void FolderBrowserSession::Cancel() {
    win::SendMessageA(win::GetDlgItem(m_window, 2), win::BM_CLICK, 0, 0);
}

void FolderBrowserSession::changed() {
    if (onStateChanged) onStateChanged();
}

void FolderBrowserSession::finish(bool accepted) {
    if (m_finished) return;
    m_finished = true;
    m_accepted = accepted && m_selection;
    if (onFinished) onFinished();
}

void FolderBrowserSession::NoteGeometry(int x, int y, int width, int height) {
    m_quiet = true;
    win::SetWindowPos(m_window, nullptr, x, y, width, height, win::SWP_NOZORDER | win::SWP_NOACTIVATE);
    m_quiet = false;
}

void FolderBrowserSession::Start() {
    if (m_started || !m_window) return;
    m_started = true;
    if (m_info.lpfn) m_info.lpfn(m_window, win::BFFM_INITIALIZED, 0, m_info.lParam);
    if (!m_window || m_finished) return;
    // Without a selection from the callback the first folder is selected.
    if (!m_selection && !m_roots.empty()) Select(m_roots.front().get());
    if (m_window) win::ShowWindow(m_window, win::SW_SHOW);
    changed();
}

} // namespace host
