#include "platform/widgets/FileDialog.h"

#include "platform/ui/DialogResources.h"
#include "platform/ui/WindowMessages.h"
#include "platform/widgets/ControlWidget.h"
#include "platform/widgets/DialogItemWidgets.h"
#include "platform/widgets/Forms.h"
#include "platform/widgets/MessageBox.h"
#include "platform/win/SystemMetrics.h"

#include <QtCore/QTimer>
#include <QtGui/QFileSystemModel>
#include <QtGui/QFontMetrics>
#include <QtGui/QGuiApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListView>
#include <QtWidgets/QPushButton>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <unistd.h>

namespace host::widgets {

namespace {

namespace fs = std::filesystem;

constexpr const char* kDialogClass = "QuillanFileDialog";
constexpr const char* kChildClass = "QuillanFileDialogChild";

thread_local win::DWORD t_lastError = 0;

std::mutex g_hookMutex;
FileDialogHandler g_handler;
FileDialogDriver g_driver;

template <typename T> T* userDataOf(win::HWND window) {
    return reinterpret_cast<T*>(win::GetWindowLongPtrA(window, win::GWLP_USERDATA));
}

win::LRESULT dialogProc(win::HWND window, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    if (FileDialog* d = userDataOf<FileDialog>(window)) {
        if (message >= win::CDM_FIRST && message <= win::CDM_FIRST + 20)
            return d->DialogMessage(message, wParam, lParam);
        if (message == win::WM_SETTEXT && lParam)
            d->setWindowTitle(QString::fromUtf8(reinterpret_cast<const char*>(lParam)));
        if (message == win::WM_WINDOWPOSCHANGED) d->FollowWindow();
    }
    return win::DefWindowProcA(window, message, wParam, lParam);
}

// The child window a hook works on: every message goes to the hook first.
win::LRESULT childProc(win::HWND window, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    FileDialog* d = userDataOf<FileDialog>(window);
    if (d && message != win::WM_NCCREATE && message != win::WM_NCDESTROY) {
        const win::LRESULT answer = d->ToHook(message, wParam, lParam);
        if (answer || message == win::WM_NOTIFY || message == win::WM_INITDIALOG) return answer;
    }
    return win::DefWindowProcA(window, message, wParam, lParam);
}

void registerClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        win::registerStandardControls();
        for (auto [name, proc] : {std::pair{kDialogClass, &dialogProc}, std::pair{kChildClass, &childProc}}) {
            win::WNDCLASSA c{};
            c.lpfnWndProc = proc;
            c.lpszClassName = name;
            win::RegisterClassA(&c);
        }
    });
}

// The text of a string field, read no further than max bytes.
std::string boundedString(const char* s, std::size_t max) {
    return s ? std::string(s, strnlen(s, max)) : std::string();
}

