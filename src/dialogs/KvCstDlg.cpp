#include "dialogs/KvCstDlg.h"

#include "platform/ui/SysUtils.h"
#include "platform/ui/WindowMessages.h"
#include "platform/widgets/Forms.h"
#include "platform/win/Resources.h"

#include <algorithm>
#include <cfenv>
#include <cstring>
#include <vector>

namespace kv {

TKvCustomOpenDialog* TKvCustomOpenDialog::s_openDialog = nullptr;
TKvCustomOpenDialog* TKvCustomOpenDialog::s_running = nullptr;

namespace {

constexpr win::DWORD kOptionFlags[] = {
    win::OFN_READONLY,
    win::OFN_OVERWRITEPROMPT,
    win::OFN_HIDEREADONLY,
    win::OFN_NOCHANGEDIR,
    win::OFN_SHOWHELP,
    win::OFN_NOVALIDATE,
    win::OFN_ALLOWMULTISELECT,
    win::OFN_EXTENSIONDIFFERENT,
    win::OFN_PATHMUSTEXIST,
    win::OFN_FILEMUSTEXIST,
    win::OFN_CREATEPROMPT,
    win::OFN_SHAREAWARE,
    win::OFN_NOREADONLYRETURN,
    win::OFN_NOTESTFILECREATE,
    win::OFN_NONETWORKBUTTON,
    win::OFN_NOLONGNAMES,
    win::OFN_EXPLORER,
    win::OFN_NODEREFERENCELINKS,
    win::OFN_ENABLEINCLUDENOTIFY,
    win::OFN_ENABLESIZING,
};
static_assert(std::size(kOptionFlags) == ofEnableSizing + 1);

// The run's local buffers, in bytes with the closing NUL. The initial folder takes a whole path of this
// platform: a folder cut short would open the dialog somewhere else.
constexpr std::size_t kFilterBytes = 1024;
constexpr std::size_t kInitialDirBytes = 4096;
constexpr std::size_t kTitleBytes = 80;
constexpr std::size_t kDefaultExtBytes = 4;
constexpr std::size_t kTemplateBytes = 258;
constexpr std::size_t kMultiSelectChars = 8192;
constexpr std::size_t kSingleSelectChars = 260;
constexpr std::size_t kSelectionPathBytes = 8192;

// At most maxBytes bytes of text, never ending inside a UTF-8 character.
std::string cut(const std::string& text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t n = maxBytes;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return text.substr(0, n);
}

// The filter text with "|" made NUL and a second NUL at the end. Pairs that do not fit the buffer are
// left out whole, so that a long filter loses entries rather than overrunning or ending mid-pair.
std::string filterToBuffer(const std::string& filter) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t bar = filter.find('|', start);
        parts.push_back(filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    std::string out;
    for (std::size_t i = 0; i < parts.size(); i += 2) {
        std::string pair = parts[i] + '\0';
        if (i + 1 < parts.size()) pair += parts[i + 1] + '\0';
        if (out.size() + pair.size() + 1 > kFilterBytes) break;
        out += pair;
    }
    out += '\0';
    return out;
}

bool isAbsolute(const std::string& name) {
    return !name.empty() && name.front() == '/';
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// A string buffer of size bytes holding text, zero-filled after it.
std::vector<char> buffer(const std::string& text, std::size_t size) {
    std::vector<char> b(size, '\0');
    std::memcpy(b.data(), text.data(), std::min(text.size(), size - 1));
    return b;
}

} // namespace

win::DWORD OpenOptionFlag(TOpenOption option) {
    return kOptionFlags[option];
}

win::DWORD OpenOptionFlags(TOpenOptions options) {
    win::DWORD flags = 0;
    for (int m = 0; m <= ofEnableSizing; ++m)
        if (options.Contains(TOpenOption(m))) flags |= kOptionFlags[m];
    return flags;
}

TKvCustomOpenDialog::TKvCustomOpenDialog(host::TComponent* AOwner)
    : TKvCommonDialog(AOwner), m_historyList(std::make_unique<host::TStringList>()),
      m_files(std::make_unique<host::TStringList>()), m_workList(std::make_unique<host::TStringList>()) {}

TKvCustomOpenDialog::~TKvCustomOpenDialog() {
    if (s_openDialog == this) s_openDialog = nullptr;
    if (s_running == this) s_running = nullptr;
}

bool TKvCustomOpenDialog::Execute() {
    return DoExecute(win::GetOpenFileNameA) != 0;
}

void TKvCustomOpenDialog::SetHistoryList(const host::TStrings& list) {
    m_historyList->Assign(&list);
}

void TKvCustomOpenDialog::SetInitialDir(const std::string& path) {
    std::string dir = path;
    if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    m_initialDir = dir;
}

win::BOOL TKvCustomOpenDialog::DoExecute(const TOpenFileNameFunc& dialogFunction) {
    if (s_running) throw host::Exception("A file dialog is open already");
    m_files->Clear();
    win::OPENFILENAMEA ofn{};
    ofn.lStructSize = win::OPENFILENAME_SIZE_VERSION_400A;
    ofn.hInstance = win::GetModuleHandleA(nullptr);

    const std::string filter = m_filter.empty() ? std::string() : filterToBuffer(m_filter);
    ofn.lpstrFilter = filter.empty() ? nullptr : filter.data();
    ofn.nFilterIndex = win::DWORD(m_filterIndex);

    // The file buffer also takes an initial name longer than its usual size, so that it is never cut.
    const bool multi = m_options.Contains(ofAllowMultiSelect);
    const std::size_t chars = std::max(multi ? kMultiSelectChars : kSingleSelectChars, m_fileName.size() + 1);
    std::vector<char> file = buffer(m_fileName, chars + 2);
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = win::DWORD(chars);

    const std::vector<char> initialDir = buffer(cut(m_initialDir, kInitialDirBytes - 1), kInitialDirBytes);
    const std::vector<char> title = buffer(cut(m_title, kTitleBytes - 1), kTitleBytes);
    ofn.lpstrInitialDir = initialDir.front() ? initialDir.data() : nullptr;
    ofn.lpstrTitle = title.front() ? title.data() : nullptr;

    // Only the Explorer-style dialog exists here, so the Explorer flag is always set.
    ofn.Flags = win::OFN_ENABLEHOOK | OpenOptionFlags(m_options) | win::OFN_EXPLORER;
    const std::vector<char> defaultExt = buffer(cut(m_defaultExt, kDefaultExtBytes - 1), kDefaultExtBytes);
    ofn.lpstrDefExt = defaultExt.front() ? defaultExt.data() : nullptr;
    ofn.lpfnHook = &DialogHookProc;

    const std::vector<char> templateName = buffer(cut(m_templateName, kTemplateBytes - 1), kTemplateBytes);
    if (!m_templateName.empty()) {
        ofn.lpTemplateName = templateName.data();
        ofn.Flags |= win::OFN_ENABLETEMPLATE;
    }
    ofn.lCustData = reinterpret_cast<win::LPARAM>(this);
    host::TCustomForm* main = host::Application->GetMainForm();
    ofn.hwndOwner = main && main->HandleAllocated() ? main->GetHandle() : nullptr;

    s_running = this;
    win::BOOL result = win::FALSE;
    try {
        result = TaskModalDialog(dialogFunction, ofn);
    } catch (...) {
        s_running = nullptr;
        throw;
    }
    s_running = nullptr;
    if (!result) return result;

    const std::string chosen(file.data(), file.size());
    if (multi) {
        SplitMultiSelection(chosen, *m_files);
        m_fileName = m_files->Count() > 0 ? m_files->Get(0) : std::string();
    } else {
        m_fileName = std::string(file.data());
        m_files->Add(m_fileName);
    }
    if (ofn.Flags & win::OFN_EXTENSIONDIFFERENT)
        m_options.Include(ofExtensionDifferent);
    else
        m_options.Exclude(ofExtensionDifferent);
    if (ofn.Flags & win::OFN_READONLY)
        m_options.Include(ofReadOnly);
    else
        m_options.Exclude(ofReadOnly);
    m_filterIndex = std::int32_t(ofn.nFilterIndex);
    return result;
}

win::BOOL TKvCustomOpenDialog::TaskModalDialog(const TOpenFileNameFunc& dialogFunction,
                                               win::OPENFILENAMEA& ofn) {
    std::fenv_t environment;
    std::fegetenv(&environment);
    struct Restore {
        std::fenv_t& e;
        ~Restore() { std::fesetenv(&e); }
    } restore{environment};
    return dialogFunction ? dialogFunction(&ofn) : win::FALSE;
}

void TKvCustomOpenDialog::DoCreate() {
    if (OnCreate) OnCreate(this);
}

void TKvCustomOpenDialog::DoDestroy() {
    if (OnDestroy) OnDestroy(this);
}

void TKvCustomOpenDialog::DoFileOK(const std::string& Filename, bool& IsOk) {
    if (OnFileOK) OnFileOK(this, Filename, IsOk);
}

void TKvCustomOpenDialog::DoSelChanged(const std::string& Filename) {
    if (OnSelChanged) OnSelChanged(this, Filename);
}

void TKvCustomOpenDialog::DoCommand(std::int32_t Wnd, std::int32_t Parent, std::int32_t cmd) {
    if (OnCommand) OnCommand(this, Wnd, Parent, cmd);
}

bool TKvCustomOpenDialog::checkFiles(const std::string& buffer) {
    bool accepted = true;
    if (m_options.Contains(ofAllowMultiSelect)) {
        SplitMultiSelection(buffer, *m_workList);
        for (int i = 0; i < m_workList->Count() && accepted; ++i)
            DoFileOK(m_workList->Get(i), accepted);
    } else {
        DoFileOK(std::string(buffer.c_str()), accepted);
    }
    return accepted;
}

win::UINT_PTR TKvCustomOpenDialog::DialogHookProc(win::HWND window, win::UINT message, win::WPARAM wParam,
                                                  win::LPARAM lParam) {
    TKvCustomOpenDialog* open = s_openDialog;
    try {
        switch (message) {
        case win::WM_INITDIALOG: {
            const auto* ofn = reinterpret_cast<const win::OPENFILENAMEA*>(lParam);
            if (!ofn) return 1;
            s_openDialog = reinterpret_cast<TKvCustomOpenDialog*>(ofn->lCustData);
            if (s_openDialog) {
                s_openDialog->m_hookWnd = window;
                s_openDialog->DoCreate();
            }
            return 1;
        }
        case win::WM_DESTROY:
            if (open) {
                // Cleared first, so that the dialog counts as closed even when DoDestroy raises.
                open->m_hookWnd = nullptr;
                s_openDialog = nullptr;
                open->DoDestroy();
                open->DoClose();
            }
            return 0;
        case win::WM_NOTIFY: {
            const auto* notify = reinterpret_cast<const win::OFNOTIFYA*>(lParam);
            if (!notify) return 0;
            if (notify->hdr.code == win::CDN_INITDONE) {
                CenterWindow(
                    reinterpret_cast<win::HWND>(win::GetWindowLongPtrA(window, win::GWLP_HWNDPARENT)));
                if (open) open->DoShow();
            } else if (notify->hdr.code == win::CDN_FILEOK && open && notify->lpOFN) {
                const win::OPENFILENAMEA& ofn = *notify->lpOFN;
                const std::string files =
                    ofn.lpstrFile ? std::string(ofn.lpstrFile, ofn.nMaxFile) : std::string();
                const win::LONG_PTR rejected = open->checkFiles(files) ? 0 : 1;
                win::SetWindowLongPtrA(window, win::DWLP_MSGRESULT, rejected);
                return win::UINT_PTR(rejected);
            } else if (notify->hdr.code == win::CDN_SELCHANGE && open) {
                std::vector<char> path(kSelectionPathBytes, '\0');
                const win::LRESULT count =
                    win::SendMessageA(win::GetParent(window), win::CDM_GETFILEPATH, path.size(),
                                      reinterpret_cast<win::LPARAM>(path.data()));
                // The count includes the NUL; a path longer than the buffer is taken as far as it came.
                const std::size_t length =
                    count > 1 ? std::min<std::size_t>(std::size_t(count - 1), std::strlen(path.data())) : 0;
                open->DoSelChanged(std::string(path.data(), length));
            }
            return 0;
        }
        case win::WM_COMMAND:
            if (open)
                open->DoCommand(std::int32_t(reinterpret_cast<std::intptr_t>(window)),
                                std::int32_t(reinterpret_cast<std::intptr_t>(win::GetParent(window))),
                                std::int32_t(wParam & 0xFFFF));
            return 0;
        default:
            return 0;
        }
    } catch (...) {
        host::Application->HandleException(open ? open : s_openDialog);
        // A name whose check failed is not taken: the dialog stays open for another try.
        const auto* notify =
            message == win::WM_NOTIFY ? reinterpret_cast<const win::OFNOTIFYA*>(lParam) : nullptr;
        if (notify && notify->hdr.code == win::CDN_FILEOK) {
            win::SetWindowLongPtrA(window, win::DWLP_MSGRESULT, 1);
            return 1;
        }
    }
    return 0;
}

void TKvCustomOpenDialog::CenterWindow(win::HWND window) {
    win::RECT r{};
    if (!win::GetWindowRect(window, &r)) return;
    const int width = int(r.right - r.left), height = int(r.bottom - r.top);
    // The screen the windows are shown on (the system metrics describe a fixed desktop).
    win::SetWindowPos(window, nullptr, (host::Screen->GetWidth() - width) / 2,
                      (host::Screen->GetHeight() - height) / 3, 0, 0,
                      win::SWP_NOSIZE | win::SWP_NOZORDER | win::SWP_NOACTIVATE);
}

void TKvCustomOpenDialog::SplitMultiSelection(const std::string& buffer, host::TStrings& list) {
    list.Clear();
    std::size_t pos = 0;
    const auto next = [&]() {
        if (pos >= buffer.size()) return std::string();
        const std::size_t nul = buffer.find('\0', pos);
        const std::size_t end = nul == std::string::npos ? buffer.size() : nul;
        std::string s = buffer.substr(pos, end - pos);
        pos = end + 1;
        return s;
    };
    const std::string folder = next();
    std::string name = next();
    if (name.empty()) {
        if (!folder.empty()) list.Add(folder);
        return;
    }
    list.BeginUpdate();
    for (; !name.empty(); name = next())
        list.Add(isAbsolute(name) ? name : joinPath(folder, name));
    list.EndUpdate();
}

std::string TKvCustomOpenDialog::LastQuotedFile(const std::string& text) {
    const std::string work = cut(text, kSelectionPathBytes - 1);
    std::size_t pos = work.find('"');
    std::string folder = work.substr(0, pos);
    if (pos == std::string::npos) pos = work.size();
    if (!folder.empty() && folder.back() == '/') folder.pop_back();
    const auto skip = [&] {
        while (pos < work.size() && (work[pos] == '"' || work[pos] == ' '))
            ++pos;
    };
    std::string last;
    bool any = false;
    skip();
    while (pos < work.size()) {
        const std::size_t quote = work.find('"', pos);
        const std::string name =
            work.substr(pos, quote == std::string::npos ? std::string::npos : quote - pos);
        pos = quote == std::string::npos ? work.size() : quote;
        skip();
        last = isAbsolute(name) ? name : folder + "/" + name;
        any = true;
    }
    return any ? last : folder;
}

} // namespace kv
