#include "controls/FoldrDlg.h"

#include "platform/gdi/Gdi.h"
#include "platform/ui/DialogTemplates.h"
#include "platform/widgets/Forms.h"
#include "platform/widgets/MessageBox.h"
#include "platform/win/SystemMetrics.h"

#include <cstring>
#include <filesystem>
#include <unordered_map>

namespace kv {
namespace {

// Shell flags of the options of ordinal 0 to 6.
constexpr win::UINT shellFlags[7] = {win::BIF_RETURNONLYFSDIRS,  win::BIF_DONTGOBELOWDOMAIN,
                                     win::BIF_STATUSTEXT,        win::BIF_RETURNFSANCESTORS,
                                     win::BIF_BROWSEFORCOMPUTER, win::BIF_BROWSEFORPRINTER,
                                     win::BIF_BROWSEINCLUDEFILES};

constexpr int csidls[] = {-1,   0x00, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B,
                          0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B};
static_assert(std::size(csidls) == sfoPrintHood + 1);

// The attributes asked for each new selection: can copy, move, link, rename, delete, has a property
// sheet, drop target, link, share, read-only, hidden, has subfolders.
constexpr win::ULONG selectionAttributeMask = 0x800F0177;

constexpr int treeItem = 0x3741;

bool has(TFolderDialogOptions options, TFolderDialogOption o) {
    return (options & FolderOption(o)) != 0;
}

// Open browsers and the components that subclassed them: the window procedure's way back to its object.
std::unordered_map<win::HWND, TFolderDialog*>& subclassed() {
    static std::unordered_map<win::HWND, TFolderDialog*> map;
    return map;
}

struct ClassState {
    bool initialized = false;
    win::IMalloc* malloc = nullptr;
    win::IShellFolder* desktop = nullptr;
    FolderDialogLayout layout{};
};

ClassState& classState() {
    static ClassState state;
    return state;
}

void InitializeClass() {
    ClassState& s = classState();
    if (s.initialized) return;
    s.initialized = true;
    const win::RECT whole = GetDlgCtlPixelRect(46, 21, 212, 188);
    s.layout.referenceWidth = whole.right - whole.left;
    s.layout.referenceHeight = whole.bottom - whole.top;
    s.layout.statusRect = GetDlgCtlPixelRect(7, 27, 160, 12);
    s.layout.cancelRect = GetDlgCtlPixelRect(154, 166, 50, 14);
}

std::u16string utf16Of(const std::string& s) {
    std::u16string out;
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp = 0xFFFD;
        std::size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
        if (i + len > s.size()) len = 1;
        if (len == 1)
            cp = c < 0x80 ? c : 0xFFFD;
        else {
            cp = c & (0x7F >> len);
            for (std::size_t k = 1; k < len; ++k)
                cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += char16_t(0xD800 + (cp >> 10));
            out += char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += char16_t(cp);
        }
        i += len;
    }
    return out;
}

// The parent control's rectangle on the screen.
win::RECT screenRectOf(host::TWinControl* control) {
    const host::TRect b = control->GetBoundsRect();
    if (!control->GetParent()) return b;
    const host::TPoint origin = control->GetParent()->ClientToScreen(host::TPoint{b.left, b.top});
    return win::RECT{origin.x, origin.y, origin.x + (b.right - b.left), origin.y + (b.bottom - b.top)};
}

} // namespace

int ShellFolderCSIDL(TShellFolder folder) {
    return unsigned(folder) < std::size(csidls) ? csidls[folder] : -1;
}

win::RECT GetDlgCtlPixelRect(int x, int y, int width, int height) {
    const win::LONG units = win::GetDialogBaseUnits();
    const std::int32_t bx = win::LOWORD(win::DWORD(units)), by = win::HIWORD(win::DWORD(units));
    return win::RECT{x * bx / 4, y * by / 8, (x + width) * bx / 4, (y + height) * by / 8};
}

const FolderDialogLayout& FolderLayout() {
    InitializeClass();
    return classState().layout;
}

// ---- construction ----

