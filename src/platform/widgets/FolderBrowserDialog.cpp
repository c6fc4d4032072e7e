// The Qt dialog of the folder browser and SHBrowseForFolderA: the session's items shown as widgets at
// their places, the folder tree loaded as it is opened, the window layer's messages pumped while it runs.
#include "platform/widgets/ControlWidget.h"
#include "platform/widgets/DialogItemWidgets.h"
#include "platform/widgets/FolderBrowser.h"
#include "platform/widgets/MessageBox.h"

#include <QtCore/QTimer>
#include <QtGui/QMoveEvent>
#include <QtGui/QResizeEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QDialog>
#include <QtWidgets/QInputDialog>
#include <QtWidgets/QStyle>
#include <QtWidgets/QTreeWidget>

#include <cstring>
#include <filesystem>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace host {
namespace {

using Node = FolderBrowserSession::Node;

std::mutex g_handlerMutex;
TFolderBrowserHandler g_handler;
bool g_handlerShowsDialog = false;

QRect windowPlace(win::HWND window) {
    win::RECT r{};
    win::GetWindowRect(window, &r);
    return QRect(int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top));
}

class BrowserDialog : public QDialog {
  public:
    BrowserDialog(FolderBrowserSession& session, QWidget* parent) : QDialog(parent), m_session(session) {
        setWindowTitle(QString::fromStdString(session.Title()));
        const QRect place = windowPlace(session.Window());
        resize(place.size());
        setMinimumSize(place.size());
        m_tree = new QTreeWidget(this);
        m_tree->setHeaderHidden(true);
        m_tree->setGeometry(itemPlace(win::IDC_BROWSE_TREE));
        for (const auto& root : session.Roots())
            addItem(nullptr, root.get());
        QObject::connect(m_tree, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
            widgets::Guarded(nullptr, [&] { m_session.Expand(nodeOf(item)); });
        });
        QObject::connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
            if (m_syncing || !item) return;
            widgets::Guarded(nullptr, [&] { m_session.Select(nodeOf(item)); });
        });
        session.SetDialog(this);
        session.onStateChanged = [this] { refresh(); };
        session.onNodeLoaded = [this](Node* node) { addChildren(node); };
        session.onFinished = [this] { QDialog::done(m_session.Accepted() ? Accepted : Rejected); };
        session.onMoved = [this] { followWindow(); };
        session.onFocusTree = [this] { m_tree->setFocus(); };
        session.onNewFolder = [this] { askNewFolder(); };
    }
    ~BrowserDialog() override {
        m_session.onStateChanged = nullptr;
        m_session.onNodeLoaded = nullptr;
        m_session.onFinished = nullptr;
        m_session.onMoved = nullptr;
        m_session.onFocusTree = nullptr;
        m_session.onNewFolder = nullptr;
        m_session.SetDialog(nullptr);
    }

    void reject() override {
        if (!m_session.Finished())
            m_session.Cancel();
        else
            QDialog::reject();
    }

  protected:
    void moveEvent(QMoveEvent* event) override {
        QDialog::moveEvent(event);
        noteGeometry();
    }
    void resizeEvent(QResizeEvent* event) override {
        QDialog::resizeEvent(event);
        noteGeometry();
    }

  private:
    QRect itemPlace(int id) const {
        win::HWND item = win::GetDlgItem(m_session.Window(), id);
        win::RECT r{};
        win::GetWindowRect(item, &r);
        win::POINT origin{r.left, r.top};
        win::ScreenToClient(m_session.Window(), &origin);
        return QRect(int(origin.x), int(origin.y), int(r.right - r.left), int(r.bottom - r.top));
    }

    Node* nodeOf(QTreeWidgetItem* item) const {
        return item ? static_cast<Node*>(item->data(0, Qt::UserRole).value<void*>()) : nullptr;
    }

    QTreeWidgetItem* addItem(QTreeWidgetItem* parent, Node* node) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
        item->setText(0, QString::fromStdString(node->name));
        item->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void*>(node)));
        QStyle::StandardPixmap icon = QStyle::SP_DirIcon;
        if (node->path.empty())
            icon = QStyle::SP_ComputerIcon;
        else if (node->path == win::homeFolder() && !node->parent)
            icon = QStyle::SP_DirHomeIcon;
        else if (!std::filesystem::is_directory(node->path))
            icon = QStyle::SP_FileIcon;
        item->setIcon(0, style()->standardIcon(icon));
        item->setChildIndicatorPolicy(icon == QStyle::SP_FileIcon ? QTreeWidgetItem::DontShowIndicator
                                                                  : QTreeWidgetItem::ShowIndicator);
        m_items[node] = item;
        if (node->loaded) addChildren(node);
        return item;
    }

    void addChildren(Node* node) {
        auto it = m_items.find(node);
        if (it == m_items.end()) return;
        QTreeWidgetItem* item = it->second;
        for (const auto& child : node->children)
            if (!m_items.count(child.get())) addItem(item, child.get());
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    }

    void refresh() {
        setWindowTitle(QString::fromStdString(m_session.Title()));
        widgets::bindDialogItems(m_session.Window(), this);
        Node* selected = m_session.Selection();
        auto it = m_items.find(selected);
        if (it == m_items.end() || m_tree->currentItem() == it->second) return;
        m_syncing = true;
        for (QTreeWidgetItem* p = it->second->parent(); p; p = p->parent())
            p->setExpanded(true);
        m_tree->setCurrentItem(it->second);
        m_tree->scrollToItem(it->second);
        m_syncing = false;
    }

    void followWindow() {
        const QRect place = windowPlace(m_session.Window());
        m_moving = true;
        setGeometry(place);
        m_moving = false;
    }

    void noteGeometry() {
        if (m_moving || !m_session.Window()) return;
        const QRect g = geometry();
        m_session.NoteGeometry(g.x(), g.y(), g.width(), g.height());
        m_tree->setGeometry(itemPlace(win::IDC_BROWSE_TREE));
    }

    void askNewFolder() {
        bool ok = false;
        const QString name = QInputDialog::getText(
            this, "New Folder", "Name of the new folder:", QLineEdit::Normal, "New Folder", &ok);
        if (!ok || name.isEmpty()) return;
        if (!m_session.NewFolder(name.toStdString()))
            win::MessageBoxA(m_session.Window(), "The folder could not be made.", "New Folder",
                             win::MB_OK | win::MB_ICONWARNING);
    }

    FolderBrowserSession& m_session;
    QTreeWidget* m_tree = nullptr;
    std::unordered_map<Node*, QTreeWidgetItem*> m_items;
    bool m_syncing = false;
    bool m_moving = false;
};

