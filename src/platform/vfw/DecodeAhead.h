// Decodes one frame on a background thread, so that during sequential reading the next frame is
// decoded while the caller works on the current one. The decoder (and the SampleReader and output
// DIB it uses) belongs to the background thread from start() until wait() returns, and to the caller
// at every other time; nothing else is shared.
#pragma once

#include "platform/vfw/FrameDecoder.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace win::vfw {

class DecodeAhead {
  public:
    struct Result {
        LONG pos = -1;
        bool ok = false;
        std::string detail; // the error detail the decoder set when it failed
    };

    explicit DecodeAhead(FrameDecoder& decoder);
    ~DecodeAhead(); // waits for a running decode
    DecodeAhead(const DecodeAhead&) = delete;
    DecodeAhead& operator=(const DecodeAhead&) = delete;

    // Starts decoding pos. Only when nothing is pending.
    void start(LONG pos);
    bool pending() const { return m_pending; }
    // Waits for the pending decode and hands over its result; nothing is pending afterwards.
    Result wait();

  private:
    void run();

    FrameDecoder& m_decoder;
    std::mutex m_lock;
    std::condition_variable m_changed;
    LONG m_job = -1; // the frame to decode, -1 when none is waiting for the thread
    bool m_done = false;
    bool m_stop = false;
    Result m_result;
    bool m_pending = false; // the caller's view: a decode was started and not yet waited for
    std::thread m_thread;   // started last, after every member it uses
};

} // namespace win::vfw