TFolderDialog::TFolderDialog(host::TComponent* AOwner) : host::TCommonDialog(AOwner) {
    InitializeClass();
    // The fields start at their defaults (Ctl3D, Title, RootFolder, Options 0x0B85), set without the
    // setters' rules.
}

TFolderDialog::~TFolderDialog() {
    if (m_handle) {
        Perform(win::WM_SYSCOMMAND, win::SC_CLOSE, 0);
        // The browser goes when its loop ends; until then it must not call back into this object.
        if (m_activeInfo) m_activeInfo->lpfn = nullptr;
        if (m_handle && win::IsWindow(m_handle) && m_previousProc)
            win::SetWindowLongPtrA(m_handle, win::GWLP_WNDPROC,
                                   reinterpret_cast<win::LONG_PTR>(m_previousProc));
        subclassed().erase(m_handle);
        m_handle = nullptr;
    }
    *m_alive = false;
    FreeIDList(m_selectionList);
    FreeIDList(m_resultList);
    FreeIDList(m_rootList);
}

win::IMalloc* TFolderDialog::MAlloc() {
    ClassState& s = classState();
    if (!s.malloc && win::SHGetMalloc(&s.malloc) != win::S_OK) s.malloc = nullptr;
    return s.malloc;
}

win::IShellFolder* TFolderDialog::Desktop() {
    ClassState& s = classState();
    if (!s.desktop && win::SHGetDesktopFolder(&s.desktop) != win::S_OK) s.desktop = nullptr;
    return s.desktop;
}

// ---- ID lists ----

bool TFolderDialog::GetPathFromIDList(win::LPCITEMIDLIST List, std::string& Path) {
    char buffer[win::MAX_PATH] = {};
    if (!List || !win::SHGetPathFromIDListA(List, buffer)) {
        Path.clear();
        return false;
    }
    Path.assign(buffer, strnlen(buffer, sizeof buffer));
    return true;
}

bool TFolderDialog::GetIDListFromPath(const std::string& Path, win::LPITEMIDLIST& List) {
    List = nullptr;
    std::error_code ec;
    // The root "/" is a folder like any other here, so no separate drive-root test is needed.
    if (Path.empty() || !std::filesystem::is_directory(Path, ec)) return false;
    std::string path = Path;
    if (path.size() >= 2 && path.compare(path.size() - 2, 2, "/.") == 0) path.pop_back();
    win::IShellFolder* desktop = Desktop();
    if (!desktop) return false;
    const std::u16string wide = utf16Of(path);
    win::ULONG attributes = win::SFGAO_FILESYSTEM;
    if (desktop->ParseDisplayName(GPVParentHandle(), nullptr, wide.c_str(), nullptr, &List, &attributes) !=
        win::S_OK) {
        List = nullptr;
        return false;
    }
    if (!(attributes & win::SFGAO_FILESYSTEM)) {
        if (win::IMalloc* m = MAlloc()) m->Free(List);
        List = nullptr;
        return false;
    }
    return true;
}

win::LPITEMIDLIST TFolderDialog::CloneIDListFrom(win::LPCITEMIDLIST List) {
    // The size with the terminator, 0 for none or a malformed list; an empty list is never copied.
    const win::UINT size = win::ILGetSize(List);
    win::IMalloc* m = MAlloc();
    if (size <= 2 || !m) return nullptr;
    void* copy = m->Alloc(size);
    if (copy) std::memcpy(copy, List, size);
    return static_cast<win::LPITEMIDLIST>(copy);
}

void TFolderDialog::FreeIDList(win::LPITEMIDLIST& List) {
    win::IMalloc* m = MAlloc();
    if (List && m && m->DidAlloc(List) == 1) {
        m->Free(List);
        List = nullptr;
    }
}

void TFolderDialog::ReplaceSelection(win::LPCITEMIDLIST List) {
    FreeIDList(m_selectionList);
    m_selectionList = CloneIDListFrom(List);
}

// ---- Execute and the browser's callback ----

