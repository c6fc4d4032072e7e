#include "app/toolsupport/Progress.h"

#include <string>
#include <unistd.h>

namespace toolsupport {

Progress::Progress(bool quiet)
    : Progress(stderr, !quiet && isatty(STDERR_FILENO) == 1, std::chrono::milliseconds(1000)) {}

Progress::Progress(std::FILE* out, bool enabled, std::chrono::milliseconds delay)
    : m_out(out), m_enabled(enabled), m_delay(delay), m_started(std::chrono::steady_clock::now()) {}

void Progress::update(std::uint64_t done, std::uint64_t total) {
    if (!m_enabled) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_started < m_delay) return;
    if (m_drawn && now - m_lastDraw < std::chrono::milliseconds(100) && done < total) return;
    m_lastDraw = now;
    const double fraction = total ? double(std::min(done, total)) / double(total) : 0.0;
    constexpr int kWidth = 40;
    std::string bar(std::size_t(fraction * kWidth), '#');
    bar.resize(kWidth, '.');
    const double elapsed = std::chrono::duration<double>(now - m_started).count();
    char eta[40] = "";
    if (fraction > 0 && fraction < 1) {
        const long left = long(elapsed * (1 - fraction) / fraction + 0.5);
        std::snprintf(eta, sizeof eta, "  %ld:%02ld left", left / 60, left % 60);
    }
    std::fprintf(m_out, "\r[%s] %3d%%%s\033[K", bar.c_str(), int(fraction * 100), eta);
    std::fflush(m_out);
    m_drawn = true;
}

void Progress::finish() {
    if (!m_drawn) return;
    std::fputs("\r\033[K", m_out);
    std::fflush(m_out);
    m_drawn = false;
}

} // namespace toolsupport
