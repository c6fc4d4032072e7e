#include "platform/widgets/MessageBox.h"

#include "platform/widgets/ControlWidget.h"

#include <QtCore/QCoreApplication>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>

#include <mutex>
#include <utility>
#include <vector>

namespace host {
namespace {

std::mutex g_handlerMutex;
TMessageBoxHandler g_handler;

struct ButtonChoice {
    QMessageBox::StandardButton button;
    int id;
};

std::vector<ButtonChoice> buttonsOf(win::UINT type) {
    using B = QMessageBox;
    switch (type & win::MB_TYPEMASK) {
    case win::MB_OKCANCEL:
        return {{B::Ok, win::IDOK}, {B::Cancel, win::IDCANCEL}};
    case win::MB_ABORTRETRYIGNORE:
        return {{B::Abort, win::IDABORT}, {B::Retry, win::IDRETRY}, {B::Ignore, win::IDIGNORE}};
    case win::MB_YESNOCANCEL:
        return {{B::Yes, win::IDYES}, {B::No, win::IDNO}, {B::Cancel, win::IDCANCEL}};
    case win::MB_YESNO:
        return {{B::Yes, win::IDYES}, {B::No, win::IDNO}};
    case win::MB_RETRYCANCEL:
        return {{B::Retry, win::IDRETRY}, {B::Cancel, win::IDCANCEL}};
    default:
        return {{B::Ok, win::IDOK}};
    }
}

QMessageBox::Icon iconOf(win::UINT type) {
    switch (type & win::MB_ICONMASK) {
    case win::MB_ICONHAND:
        return QMessageBox::Critical;
    case win::MB_ICONQUESTION:
        return QMessageBox::Question;
    case win::MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case win::MB_ICONASTERISK:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

int showDialog(win::HWND owner, const std::string& text, const std::string& caption, win::UINT type) {
    widgets::EnsureApplication();
    TWinControl* control = FindControl(owner);
    QWidget* parent = control && control->Widget() ? control->Widget()->window() : nullptr;
    QMessageBox box(iconOf(type), QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::NoButton, parent);
    const std::vector<ButtonChoice> buttons = buttonsOf(type);
    for (const ButtonChoice& b : buttons)
        box.addButton(b.button);
    const std::size_t defaultIndex = std::min<std::size_t>((type & win::MB_DEFMASK) >> 8, buttons.size() - 1);
    box.setDefaultButton(buttons[defaultIndex].button);
    box.exec();
    const QMessageBox::StandardButton chosen = box.standardButton(box.clickedButton());
    for (const ButtonChoice& b : buttons)
        if (b.button == chosen) return b.id;
    return buttons.size() == 1 ? buttons[0].id : win::IDCANCEL;
}

} // namespace

TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler) {
    std::lock_guard lock(g_handlerMutex);
    return std::exchange(g_handler, std::move(handler));
}

} // namespace host

namespace win {

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    const std::string body = text ? text : "";
    const std::string title = caption ? caption : "エラー";
    host::TMessageBoxHandler handler;
    {
        std::lock_guard lock(host::g_handlerMutex);
        handler = host::g_handler;
    }
    if (handler) return handler(body, title, type);
    if (!host::widgets::OnGuiThread() && QCoreApplication::instance()) return 0;
    return host::showDialog(owner, body, title, type);
}

} // namespace win