bool TFolderDialog::Execute() {
    const std::shared_ptr<bool> alive = m_alive;
    win::BROWSEINFOA info{};
    info.hwndOwner = GPVParentHandle();
    m_selectionAttributes = 0;
    char displayName[win::MAX_PATH] = {};
    info.pszDisplayName = displayName;
    info.lpszTitle = m_text.empty() ? nullptr : m_text.c_str();
    for (int o = 0; o <= bfBrowseIncludeFiles; ++o)
        if (has(m_options, TFolderDialogOption(o))) info.ulFlags |= shellFlags[o];
    info.lpfn = &TFolderDialog::BrowseCallback;
    info.lParam = reinterpret_cast<win::LPARAM>(static_cast<host::TObject*>(this));
    info.pidlRoot = m_rootFolder == sfoDesktopExpanded ? nullptr : m_rootList;
    m_activeInfo = &info;
    win::LPITEMIDLIST list = win::SHBrowseForFolderA(&info);
    if (!*alive) {
        // Freed while the browser was open: nothing of this object may be touched.
        win::ILFree(list);
        return false;
    }
    m_activeInfo = nullptr;
    m_browseInfo = info;
    m_browseInfo.pszDisplayName = nullptr; // the buffers were local to this call
    m_browseInfo.lpszTitle = nullptr;
    FreeIDList(m_selectionList);
    if (host::TWinControl* parent = GPVParent(); parent && parent->HandleAllocated() && parent->CanFocus())
        parent->SetFocus();
    if (list) {
        FreeIDList(m_resultList);
        m_resultList = CloneIDListFrom(list);
        FreeIDList(list);
        m_imageIndex = info.iImage;
        m_displayName.assign(displayName, strnlen(displayName, sizeof displayName));
        GetPathFromIDList(m_resultList, m_directory);
        return true;
    }
    m_directory.clear();
    m_selectionAttributes = 0;
    return false;
}

int TFolderDialog::BrowseCallback(win::HWND Wnd, win::UINT Msg, win::LPARAM LParam, win::LPARAM Data) {
    auto* self = dynamic_cast<TFolderDialog*>(reinterpret_cast<host::TObject*>(Data));
    if (!self) return 0;
    switch (Msg) {
    case win::BFFM_INITIALIZED:
        self->m_handle = Wnd;
        subclassed()[Wnd] = self;
        self->m_previousProc = reinterpret_cast<win::WNDPROC>(win::SetWindowLongPtrA(
            Wnd, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&TFolderDialog::thunk)));
        self->BFFMInitialized();
        break;
    case win::BFFM_SELCHANGED:
        self->BFFMSelChanged(reinterpret_cast<win::LPCITEMIDLIST>(LParam));
        break;
    default:
        break;
    }
    return 0;
}

void TFolderDialog::BFFMInitialized() {
    win::RECT client{};
    if (win::GetClientRect(m_handle, &client)) {
        m_clientWidth = client.right - client.left;
        m_clientHeight = client.bottom - client.top;
    }
    m_okButton = win::GetDlgItem(m_handle, win::IDOK);
    PositionWindow();
    if (!m_directory.empty()) {
        std::string resultPath;
        if (m_resultList) GetPathFromIDList(m_resultList, resultPath);
        if (m_directory != resultPath) {
            // A selection made while closed holds this path already; it must still reach the browser,
            // so the write is not skipped as "unchanged".
            FreeIDList(m_selectionList);
            SPVSelectionPath(m_directory);
        } else
            SPVSelectionPIDL(m_resultList);
    }
    FreeIDList(m_resultList);
    if (m_customButton) m_clone = CreateCustomControl(m_customButton);
    Perform(win::WM_SETTEXT, 0, reinterpret_cast<win::LPARAM>(m_title.c_str()));
    DoShow();
}