// Runs the session in the dialog; the handler (if any) is run from inside the dialog's event loop.
void runDialog(FolderBrowserSession& session, win::HWND owner, const TFolderBrowserHandler& handler) {
    widgets::EnsureApplication();
    TWinControl* control = FindControl(owner);
    QWidget* parent = control && control->Widget() ? control->Widget()->window() : nullptr;
    BrowserDialog dialog(session, parent);
    // The window layer's posted messages and timers are handled while the dialog runs.
    QTimer pump;
    QObject::connect(&pump, &QTimer::timeout, &dialog, [] { win::dispatchPendingMessages(nullptr); });
    pump.start(10);
    session.Start();
    if (session.Finished() || !session.Window()) return;
    if (handler)
        QTimer::singleShot(0, &dialog, [&session, handler] {
            widgets::Guarded(nullptr, [&] { handler(session); });
            if (!session.Finished() && session.Window()) session.Cancel();
        });
    dialog.exec();
}

void copyName(const std::string& name, char* out) {
    std::size_t n = std::min<std::size_t>(name.size(), win::MAX_PATH - 1);
    while (n > 0 && n < name.size() && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80)
        --n;
    std::memcpy(out, name.data(), n);
    out[n] = '\0';
}

} // namespace

TFolderBrowserHandler SetFolderBrowserHandler(TFolderBrowserHandler handler, bool showDialog) {
    std::lock_guard lock(g_handlerMutex);
    g_handlerShowsDialog = showDialog;
    return std::exchange(g_handler, std::move(handler));
}

} // namespace host

namespace win {

LPITEMIDLIST SHBrowseForFolderA(BROWSEINFOA* info) {
    if (!info) return nullptr;
    host::TFolderBrowserHandler handler;
    bool showDialog = true;
    {
        std::lock_guard lock(host::g_handlerMutex);
        handler = host::g_handler;
        showDialog = !handler || host::g_handlerShowsDialog;
    }
    if (showDialog && !host::widgets::OnGuiThread() && QCoreApplication::instance()) return nullptr;
    host::FolderBrowserSession session(*info);
    if (!session.Window()) return nullptr;
    if (showDialog) {
        host::runDialog(session, info->hwndOwner, handler);
    } else {
        session.Start();
        if (!session.Finished() && session.Window()) handler(session);
        if (!session.Finished() && session.Window()) session.Cancel();
    }
    LPITEMIDLIST result = nullptr;
    if (session.Accepted() && session.Selection()) {
        const host::FolderBrowserSession::Node* node = session.Selection();
        result = ILClone(node->id());
        if (info->pszDisplayName) host::copyName(node->name, info->pszDisplayName);
        info->iImage = node->path.empty() ? 15 : 3; // the computer's and a folder's icon
    }
    // The window goes before the call returns, as its callback expects.
    if (session.Window()) DestroyWindow(session.Window());
    return result;
}

} // namespace win
