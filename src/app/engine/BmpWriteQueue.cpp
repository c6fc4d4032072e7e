#include "app/engine/BmpWriteQueue.h"

#include "platform/ui/Graphics.h"

#include <exception>

namespace app {

BmpWriteQueue::BmpWriteQueue(std::size_t capacity) : m_capacity(capacity ? capacity : 1) {
    m_thread = std::thread([this] { run(); });
}

BmpWriteQueue::~BmpWriteQueue() {
    {
        std::lock_guard g(m_lock);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

bool BmpWriteQueue::Submit(const host::TBitmap& image, std::string path, int frame, bool completesFrame) {
    auto copy = std::make_unique<host::TBitmap>();
    copy->Assign(&image);
    std::unique_lock g(m_lock);
    m_changed.wait(g, [&] { return m_failure || m_jobs.size() < m_capacity; });
    if (m_failure) return false;
    m_jobs.push_back(Job{std::move(copy), std::move(path), frame, completesFrame});
    m_changed.notify_all();
    return true;
}

void BmpWriteQueue::Drain() {
    std::unique_lock g(m_lock);
    m_changed.wait(g, [&] { return m_failure || (m_jobs.empty() && !m_busy); });
}

std::optional<BmpWriteQueue::Failure> BmpWriteQueue::FirstFailure() const {
    std::lock_guard g(m_lock);
    return m_failure;
}

int BmpWriteQueue::FilesWritten() const {
    std::lock_guard g(m_lock);
    return m_written;
}

int BmpWriteQueue::FramesCompleted() const {
    std::lock_guard g(m_lock);
    return m_framesCompleted;
}

void BmpWriteQueue::run() {
    std::unique_lock g(m_lock);
    for (;;) {
        m_changed.wait(g, [&] { return m_stop || (!m_jobs.empty() && !m_failure); });
        if (m_stop && (m_jobs.empty() || m_failure)) return;
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_busy = true;
        g.unlock();
        std::optional<Failure> failure;
        try {
            job.image->SaveToFile(job.path);
        } catch (const std::exception& e) {
            failure = Failure{job.path, job.frame, e.what()};
        }
        job.image.reset();
        g.lock();
        m_busy = false;
        if (failure) {
            m_failure = std::move(failure);
            m_jobs.clear();
        } else {
            ++m_written;
            if (job.completesFrame) ++m_framesCompleted;
        }
        m_changed.notify_all();
    }
}

} // namespace app
