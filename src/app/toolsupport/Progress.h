// A progress bar on standard error for work that takes a while: drawn in place on a terminal once the
// work has run for a second, a few times a second at most; nothing at all when quiet or when standard
// error is not a terminal, so scripts and logs never see it.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace toolsupport {

class Progress {
  public:
    // Enabled when not quiet and standard error is a terminal.
    explicit Progress(bool quiet);
    Progress(std::FILE* out, bool enabled, std::chrono::milliseconds delay);
    ~Progress() { finish(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // `done` of `total` units (bytes, frames) are finished.
    void update(std::uint64_t done, std::uint64_t total);
    // Clears the bar's line, so what follows starts on a clean line.
    void finish();

  private:
    std::FILE* m_out;
    bool m_enabled;
    std::chrono::milliseconds m_delay;
    std::chrono::steady_clock::time_point m_started;
    std::chrono::steady_clock::time_point m_lastDraw{};
    bool m_drawn = false;
};

} // namespace toolsupport