std::string nameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string lowerCase(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

bool exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

bool isDirectory(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

std::string parentOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

win::LRESULT copyOut(const std::string& text, win::WPARAM size, win::LPARAM buffer) {
    if (buffer && size > 0) win::copyWindowText(text.data(), text.size(), size, buffer);
    return win::LRESULT(text.size() + 1);
}

} // namespace

FileDialog::FileDialog(win::OPENFILENAMEA& ofn, bool save, QWidget* parent)
    : QFileDialog(parent), m_ofn(ofn), m_save(save) {
    setOption(QFileDialog::DontUseNativeDialog, true);
    setOption(QFileDialog::DontConfirmOverwrite, true);
    setOption(QFileDialog::HideNameFilterDetails, true);
    setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    const bool multi = !save && (ofn.Flags & win::OFN_ALLOWMULTISELECT);
    setFileMode(multi ? QFileDialog::ExistingFiles : QFileDialog::AnyFile);
    const std::string title = boundedString(ofn.lpstrTitle, 1024);
    setWindowTitle(QString::fromStdString(title.empty() ? (save ? "Save As" : "Open") : title));
}

FileDialog::~FileDialog() {
    // A hook that never saw WM_INITDIALOG gets no WM_DESTROY either.
    if (!m_started && m_hookWindow) win::SetWindowLongPtrA(m_hookWindow, win::GWLP_USERDATA, 0);
    if (m_dialogWindow && win::IsWindow(m_dialogWindow)) win::DestroyWindow(m_dialogWindow);
}

bool FileDialog::Prepare() {
    if ((m_ofn.Flags & win::OFN_ENABLEHOOK) && !m_ofn.lpfnHook) {
        m_error = win::CDERR_NOHOOK;
        return false;
    }
    const win::DialogTemplate* dialogTemplate = nullptr;
    if (m_ofn.Flags & win::OFN_ENABLETEMPLATE) {
        if (!(dialogTemplate = win::FindDialogResource(m_ofn.lpTemplateName))) {
            m_error = win::CDERR_FINDRESFAILURE;
            return false;
        }
    }
    registerClasses();
    const std::string title = windowTitle().toStdString();
    m_dialogWindow = win::CreateWindowExA(0, kDialogClass, title.c_str(), win::WS_POPUP, 0, 0, 0, 0, nullptr,
                                          nullptr, nullptr, nullptr);
    m_hookWindow = win::CreateWindowExA(0, kChildClass, "", win::WS_CHILD | win::WS_VISIBLE, 0, 0, 0, 0,
                                        m_dialogWindow, nullptr, nullptr, nullptr);
    if (!m_dialogWindow || !m_hookWindow) {
        m_error = win::CDERR_DIALOGFAILURE;
        return false;
    }
    win::SetWindowLongPtrA(m_dialogWindow, win::GWLP_USERDATA, reinterpret_cast<win::LONG_PTR>(this));
    win::SetWindowLongPtrA(m_hookWindow, win::GWLP_USERDATA, reinterpret_cast<win::LONG_PTR>(this));

    buildFilters();
    applyInitialName();
    auto* grid = qobject_cast<QGridLayout*>(layout());
    if (!(m_ofn.Flags & win::OFN_HIDEREADONLY)) {
        m_readOnly = new QCheckBox("Open as &read-only", this);
        m_readOnly->setChecked(m_ofn.Flags & win::OFN_READONLY);
        if (grid) grid->addWidget(m_readOnly, grid->rowCount(), 0, 1, grid->columnCount());
    }
    if (dialogTemplate) buildTemplate(*dialogTemplate);
    return true;
}

void FileDialog::buildFilters() {
    m_filters = ParseFilterList(m_ofn.lpstrFilter);
    for (const FilterPair& f : m_filters) {
        QString patterns;
        for (const std::string& p : f.patterns)
            patterns += (patterns.isEmpty() ? "" : " ") + QString::fromStdString(CaseFreePattern(p));
        m_qtFilters << QString::fromStdString(f.description) + " (" + patterns + ")";
    }
    if (m_qtFilters.isEmpty()) return;
    setNameFilters(m_qtFilters);
    const win::DWORD index = m_ofn.nFilterIndex;
    selectNameFilter(m_qtFilters[index >= 1 && index <= win::DWORD(m_qtFilters.size()) ? int(index) - 1 : 0]);
}

// The folder comes from a path in the initial name, else from the initial folder, else the current one.
void FileDialog::applyInitialName() {
    std::string folder = boundedString(m_ofn.lpstrInitialDir, 4096);
    if (folder.empty() || !isDirectory(folder)) folder = fs::current_path().string();
    std::string name = boundedString(m_ofn.lpstrFile, m_ofn.nMaxFile);
    if (name.find('/') != std::string::npos) {
        const std::string full = name.front() == '/' ? name : folder + "/" + name;
        if (isDirectory(full)) {
            folder = full;
            name.clear();
        } else if (isDirectory(parentOf(full))) {
            folder = parentOf(full);
            name = nameOf(full);
        }
    }
    setDirectory(QString::fromStdString(folder));
    if (!name.empty()) selectFile(QString::fromStdString(name));
}

// The template's items are made as children of the hook window and shown through Qt widgets in an area
// below the dialog's own controls, or beside them when the template marks their place with a placeholder
// (the items right of it then move left by the placeholder's right edge).
void FileDialog::buildTemplate(const win::DialogTemplate& t) {
    win::RECT size{0, 0, t.cx, t.cy};
    win::MapDialogRect(m_hookWindow, &size);
    win::SetWindowPos(m_hookWindow, nullptr, 0, 0, size.right, size.bottom,
                      win::SWP_NOZORDER | win::SWP_NOACTIVATE);
    win::createDialogItems(m_hookWindow, t);
    int shift = 0;
    const win::HWND placeholder = win::GetDlgItem(m_hookWindow, win::IDC_FILEDIALOG_STANDARD);
    if (placeholder) {
        win::RECT r{};
        win::GetWindowRect(placeholder, &r);
        win::POINT right{r.right, r.top};
        win::ScreenToClient(m_hookWindow, &right);
        shift = int(right.x);
        win::ShowWindow(placeholder, win::SW_HIDE);
        for (win::HWND item = win::GetWindow(m_hookWindow, win::GW_CHILD); item;
             item = win::GetWindow(item, win::GW_HWNDNEXT)) {
            if (item == placeholder) continue;
            win::GetWindowRect(item, &r);
            win::POINT place{r.left, r.top};
            win::ScreenToClient(m_hookWindow, &place);
            win::SetWindowPos(item, nullptr, int(place.x) - shift, int(place.y), 0, 0,
                              win::SWP_NOSIZE | win::SWP_NOZORDER | win::SWP_NOACTIVATE);
        }
    }
    m_templateArea = new QWidget(this);
    m_templateArea->setObjectName("templateArea");
    m_templateArea->setFixedSize(std::max(0, int(size.right) - shift), int(size.bottom));
    bindDialogItems(m_hookWindow, m_templateArea);
    auto* grid = qobject_cast<QGridLayout*>(layout());
    if (!grid) return;
    if (placeholder)
        grid->addWidget(m_templateArea, 0, grid->columnCount(), grid->rowCount(), 1, Qt::AlignTop);
    else
        grid->addWidget(m_templateArea, grid->rowCount(), 0, 1, grid->columnCount(), Qt::AlignLeft);
}

QWidget* FileDialog::TemplateControl(int id) const {
    const win::HWND item = win::GetDlgItem(m_hookWindow, id);
    return item ? dialogItemWidget(item) : nullptr;
}

void FileDialog::FollowWindow() {
    if (m_placing) return;
    win::RECT r{};
    if (win::GetWindowRect(m_dialogWindow, &r)) move(int(r.left), int(r.top));
}

void FileDialog::AddSidePane(QWidget* pane) {
    if (!pane) return;
    pane->setParent(this);
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(pane, 0, grid->columnCount(), grid->rowCount(), 1);
}

void FileDialog::Start() {
    if (m_started) return;
    m_started = true;
    // The dialog window takes the Qt dialog's size, so that a hook can place it.
    resize(sizeHint().expandedTo(minimumSizeHint()));
    m_placing = true;
    win::SetWindowPos(m_dialogWindow, nullptr, x(), y(), width(), height(),
                      win::SWP_NOZORDER | win::SWP_NOACTIVATE);
    m_placing = false;
    win::SendMessageA(m_hookWindow, win::WM_INITDIALOG, 0, reinterpret_cast<win::LPARAM>(&m_ofn));
    notify(win::CDN_INITDONE);
    connect(this, &QFileDialog::currentChanged, this, [this] { notify(win::CDN_SELCHANGE); });
    connect(this, &QFileDialog::directoryEntered, this, [this] { notify(win::CDN_FOLDERCHANGE); });
    connect(this, &QFileDialog::filterSelected, this, [this] { notify(win::CDN_TYPECHANGE); });
}

win::LRESULT FileDialog::ToHook(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    if (!(m_ofn.Flags & win::OFN_ENABLEHOOK) || !m_ofn.lpfnHook) return 0;
    try {
        return win::LRESULT(m_ofn.lpfnHook(m_hookWindow, message, wParam, lParam));
    } catch (...) {
        Application->HandleException(nullptr);
        return 0;
    }
}

win::LRESULT FileDialog::notify(win::UINT code) {
    win::OFNOTIFYA n{{m_dialogWindow, 0, code}, &m_ofn, m_ofn.lpstrFile};
    win::SetWindowLongPtrA(m_hookWindow, win::DWLP_MSGRESULT, 0);
    return win::SendMessageA(m_hookWindow, win::WM_NOTIFY, 0, reinterpret_cast<win::LPARAM>(&n));
}

std::vector<std::string> FileDialog::currentPaths() const {
    std::vector<std::string> paths;
    const QString folder = directory().absolutePath();
    for (const QString& f : selectedFiles())
        if (!f.isEmpty() && f != folder) paths.push_back(f.toStdString());
    return paths;
}

win::LRESULT FileDialog::DialogMessage(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    const std::string folder = directory().absolutePath().toStdString();
    switch (message) {
    case win::CDM_GETFILEPATH: {
        const std::vector<std::string> paths = currentPaths();
        return paths.empty() ? -1 : copyOut(SelectionPathText(folder, paths), wParam, lParam);
    }
    case win::CDM_GETSPEC: {
        auto* edit = findChild<QLineEdit*>("fileNameEdit");
        return copyOut(edit ? edit->text().toStdString() : std::string(), wParam, lParam);
    }
    case win::CDM_GETFOLDERPATH:
        return copyOut(folder, wParam, lParam);
    default:
        return 0;
    }
}

void FileDialog::SelectNames(const std::vector<std::string>& names) {
    QString text;
    if (names.size() == 1) {
        text = QString::fromStdString(names.front());
    } else {
        for (const std::string& n : names)
            text += (text.isEmpty() ? "\"" : " \"") + QString::fromStdString(n) + "\"";
    }
    // Picked in the list where the names are there, so that the selection notifications follow.
    auto* list = findChild<QListView*>("listView");
    auto* model = list ? qobject_cast<QFileSystemModel*>(list->model()) : nullptr;
    if (list && model && list->selectionModel()) {
        const QString folder = directory().absolutePath();
        list->selectionModel()->clearSelection();
        for (const std::string& n : names) {
            if (n.empty()) continue;
            const QString path =
                n.front() == '/' ? QString::fromStdString(n) : folder + "/" + QString::fromStdString(n);
            const QModelIndex index = model->index(path);
            if (!index.isValid() || index.parent() != list->rootIndex()) continue;
            list->selectionModel()->setCurrentIndex(index,
                                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    if (auto* edit = findChild<QLineEdit*>("fileNameEdit"); edit && edit->text() != text) edit->setText(text);
}

void FileDialog::ClickOk() {
    if (auto* box = findChild<QDialogButtonBox*>("buttonBox"))
        if (QPushButton* ok = box->button(m_save ? QDialogButtonBox::Save : QDialogButtonBox::Open)) {
            ok->setEnabled(true);
            ok->click();
            return;
        }
    accept();
}

void FileDialog::ClickCancel() {
    if (auto* box = findChild<QDialogButtonBox*>("buttonBox"))
        if (QPushButton* cancel = box->button(QDialogButtonBox::Cancel)) {
            cancel->click();
            return;
        }
    reject();
}

// The name checks of the flags; each failure is explained in a message box and keeps the dialog open.
bool FileDialog::validate(std::vector<std::string>& paths) {
    const std::string ext = boundedString(m_ofn.lpstrDefExt, 16);
    const std::string caption = windowTitle().toStdString();
    const auto box = [&](const std::string& text, win::UINT type) {
        return win::MessageBoxA(m_dialogWindow, text.c_str(), caption.c_str(), type);
    };
    for (std::string& path : paths) {
        if (!ext.empty() && nameOf(path).find('.') == std::string::npos) {
            const std::string withExt = path + "." + ext;
            if (m_save || exists(withExt) || !exists(path)) path = withExt;
        }
        const bool found = exists(path);
        const bool mustExist = !m_save && (m_ofn.Flags & win::OFN_FILEMUSTEXIST);
        if ((m_ofn.Flags & (win::OFN_PATHMUSTEXIST | win::OFN_FILEMUSTEXIST)) &&
            !isDirectory(parentOf(path))) {
            box(path + "\nThe path does not exist.\nCheck the path and try again.",
                win::MB_OK | win::MB_ICONWARNING);
            return false;
        }
        if (mustExist && !found) {
            box(nameOf(path) + "\nFile not found.\nCheck the file name and try again.",
                win::MB_OK | win::MB_ICONWARNING);
            return false;
        }
        if (!found && (m_ofn.Flags & win::OFN_CREATEPROMPT) &&
            box(nameOf(path) + " does not exist.\nDo you want to create it?",
                win::MB_YESNO | win::MB_ICONQUESTION) != win::IDYES)
            return false;
    }
    return true;
}

// Writes the names into the record's buffer; a buffer too small ends the dialog with the size it needs.
bool FileDialog::storeResult(const std::vector<std::string>& paths) {
    unsigned offset = 0;
    std::string buffer = SelectionBuffer(directory().absolutePath().toStdString(), paths, &offset);
    // One name needs its terminating NUL only; the second NUL goes in when there is room.
    const std::size_t needed = paths.size() == 1 ? buffer.size() - 1 : buffer.size();
    if (needed > m_ofn.nMaxFile) {
        if (m_ofn.nMaxFile >= 2) {
            const auto size = win::WORD(std::min<std::size_t>(needed, 0xFFFF));
            std::memcpy(m_ofn.lpstrFile, &size, sizeof size);
        }
        finish(false, win::FNERR_BUFFERTOOSMALL);
        return false;
    }
    std::memcpy(m_ofn.lpstrFile, buffer.data(), std::min<std::size_t>(buffer.size(), m_ofn.nMaxFile));
    m_ofn.nFileOffset = win::WORD(std::min<unsigned>(offset, 0xFFFF));
    m_ofn.nFileExtension = 0;
    if (paths.size() == 1) {
        const std::string name = nameOf(paths.front());
        const std::size_t dot = name.find_last_of('.');
        const std::size_t at = dot == std::string::npos ? paths.front().size() : offset + dot + 1;
        m_ofn.nFileExtension = win::WORD(std::min<std::size_t>(at, 0xFFFF));
        if (m_ofn.lpstrFileTitle && m_ofn.nMaxFileTitle > 0)
            win::copyWindowText(name.data(), name.size(), m_ofn.nMaxFileTitle,
                                reinterpret_cast<win::LPARAM>(m_ofn.lpstrFileTitle));
    }
    return true;
}

bool FileDialog::hookAccepts() {
    const win::LRESULT answer = notify(win::CDN_FILEOK);
    return answer == 0 && win::GetWindowLongPtrA(m_hookWindow, win::DWLP_MSGRESULT) == 0;
}

void FileDialog::accept() {
    std::vector<std::string> paths = currentPaths();
    if (paths.size() == 1 && isDirectory(paths.front())) {
        setDirectory(QString::fromStdString(paths.front()));
        if (auto* edit = findChild<QLineEdit*>("fileNameEdit")) edit->clear();
        return;
    }
    if (paths.empty() || !validate(paths) || !storeResult(paths) || !hookAccepts()) return;
    const std::string& first = paths.front();
    if (m_save && (m_ofn.Flags & win::OFN_OVERWRITEPROMPT) && exists(first)) {
        const std::string text = nameOf(first) + " already exists.\nDo you want to replace it?";
        const std::string caption = windowTitle().toStdString();
        if (win::MessageBoxA(m_dialogWindow, text.c_str(), caption.c_str(),
                             win::MB_YESNO | win::MB_ICONWARNING | win::MB_DEFBUTTON2) != win::IDYES)
            return;
    }
    m_ofn.Flags &= ~(win::OFN_READONLY | win::OFN_EXTENSIONDIFFERENT);
    if (m_readOnly && m_readOnly->isChecked()) m_ofn.Flags |= win::OFN_READONLY;
    const std::string ext = boundedString(m_ofn.lpstrDefExt, 16);
    if (!ext.empty() && paths.size() == 1) {
        const std::string name = nameOf(first);
        const std::size_t dot = name.find_last_of('.');
        if (dot == std::string::npos || lowerCase(name.substr(dot + 1)) != lowerCase(ext))
            m_ofn.Flags |= win::OFN_EXTENSIONDIFFERENT;
    }
    if (const int index = int(m_qtFilters.indexOf(selectedNameFilter())); index >= 0)
        m_ofn.nFilterIndex = win::DWORD(index + 1);
    if (!(m_ofn.Flags & win::OFN_NOCHANGEDIR)) {
        std::error_code ec;
        fs::current_path(parentOf(first), ec);
    }
    finish(true, 0);
}

void FileDialog::reject() {
    finish(false, 0);
}

void FileDialog::finish(bool confirmed, win::DWORD error) {
    m_confirmed = confirmed;
    m_error = error;
    QFileDialog::done(confirmed ? QDialog::Accepted : QDialog::Rejected);
}

win::BOOL RunFileDialog(win::OPENFILENAMEA* ofn, bool save, const std::function<void(FileDialog&)>& extend) {
    t_lastError = 0;
    if (!ofn) {
        t_lastError = win::CDERR_INITIALIZATION;
        return win::FALSE;
    }
    if (ofn->lStructSize != win::OPENFILENAME_SIZE_VERSION_400A &&
        ofn->lStructSize != sizeof(win::OPENFILENAMEA)) {
        t_lastError = win::CDERR_STRUCTSIZE;
        return win::FALSE;
    }
    if (!ofn->lpstrFile || ofn->nMaxFile == 0) {
        t_lastError = win::CDERR_INITIALIZATION;
        return win::FALSE;
    }
    if ((ofn->Flags & win::OFN_ENABLEHOOK) && !ofn->lpfnHook) {
        t_lastError = win::CDERR_NOHOOK;
        return win::FALSE;
    }
    FileDialogHandler handler;
    FileDialogDriver driver;
    {
        std::lock_guard lock(g_hookMutex);
        handler = g_handler;
        driver = g_driver;
    }
    if (handler) return handler(*ofn, save);

    EnsureApplication();
    const QString platform = QGuiApplication::platformName();
    // Nobody can answer a dialog on a screen that is not shown.
    if (!OnGuiThread() || (!driver && (platform == "offscreen" || platform == "minimal"))) {
        t_lastError = win::CDERR_DIALOGFAILURE;
        return win::FALSE;
    }
    TWinControl* control = FindControl(ofn->hwndOwner);
    QWidget* parent = control && control->Widget() ? control->Widget()->window() : nullptr;
    FileDialog dialog(*ofn, save, parent);
    if (!dialog.Prepare()) {
        t_lastError = dialog.Error();
        return win::FALSE;
    }
    if (extend) extend(dialog);
    dialog.Start();
    if (driver)
        QTimer::singleShot(0, &dialog, [&dialog, &driver] {
            try {
                driver(dialog);
            } catch (...) {
                Application->HandleException(nullptr);
            }
        });
    dialog.exec();
    // The hook sees WM_DESTROY before the call returns.
    win::DestroyWindow(dialog.DialogWindow());
    t_lastError = dialog.Error();
    return dialog.Confirmed() ? win::TRUE : win::FALSE;
}

FileDialogHandler SetFileDialogHandler(FileDialogHandler handler) {
    std::lock_guard lock(g_hookMutex);
    return std::exchange(g_handler, std::move(handler));
}

FileDialogDriver SetFileDialogDriver(FileDialogDriver driver) {
    std::lock_guard lock(g_hookMutex);
    return std::exchange(g_driver, std::move(driver));
}

} // namespace host::widgets

namespace win {

BOOL GetOpenFileNameA(LPOPENFILENAMEA ofn) {
    return host::widgets::RunFileDialog(ofn, false);
}

BOOL GetSaveFileNameA(LPOPENFILENAMEA ofn) {
    return host::widgets::RunFileDialog(ofn, true);
}

DWORD CommDlgExtendedError() {
    return host::widgets::t_lastError;
}

} // namespace win
