// The run's progress display on a terminal: a bar with the percentage, the frame, the rate and the
// time left, redrawn in place on standard error. Silent when standard error is not a terminal.
#pragma once

#include "app/engine/ExtractionInputs.h"

#include <chrono>
#include <cstdio>

namespace app {

class TerminalProgress : public IProgressDisplay {
public:
    explicit TerminalProgress(std::FILE* out, bool enabled);
    void SetMaxValue(int value) override;
    void SetProgress(int value) override;
    void SetVisible(bool visible) override;

private:
    void draw();

    std::FILE* m_out;
    bool m_enabled;
    bool m_visible = false;
    int m_max = 0;
    int m_progress = 0;
    int m_lastPercent = -1;
    std::chrono::steady_clock::time_point m_started;
    std::chrono::steady_clock::time_point m_lastDraw;
};

} // namespace app
