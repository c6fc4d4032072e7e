#include "app/engine/BmpWriteQueue.h"
#include "platform/win/DibLayout.h"

#include "platform/ui/Graphics.h"

#include <algorithm>
#include <exception>

namespace app {
namespace {

int bitsPerPixel(host::TPixelFormat format) {
    switch (format) {
    case host::TPixelFormat::pf1bit:
        return 1;
    case host::TPixelFormat::pf4bit:
        return 4;
    case host::TPixelFormat::pf8bit:
        return 8;
    case host::TPixelFormat::pf15bit:
    case host::TPixelFormat::pf16bit:
        return 16;
    case host::TPixelFormat::pf24bit:
        return 24;
    default: // device and custom formats: counted at their largest
        return 32;
    }
}

// The pixel bytes an image holds: rows padded to 32 bits.
std::size_t imageBytes(const host::TBitmap& image) {
    const std::size_t width = std::size_t(std::max(image.GetWidth(), 0));
    const std::size_t height = std::size_t(std::max(image.GetHeight(), 0));
    return std::size_t(win::DibStride(width, unsigned(bitsPerPixel(image.GetPixelFormat())))) * height;
}

} // namespace

BmpWriteQueue::BmpWriteQueue(std::size_t capacity, std::size_t byteBudget)
    : m_capacity(capacity ? capacity : 1), m_byteBudget(byteBudget) {
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
    const std::size_t bytes = imageBytes(image);
    std::unique_lock g(m_lock);
    m_changed.wait(g, [&] { return m_failure || hasRoomFor(bytes); });
    if (m_failure) return false;
    m_bytesWaiting += bytes;
    m_jobs.push_back(Job{std::move(copy), std::move(path), frame, completesFrame, bytes});
    m_changed.notify_all();
    return true;
}

bool BmpWriteQueue::hasRoomFor(std::size_t bytes) const {
    if (m_jobs.empty()) return true;
    return m_jobs.size() < m_capacity && m_bytesWaiting + bytes <= m_byteBudget;
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
        m_bytesWaiting -= job.bytes;
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
            m_bytesWaiting = 0;
        } else {
            ++m_written;
            if (job.completesFrame) ++m_framesCompleted;
        }
        m_changed.notify_all();
    }
}

} // namespace app
