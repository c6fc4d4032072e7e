// Helpers for the widget tests: the application set up once, message boxes answered and recorded,
// Qt mouse events sent to a widget, event processing until a condition holds, and pixels of a bitmap.
#pragma once

#include "platform/ui/Graphics.h"
#include "platform/widgets/ExtCtrls.h"
#include "platform/widgets/Forms.h"
#include "platform/widgets/StdCtrls.h"

#include <QtGui/QMouseEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace win {
inline void PrintTo(const RECT& r, std::ostream* out) {
    *out << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}
inline void PrintTo(const POINT& p, std::ostream* out) {
    *out << "(" << p.x << "," << p.y << ")";
}
} // namespace win

namespace widgettest {

struct ShownBox {
    std::string text;
    std::string caption;
    unsigned flags;
};

// Every test runs with the application initialised and message boxes answered by `answer` and recorded.
class WidgetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        host::Application->Initialize();
        m_previous = host::SetMessageBoxHandler([this](const std::string& text, const std::string& caption, unsigned flags) {
            boxes.push_back({text, caption, flags});
            return answer;
        });
    }
    void TearDown() override {
        host::SetMessageBoxHandler(m_previous);
        host::Application->ProcessMessages();
    }

    std::vector<ShownBox> boxes;
    int answer = win::IDOK;

  private:
    host::TMessageBoxHandler m_previous;
};

// Processes events until pred holds or the time is up.
template <typename Pred> bool processUntil(Pred pred, std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

inline void sendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, QPointF(pos), widget->mapToGlobal(QPointF(pos)), button,
                      type == QEvent::MouseMove ? Qt::NoButton : held, modifiers);
    QApplication::sendEvent(widget, &event);
}

inline void clickAt(QWidget* widget, QPoint pos, QPoint releaseAt = QPoint(-1, -1)) {
    sendMouse(widget, QEvent::MouseButtonPress, pos);
    sendMouse(widget, QEvent::MouseButtonRelease, releaseAt.x() < 0 ? pos : releaseAt);
}

// The colour of a pixel of a 24- or 32-bit bitmap as 0xRRGGBB.
inline unsigned pixel(const host::TBitmap& bitmap, int x, int y) {
    const int bytes = bitmap.GetPixelFormat() == host::TPixelFormat::pf32bit ? 4 : 3;
    const std::uint8_t* p = bitmap.ScanLine(y) + x * bytes;
    return unsigned(p[2]) << 16 | unsigned(p[1]) << 8 | p[0];
}

inline unsigned rgbOf(host::TColor color) {
    const win::COLORREF c = host::ColorToRGB(color);
    return unsigned(win::GetRValue(c)) << 16 | unsigned(win::GetGValue(c)) << 8 | win::GetBValue(c);
}

// A form for a test, shown or not, freed at the end of the test.
struct TestForm {
    std::unique_ptr<host::TForm> form = std::make_unique<host::TForm>(nullptr);
    host::TForm* operator->() const { return form.get(); }
    host::TForm& operator*() const { return *form; }
};

} // namespace widgettest
