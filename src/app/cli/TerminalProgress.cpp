#include "app/cli/TerminalProgress.h"

#include <string>

namespace app {

TerminalProgress::TerminalProgress(std::FILE* out, bool enabled) : m_out(out), m_enabled(enabled) {}

void TerminalProgress::SetMaxValue(int value) { m_max = value; }

void TerminalProgress::SetProgress(int value) {
    m_progress = value;
    if (!m_visible) return;
    const int percent = m_max > 0 ? int(100LL * value / m_max) : 0;
    const auto now = std::chrono::steady_clock::now();
    // Redraw when the percentage moves, and a few times a second for the rate and time left.
    if (percent != m_lastPercent || now - m_lastDraw > std::chrono::milliseconds(250)) {
        m_lastPercent = percent;
        draw();
    }
}

void TerminalProgress::SetVisible(bool visible) {
    if (visible == m_visible) return;
    m_visible = visible;
    if (visible) {
        m_started = std::chrono::steady_clock::now();
        m_lastPercent = -1;
        draw();
    } else if (m_enabled) {
        std::fputs("\r\033[K", m_out);
        std::fflush(m_out);
    }
}

void TerminalProgress::draw() {
    m_lastDraw = std::chrono::steady_clock::now();
    if (!m_enabled) return;
    constexpr int kWidth = 30;
    const int done = m_progress + 1; // progress i means frame i is being finished
    const double fraction = m_max > 0 ? double(m_progress) / m_max : 0.0;
    const int filled = int(fraction * kWidth);
    const double elapsed = std::chrono::duration<double>(m_lastDraw - m_started).count();
    const double rate = elapsed > 0 ? done / elapsed : 0.0;
    std::string bar(std::size_t(filled), '#');
    bar.resize(kWidth, '.');
    char eta[32] = "";
    if (rate > 0 && m_max > done) {
        const long left = long((m_max - done) / rate + 0.5);
        std::snprintf(eta, sizeof eta, "  %ld:%02ld left", left / 60, left % 60);
    }
    std::fprintf(m_out, "\r[%s] %3d%%  frame %d/%d  %.1f fps%s\033[K", bar.c_str(), int(fraction * 100), done, m_max,
                 rate, eta);
    std::fflush(m_out);
}

} // namespace app
