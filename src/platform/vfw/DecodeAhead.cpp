#include "platform/vfw/DecodeAhead.h"

namespace win::vfw {

DecodeAhead::DecodeAhead(FrameDecoder& decoder) : m_decoder(decoder) {
    m_thread = std::thread([this] { run(); });
}

DecodeAhead::~DecodeAhead() {
    {
        std::lock_guard g(m_lock);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void DecodeAhead::start(LONG pos) {
    {
        std::lock_guard g(m_lock);
        m_job = pos;
        m_done = false;
    }
    m_pending = true;
    m_changed.notify_all();
}

DecodeAhead::Result DecodeAhead::wait() {
    std::unique_lock g(m_lock);
    m_changed.wait(g, [&] { return m_done; });
    m_done = false;
    m_pending = false;
    return std::move(m_result);
}

void DecodeAhead::run() {
    std::unique_lock g(m_lock);
    for (;;) {
        // A started decode is finished even when stopping, so wait() never hangs.
        m_changed.wait(g, [&] { return m_stop || m_job >= 0; });
        if (m_job < 0) return;
        const LONG pos = m_job;
        m_job = -1;
        g.unlock();
        Result r{pos, m_decoder.decode(pos), {}};
        if (!r.ok) r.detail = AVILastErrorDetail(); // the detail is kept per thread
        g.lock();
        m_result = std::move(r);
        m_done = true;
        m_changed.notify_all();
    }
}

} // namespace win::vfw
