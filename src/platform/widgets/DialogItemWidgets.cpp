#include "platform/widgets/DialogItemWidgets.h"

#include "platform/ui/DialogTemplates.h"
#include "platform/widgets/ControlWidget.h"

#include <QtCore/QPointer>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>

#include <string>
#include <unordered_map>

namespace host::widgets {
namespace {

struct Binding {
    QPointer<QWidget> widget;
    win::WNDPROC previous = nullptr;
};

// Item windows live on the GUI thread, as their widgets do.
std::unordered_map<win::HWND, Binding> g_bindings;

std::string windowText(win::HWND window) {
    std::string text(std::size_t(win::GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(std::size_t(win::GetWindowTextA(window, text.data(), int(text.size()))));
    return text;
}

QRect placeOf(win::HWND window) {
    win::RECT r{};
    win::GetWindowRect(window, &r);
    win::POINT origin{r.left, r.top};
    win::ScreenToClient(win::GetParent(window), &origin);
    return QRect(int(origin.x), int(origin.y), int(r.right - r.left), int(r.bottom - r.top));
}

// Brings the widget to the window's state.
void syncWidget(win::HWND window, QWidget* widget) {
    const QString text = QString::fromStdString(windowText(window));
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        if (edit->text() != text) edit->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(text);
        if (button->isCheckable())
            button->setChecked(win::SendMessageA(window, win::BM_GETCHECK, 0, 0) == win::BST_CHECKED);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(text);
    }
    widget->setEnabled(win::IsWindowEnabled(window));
    widget->setGeometry(placeOf(window));
    widget->setVisible((win::GetWindowLongPtrA(window, win::GWL_STYLE) & win::WS_VISIBLE) != 0);
}

win::LRESULT itemProc(win::HWND window, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    auto it = g_bindings.find(window);
    if (it == g_bindings.end()) return win::DefWindowProcA(window, message, wParam, lParam);
    const Binding binding = it->second;
    const win::LRESULT result = win::CallWindowProcA(binding.previous, window, message, wParam, lParam);
    switch (message) {
    case win::WM_SETTEXT:
    case win::BM_SETCHECK:
    case win::BM_CLICK:
    case win::WM_ENABLE:
    case win::WM_SHOWWINDOW:
    case win::WM_WINDOWPOSCHANGED:
        if (binding.widget && win::IsWindow(window)) syncWidget(window, binding.widget);
        break;
    case win::WM_NCDESTROY:
        if (binding.widget) DisposeWidget(binding.widget);
        g_bindings.erase(window);
        break;
    default:
        break;
    }
    return result;
}

QWidget* makeWidget(win::HWND item, char kind, QWidget* parent) {
    const win::DWORD style = win::DWORD(win::GetWindowLongPtrA(item, win::GWL_STYLE));
    switch (kind) {
    case 'B': {
        const win::DWORD type = style & win::BS_TYPEMASK;
        QAbstractButton* button = nullptr;
        if (type == win::BS_CHECKBOX || type == win::BS_AUTOCHECKBOX)
            button = new QCheckBox(parent);
        else if (type == win::BS_RADIOBUTTON || type == win::BS_AUTORADIOBUTTON)
            button = new QRadioButton(parent);
        else
            button = new QPushButton(parent);
        if (auto* push = qobject_cast<QPushButton*>(button)) push->setDefault(type == win::BS_DEFPUSHBUTTON);
        if (button->isCheckable()) button->setAutoExclusive(false); // the window decides the state
        QObject::connect(button, &QAbstractButton::clicked, button, [item, button] {
            Guarded(nullptr, [&] {
                win::SendMessageA(item, win::BM_CLICK, 0, 0);
                if (win::IsWindow(item)) syncWidget(item, button); // a plain check box keeps its state
            });
        });
        return button;
    }
    case 'E': {
        auto* edit = new QLineEdit(parent);
        edit->setReadOnly((style & win::ES_READONLY) != 0);
        QObject::connect(edit, &QLineEdit::textEdited, edit, [item](const QString& text) {
            Guarded(nullptr, [&] {
                const std::string utf8 = text.toStdString();
                win::SetWindowTextA(item, utf8.c_str());
            });
        });
        return edit;
    }
    case 'S': {
        auto* label = new QLabel(parent);
        label->setWordWrap((style & 0xF) != win::SS_LEFTNOWORDWRAP);
        return label;
    }
    default:
        return nullptr;
    }
}

} // namespace

int bindDialogItems(win::HWND dialog, QWidget* parent) {
    if (!parent || !win::IsWindow(dialog)) return 0;
    int made = 0;
    for (win::HWND item = win::GetWindow(dialog, win::GW_CHILD); item;
         item = win::GetWindow(item, win::GW_HWNDNEXT)) {
        const char kind = win::standardControlKind(item);
        if (!kind || g_bindings.count(item)) continue;
        QWidget* widget = makeWidget(item, kind, parent);
        if (!widget) continue;
        Binding b;
        b.widget = widget;
        g_bindings[item] = b;
        g_bindings[item].previous = reinterpret_cast<win::WNDPROC>(
            win::SetWindowLongPtrA(item, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&itemProc)));
        syncWidget(item, widget);
        ++made;
    }
    return made;
}

QWidget* dialogItemWidget(win::HWND item) {
    auto it = g_bindings.find(item);
    return it == g_bindings.end() ? nullptr : it->second.widget.data();
}

} // namespace host::widgets