void TFolderDialog::BFFMSelChanged(win::LPCITEMIDLIST List) {
    ReplaceSelection(List);
    win::ULONG attributes = selectionAttributeMask;
    win::IShellFolder* desktop = Desktop();
    m_selectionAttributes =
        List && desktop && desktop->GetAttributesOf(1, &List, &attributes) == win::S_OK ? attributes : 0;
    const std::string path = GPVSelectionPath();
    if (has(m_options, bfFileSysDirsOnly)) EnableOK(!path.empty());
    if (!path.empty()) {
        if (has(m_options, bfShowPathInStatusArea)) SPVStatusText(path);
        DoChange();
    } else if (has(m_options, bfFileSysDirsOnly) || has(m_options, bfShowPathInStatusArea)) {
        Perform(win::BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<win::LPARAM>(""));
    }
}

void TFolderDialog::EnableOK(bool Enable) {
    Perform(win::BFFM_ENABLEOK, 0, Enable ? 1 : 0);
    if (has(m_options, bfSyncCustomButton) && m_clone)
        win::EnableWindow(m_clone, Enable ? win::TRUE : win::FALSE);
}

void TFolderDialog::DoChange() {
    if (OnChange) OnChange(this);
}

// ---- the subclassed browser window ----

win::LRESULT TFolderDialog::thunk(win::HWND Wnd, win::UINT Msg, win::WPARAM WParam, win::LPARAM LParam) {
    auto it = subclassed().find(Wnd);
    if (it == subclassed().end()) return win::DefWindowProcA(Wnd, Msg, WParam, LParam);
    return it->second->WndProc(Msg, WParam, LParam);
}

win::LRESULT TFolderDialog::Perform(win::UINT Msg, win::WPARAM WParam, win::LPARAM LParam) {
    return WndProc(Msg, WParam, LParam);
}

win::LRESULT TFolderDialog::DefaultHandler(win::UINT Msg, win::WPARAM WParam, win::LPARAM LParam) {
    if (m_handle && m_previousProc)
        return win::CallWindowProcA(m_previousProc, m_handle, Msg, WParam, LParam);
    return 0;
}

win::LRESULT TFolderDialog::WndProc(win::UINT Msg, win::WPARAM WParam, win::LPARAM LParam) {
    switch (Msg) {
    case win::WM_SHOWWINDOW: {
        const win::LRESULT result = DefaultHandler(Msg, WParam, LParam);
        if (!m_shownOnce && m_handle) {
            m_shownOnce = true;
            if (win::HWND tree = win::GetDlgItem(m_handle, treeItem))
                win::SendMessageA(tree, win::WM_SETFOCUS, 0, 0);
        }
        return result;
    }
    case win::WM_COMMAND:
        return WMCommand(WParam, LParam);
    case win::WM_DESTROY: {
        const win::LRESULT result = DefaultHandler(Msg, WParam, LParam);
        DoClose();
        destroyClone();
        return result;
    }
    case win::WM_NCDESTROY: {
        const win::LRESULT result = DefaultHandler(Msg, WParam, LParam);
        m_shownOnce = false;
        m_clone = nullptr;
        subclassed().erase(m_handle);
        m_handle = nullptr;
        m_previousProc = nullptr;
        return result;
    }
    default:
        return DefaultHandler(Msg, WParam, LParam);
    }
}

win::LRESULT TFolderDialog::WMCommand(win::WPARAM WParam, win::LPARAM LParam) {
    if (!m_clone) return DefaultHandler(win::WM_COMMAND, WParam, LParam);
    if (win::LOWORD(WParam) == win::IDOK) {
        if (auto* box = dynamic_cast<host::TCheckBox*>(m_customButton)) {
            // The clone's state goes back to the template without running its click handler.
            host::TNotifyEvent click = std::move(box->OnClick);
            box->OnClick = nullptr;
            box->SetChecked(win::SendMessageA(m_clone, win::BM_GETCHECK, 0, 0) == win::BST_CHECKED);
            box->OnClick = std::move(click);
        }
        return DefaultHandler(win::WM_COMMAND, WParam, LParam);
    }
    if (reinterpret_cast<win::HWND>(LParam) == m_clone) {
        if (ComponentState() & host::csDesigning) {
            win::MessageBoxA(m_handle, ("Current path is " + GPVSelectionPath()).c_str(), nullptr,
                             win::MB_OK | win::MB_ICONINFORMATION);
            return 0;
        }
        // The click reaches the template's handler while the browser is open (the template stands in
        // for the clone, which is a window of the browser).
        if (m_customButton && m_customButton->OnClick) m_customButton->OnClick(m_customButton);
        return 0;
    }
    return DefaultHandler(win::WM_COMMAND, WParam, LParam);
}

