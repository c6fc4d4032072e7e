// TScreen: the screen's size, the forms, the cursor table and the cursor shown on all windows.
#include "platform/widgets/ControlWidget.h"
#include "platform/widgets/Forms.h"

#include "platform/win/Cursors.h"
#include "platform/win/Resources.h"
#include "platform/win/SystemMetrics.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QIcon>
#include <QtGui/QPixmap>
#include <QtGui/QScreen>
#include <QtWidgets/QApplication>

#include <algorithm>
#include <optional>
#include <utility>

namespace host {
namespace {

struct StandardCursor {
    TCursor number;
    win::LPCSTR system; // the system cursor in the table; nullptr: none (the default is used)
    Qt::CursorShape shape;
};

// The standard cursors: the system cursor each number stands for, and the pointer shape of the
// window system that shows it while the table holds that cursor.
const StandardCursor* standardCursors(std::size_t& count) {
    static const StandardCursor table[] = {
        {crDefault, nullptr, Qt::ArrowCursor},
        {crNone, nullptr, Qt::BlankCursor},
        {crArrow, win::IDC_ARROW, Qt::ArrowCursor},
        {crCross, win::IDC_CROSS, Qt::CrossCursor},
        {crIBeam, win::IDC_IBEAM, Qt::IBeamCursor},
        {crSize, win::IDC_SIZEALL, Qt::SizeAllCursor},
        {crSizeNESW, win::IDC_SIZENESW, Qt::SizeBDiagCursor},
        {crSizeNS, win::IDC_SIZENS, Qt::SizeVerCursor},
        {crSizeNWSE, win::IDC_SIZENWSE, Qt::SizeFDiagCursor},
        {crSizeWE, win::IDC_SIZEWE, Qt::SizeHorCursor},
        {crUpArrow, win::IDC_UPARROW, Qt::UpArrowCursor},
        {crHourGlass, win::IDC_WAIT, Qt::WaitCursor},
        {crDrag, nullptr, Qt::DragCopyCursor},
        {crNoDrop, nullptr, Qt::ForbiddenCursor},
        {crHSplit, nullptr, Qt::SplitHCursor},
        {crVSplit, nullptr, Qt::SplitVCursor},
        {crMultiDrag, nullptr, Qt::DragCopyCursor},
        {crSQLWait, nullptr, Qt::WaitCursor},
        {crNo, win::IDC_NO, Qt::ForbiddenCursor},
        {crAppStart, win::IDC_APPSTARTING, Qt::BusyCursor},
        {crHelp, nullptr, Qt::WhatsThisCursor},
        {crHandPoint, win::IDC_HAND, Qt::PointingHandCursor},
        {crSizeAll, win::IDC_SIZEALL, Qt::SizeAllCursor},
    };
    count = std::size(table);
    return table;
}

const StandardCursor* findStandard(TCursor number) {
    std::size_t count = 0;
    const StandardCursor* table = standardCursors(count);
    for (std::size_t i = 0; i < count; ++i)
        if (table[i].number == number) return &table[i];
    return nullptr;
}

win::HCURSOR systemCursor(win::LPCSTR name) {
    return name ? win::LoadCursorA(nullptr, name) : nullptr;
}

// The standard cursor's own handle: its system cursor, or the arrow for those without one.
win::HCURSOR standardHandle(const StandardCursor& standard) {
    win::HCURSOR handle = systemCursor(standard.system);
    return handle ? handle : systemCursor(win::IDC_ARROW);
}

QImage imageOf(const win::IconImage& picture) {
    QImage image(picture.width, picture.height, QImage::Format_ARGB32);
    for (int y = 0; y < picture.height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        for (int x = 0; x < picture.width; ++x)
            row[x] = picture.At(x, y);
    }
    return image;
}

std::optional<QCursor> fromPicture(win::HCURSOR handle) {
    win::IconImage picture;
    if (!handle || !win::GetCursorImage(handle, picture) || picture.width <= 0 || picture.height <= 0)
        return std::nullopt;
    return QCursor(QPixmap::fromImage(imageOf(picture)), picture.xHotspot, picture.yHotspot);
}

} // namespace

namespace widgets {

void InstallApplicationIcon() {
    // The program's icon "MAINICON" in each size it carries becomes every window's icon; once.
    static bool installed = false;
    if (std::exchange(installed, true)) return;
    const win::HICON icon = win::LoadIconA(win::GetModuleHandleA(nullptr), "MAINICON");
    QIcon qicon;
    for (int size : {16, 32}) {
        win::IconImage picture;
        if (icon && win::GetIconImage(icon, size, picture) && picture.width == size)
            qicon.addPixmap(QPixmap::fromImage(imageOf(picture)));
    }
    if (!qicon.isNull()) QApplication::setWindowIcon(qicon);
}

QCursor ToQCursor(TCursor cursor) {
    const win::HCURSOR handle = Screen->GetCursors(cursor);
    // A standard cursor keeps the window system's look unless the application replaced it.
    if (const StandardCursor* standard = findStandard(cursor);
        standard && handle == standardHandle(*standard))
        return QCursor(standard->shape);
    if (std::optional<QCursor> custom = fromPicture(handle)) return *custom;
    return QCursor(Qt::ArrowCursor);
}

} // namespace widgets

TScreen::TScreen() : TComponent(nullptr) {
    m_defaultCursor = systemCursor(win::IDC_ARROW);
    std::size_t count = 0;
    const StandardCursor* table = standardCursors(count);
    for (std::size_t i = 0; i < count; ++i)
        if (table[i].system && table[i].number != crDefault)
            m_cursors[table[i].number] = systemCursor(table[i].system);
}

TScreen::~TScreen() = default;

void TScreen::SetCursor(TCursor cursor) {
    if (cursor == m_cursor) return;
    m_cursor = cursor;
    applyCursor();
}

void TScreen::applyCursor() {
    if (m_cursor == crDefault) {
        if (m_overriding) QGuiApplication::restoreOverrideCursor();
        m_overriding = false;
        return;
    }
    widgets::EnsureApplication();
    const QCursor shape = widgets::ToQCursor(m_cursor);
    if (m_overriding) {
        QGuiApplication::changeOverrideCursor(shape);
    } else {
        QGuiApplication::setOverrideCursor(shape);
        m_overriding = true;
    }
}

win::HCURSOR TScreen::GetCursors(int index) const {
    if (index == crDefault) return m_defaultCursor;
    auto it = m_cursors.find(index);
    return it != m_cursors.end() ? it->second : m_defaultCursor;
}

void TScreen::SetCursors(int index, win::HCURSOR cursor) {
    if (index == crDefault) {
        m_defaultCursor = cursor ? cursor : systemCursor(win::IDC_ARROW);
    } else {
        auto it = m_cursors.find(index);
        if (it != m_cursors.end()) {
            if (it->second != cursor) win::DestroyCursor(it->second);
            m_cursors.erase(it);
        }
        if (cursor) m_cursors[index] = cursor;
    }
    if (index == m_cursor && m_overriding) applyCursor();
}

int TScreen::GetWidth() const {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (const QScreen* screen = QGuiApplication::primaryScreen()) return screen->geometry().width();
    return win::GetSystemMetrics(win::SM_CXSCREEN);
}

int TScreen::GetHeight() const {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (const QScreen* screen = QGuiApplication::primaryScreen()) return screen->geometry().height();
    return win::GetSystemMetrics(win::SM_CYSCREEN);
}

TCustomForm* TScreen::Forms(int index) const {
    if (index < 0 || index >= FormCount()) throw EListError(FmtMessage(SListIndexError, index));
    return m_forms[std::size_t(index)];
}

void TScreen::addForm(TCustomForm* form) {
    m_forms.push_back(form);
}

void TScreen::removeForm(TCustomForm* form) {
    std::erase(m_forms, form);
}

} // namespace host
