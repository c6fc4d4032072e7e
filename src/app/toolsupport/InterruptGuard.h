// Ctrl-C (SIGINT) and SIGTERM while a guard lives only raise a flag, which long work polls between
// blocks so that it can stop cleanly (removing its temporary output) and exit with kExitInterrupted.
// The earlier handling comes back when the guard ends.
#pragma once

#include <signal.h>

namespace toolsupport {

class InterruptGuard {
  public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    // True once a signal arrived while a guard was installed.
    static bool interrupted();

  private:
    struct sigaction m_oldInt {};
    struct sigaction m_oldTerm {};
};

} // namespace toolsupport