// ---- the extra button ----

int TFolderDialog::BffScaledX(int v) const {
    const int ref = FolderLayout().referenceWidth;
    return ref ? v * m_clientWidth / ref + 1 : v;
}

int TFolderDialog::BffScaledY(int v) const {
    const int ref = FolderLayout().referenceHeight;
    return ref ? v * m_clientHeight / ref + 1 : v;
}

win::HWND TFolderDialog::CreateCustomControl(host::TWinControl* Template) {
    auto* box = dynamic_cast<host::TCheckBox*>(Template);
    if (!Template || (!box && !dynamic_cast<host::TButton*>(Template)) || !m_handle) return nullptr;
    const FolderDialogLayout& layout = FolderLayout();
    const win::RECT& status = layout.statusRect;
    const win::RECT& cancel = layout.cancelRect;
    int left = Template->GetLeft(), top = Template->GetTop();
    if (has(m_options, bfAlignCustomButton)) {
        left = BffScaledX(status.left) + 1;
        top = BffScaledY(cancel.top) - 1;
    }
    int width = Template->GetWidth();
    int height = box ? Template->GetHeight() : BffScaledY(cancel.bottom - cancel.top);
    if (has(m_options, bfResizeCustomButton)) {
        width = BffScaledX(cancel.right - cancel.left);
        height = BffScaledY(cancel.bottom - cancel.top);
    }
    win::registerStandardControls();
    const win::DWORD style = (box ? win::BS_AUTOCHECKBOX : win::BS_PUSHBUTTON) | win::WS_TABSTOP;
    const std::string caption = Template->GetText();
    win::HWND clone = win::CreateWindowExA(0, "Button", caption.c_str(), style | win::WS_CHILD, left, top,
                                           width, height, m_handle, nullptr, nullptr, nullptr);
    if (!clone) return nullptr;
    if (box)
        win::SendMessageA(clone, win::BM_SETCHECK, box->GetChecked() ? win::BST_CHECKED : win::BST_UNCHECKED,
                          0);
    // Hidden and shown again so that it appears over the browser's own items.
    win::ShowWindow(clone, win::SW_HIDE);
    win::ShowWindow(clone, win::SW_SHOW);
    win::EnableWindow(clone, Template->GetEnabled() ? win::TRUE : win::FALSE);
    if (has(m_options, bfSyncCustomButton) && m_okButton)
        win::EnableWindow(clone, win::IsWindowEnabled(m_okButton));
    return clone;
}

void TFolderDialog::destroyClone() {
    if (m_clone && win::IsWindow(m_clone)) win::DestroyWindow(m_clone);
    m_clone = nullptr;
}

void TFolderDialog::Notification(host::TComponent* AComponent, host::TOperation Operation) {
    if (Operation == host::TOperation::opRemove) {
        if (AComponent == m_customButton) m_customButton = nullptr;
        if (AComponent == m_parent) m_parent = nullptr;
    }
    host::TCommonDialog::Notification(AComponent, Operation);
}

void TFolderDialog::SPVCustomButton(host::TWinControl* Value) {
    if (Value) Value->FreeNotification(this);
    m_customButton = Value;
}

} // namespace kv

