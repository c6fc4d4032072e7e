// Polls until a condition holds or a timeout passes: for tests of work done on other threads, on a
// shared and noisy machine where fixed sleeps would be either slow or flaky.
#pragma once

#include <chrono>
#include <thread>

template <typename Pred> bool waitFor(Pred pred, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
