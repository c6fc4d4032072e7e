// Writes BMP files on a background thread, in the order they were handed in, so that decoding the
// next frame overlaps writing the last one. Images are shared copies (copy on write), so handing one
// over costs no pixel copy and later work on the caller's bitmaps never changes a queued image.
// The images waiting are bounded by count and by bytes, so large frames keep memory low.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace host {
class TBitmap;
}

namespace app {

class BmpWriteQueue {
  public:
    struct Failure {
        std::string file;
        int frame;
        std::string message;
    };

    // Bytes of images waiting at most, unless one image alone is larger.
    static constexpr std::size_t kDefaultByteBudget = 12u << 20;

    // capacity: images waiting at most; byteBudget: their pixel bytes at most (one image is always
    // let in). Submit blocks while either bound is reached.
    explicit BmpWriteQueue(std::size_t capacity = 3, std::size_t byteBudget = kDefaultByteBudget);
    ~BmpWriteQueue();

    // Queues image for path. completesFrame marks the last image of its frame. Returns false (and
    // queues nothing) once a write has failed.
    bool Submit(const host::TBitmap& image, std::string path, int frame, bool completesFrame = true);
    // Waits until every queued image is written or a write failed.
    void Drain();
    std::optional<Failure> FirstFailure() const;
    int FilesWritten() const;
    // Frames whose every image is complete on disk.
    int FramesCompleted() const;

  private:
    struct Job {
        std::unique_ptr<host::TBitmap> image;
        std::string path;
        int frame;
        bool completesFrame;
        std::size_t bytes;
    };
    void run();
    bool hasRoomFor(std::size_t bytes) const;

    const std::size_t m_capacity;
    const std::size_t m_byteBudget;
    std::size_t m_bytesWaiting = 0;
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<Job> m_jobs;
    bool m_busy = false;
    bool m_stop = false;
    std::optional<Failure> m_failure;
    int m_written = 0;
    int m_framesCompleted = 0;
    std::thread m_thread;
};

} // namespace app