namespace kv {

// ---- placement ----

host::TWinControl* TFolderDialog::GPVParent() {
    if (m_parent) return m_parent;
    host::TWinControl* parent = dynamic_cast<host::TWinControl*>(Owner());
    if (!parent) parent = host::Application->GetMainForm();
    if (parent) SPVParentQuiet(parent);
    return m_parent;
}

void TFolderDialog::SPVParentQuiet(host::TWinControl* Value) {
    if (m_parent == Value) return;
    if (m_parent && m_parent != m_customButton) m_parent->RemoveFreeNotification(this);
    m_parent = Value;
    if (m_parent) m_parent->FreeNotification(this);
}

void TFolderDialog::SPVParent(host::TWinControl* Value) {
    SPVParentQuiet(Value);
    PositionWindow();
}

win::HWND TFolderDialog::GPVParentHandle() {
    host::TWinControl* parent = GPVParent();
    return parent && parent->HandleAllocated() ? parent->GetHandle() : nullptr;
}

void TFolderDialog::SPVDesignedTop(int Value) {
    m_designedTop = std::int16_t(Value);
    PositionWindow();
}

void TFolderDialog::SPVDesignedLeft(int Value) {
    m_designedLeft = std::int16_t(Value);
    PositionWindow();
}

void TFolderDialog::PositionWindow() {
    if (!m_handle) return;
    constexpr win::UINT flags = win::SWP_NOSIZE | win::SWP_NOZORDER | win::SWP_NOACTIVATE;
    host::TWinControl* parent = GPVParent();
    const bool parentShown = parent && parent->HandleAllocated();
    if (has(m_options, bfParentCenter) && parentShown) {
        CenterOnParent();
    } else if (has(m_options, bfParentCenter) || has(m_options, bfScreenCenter)) {
        // Without a parent window to centre on, the screen takes its place.
        const int x = (win::GetSystemMetrics(win::SM_CXSCREEN) - m_clientWidth) / 2;
        const int y = (win::GetSystemMetrics(win::SM_CYSCREEN) - m_clientHeight) / 3;
        win::SetWindowPos(m_handle, nullptr, x, y, 0, 0, flags);
    } else {
        host::TPoint p{m_designedLeft, m_designedTop};
        if (parentShown) p = parent->ClientToScreen(p);
        win::SetWindowPos(m_handle, nullptr, p.x, p.y, 0, 0, flags);
    }
}

void TFolderDialog::CenterOnParent() {
    host::TWinControl* parent = GPVParent();
    win::RECT b{};
    if (!m_handle || !parent || !win::GetWindowRect(m_handle, &b)) return;
    // Where the parent is, the framework knows: its window in the layer is not moved with it.
    const win::RECT p = screenRectOf(parent);
    const int x = p.left + (p.right - p.left) / 2 - (b.right - b.left) / 2;
    const int y = p.top + (p.bottom - p.top) / 4;
    win::SetWindowPos(m_handle, nullptr, x, y, 0, 0,
                      win::SWP_NOSIZE | win::SWP_NOZORDER | win::SWP_NOACTIVATE);
}

// ---- properties ----

std::string TFolderDialog::GPVCaption() const {
    if (!m_handle) return m_title;
    char buffer[257] = {};
    win::SendMessageA(m_handle, win::WM_GETTEXT, 256, reinterpret_cast<win::LPARAM>(buffer));
    return std::string(buffer, strnlen(buffer, sizeof buffer));
}

void TFolderDialog::SPVCaption(const std::string& Value) {
    m_title = Value;
    if (m_handle) Perform(win::WM_SETTEXT, 0, reinterpret_cast<win::LPARAM>(m_title.c_str()));
}

std::string TFolderDialog::GPVDirectory() const {
    return m_handle ? const_cast<TFolderDialog*>(this)->GPVSelectionPath() : m_directory;
}

void TFolderDialog::SPVDirectory(const std::string& Value) {
    m_directory = Value;
    SPVSelectionPath(Value);
}

void TFolderDialog::SPVOptions(TFolderDialogOptions Value) {
    const TFolderDialogOptions old = m_options;
    const auto bit = FolderOption;
    if ((Value & bit(bfScreenCenter)) && (Value & bit(bfParentCenter))) {
        if (old & bit(bfScreenCenter))
            Value &= ~bit(bfScreenCenter);
        else if (old & bit(bfParentCenter))
            Value &= ~bit(bfParentCenter);
    }
    if ((Value & bit(bfBrowseForComputer)) && !(old & bit(bfBrowseForComputer))) {
        SPVRootFolder(sfoNetwork);
        Value &= ~(bit(bfFileSysDirsOnly) | bit(bfFileSysAncestors) | bit(bfBrowseForPrinter));
    } else if ((Value & bit(bfBrowseForPrinter)) && !(old & bit(bfBrowseForPrinter))) {
        Value &= ~(bit(bfFileSysDirsOnly) | bit(bfDontGoBelowDomain) | bit(bfFileSysAncestors) |
                   bit(bfBrowseForComputer));
    }
    if ((Value & bit(bfShowPathInStatusArea)) && !(old & bit(bfShowPathInStatusArea)) &&
        !(Value & bit(bfStatusText)))
        Value |= bit(bfStatusText);
    if (!(Value & bit(bfStatusText)) && (old & bit(bfStatusText)) && (Value & bit(bfShowPathInStatusArea)))
        Value &= ~bit(bfShowPathInStatusArea);
    m_options = Value;
}

void TFolderDialog::SPVRootFolder(TShellFolder Value) {
    if (Value == m_rootFolder) return;
    FreeIDList(m_selectionList);
    FreeIDList(m_resultList);
    FreeIDList(m_rootList);
    m_rootFolder = Value;
    const int csidl = ShellFolderCSIDL(Value);
    if (csidl >= 0 && win::SHGetSpecialFolderLocation(GPVParentHandle(), csidl, &m_rootList) != win::S_OK)
        m_rootList = nullptr;
}

std::string TFolderDialog::GPVSelectionPath() {
    std::string path;
    if (m_selectionList) GetPathFromIDList(m_selectionList, path);
    return path;
}

void TFolderDialog::SPVSelectionPath(const std::string& Value) {
    if (Value == GPVSelectionPath()) return;
    FreeIDList(m_selectionList);
    win::LPITEMIDLIST full = nullptr;
    if (!GetIDListFromPath(Value, full)) return;
    // The selection is kept as the whole list from the desktop, so that its path can always be read
    // back; the browser takes whole lists whatever its root.
    m_selectionList = CloneIDListFrom(full);
    if (m_handle) SPVSelectionPIDL(full);
    FreeIDList(full);
}

void TFolderDialog::SPVSelectionPIDL(win::LPCITEMIDLIST Value) {
    if (m_handle)
        Perform(win::BFFM_SETSELECTIONA, win::FALSE, reinterpret_cast<win::LPARAM>(Value));
    else
        ReplaceSelection(Value);
}

void TFolderDialog::SPVStatusText(const std::string& Value) {
    m_statusText = Value;
    if (m_handle) FitStatusText(Value);
}

void TFolderDialog::FitStatusText(const std::string& Text) {
    // One wide character more than the text, so that a text that only just fits still gets a margin.
    const std::string s = Text + "W";
    win::HDC windowDc = win::GetDC(m_handle);
    win::HDC dc = win::CreateCompatibleDC(windowDc);
    win::ReleaseDC(m_handle, windowDc);
    if (!dc) return;
    // Room for the text, an ellipsis that makes it longer, and the NUL.
    std::vector<char> buffer(s.size() + 5, '\0');
    std::memcpy(buffer.data(), s.data(), s.size());
    win::RECT r = FolderLayout().statusRect;
    const win::UINT format =
        win::DT_MODIFYSTRING | win::DT_NOPREFIX | win::DT_EXTERNALLEADING |
        (has(m_options, bfShowPathInStatusArea) ? win::DT_PATH_ELLIPSIS : win::DT_END_ELLIPSIS);
    win::DrawTextExA(dc, buffer.data(), int(s.size()), &r, format, nullptr);
    std::string shown(buffer.data(), strnlen(buffer.data(), buffer.size()));
    // Drop the margin character where it is still there. A text cut at its end has lost it already, and
    // taking one more character would eat into the ellipsis.
    if (!shown.empty() && shown.back() == 'W') shown.pop_back();
    Perform(win::BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<win::LPARAM>(shown.c_str()));
    win::DeleteDC(dc);
}

} // namespace kv
