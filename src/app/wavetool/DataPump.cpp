#include "app/wavetool/DataPump.h"

#include "app/toolsupport/InterruptGuard.h"
#include "app/toolsupport/Progress.h"
#include "app/toolsupport/ToolMessages.h"

#include <algorithm>
#include <cerrno>
#include <memory>

namespace wavetool {
namespace {

using toolsupport::fileError;

// Closes the input's file however the loop ends.
class OpenInput {
  public:
    explicit OpenInput(kv::PWAVEIOCB cb) : m_cb(cb), m_status(kv::wioWaveOpen(cb)) {}
    ~OpenInput() { kv::wioWaveClose(m_cb); }
    bool ok() const { return m_status == kv::WIOERR_NOERROR; }

  private:
    kv::PWAVEIOCB m_cb;
    int m_status;
};

int interrupted(const std::string& outPath) {
    std::fprintf(stderr, "%s: %s: interrupted; nothing was written\n", toolsupport::programName().c_str(),
                 outPath.c_str());
    return toolsupport::kExitInterrupted;
}

} // namespace

int pumpData(PumpJob& job) {
    OpenInput input(job.input);
    if (!input.ok()) return fileError(job.inPath, "cannot open it again to read its samples");
    const std::uint32_t total = job.input->DataBytes;
    const std::int32_t pieceBytes = std::max<std::int32_t>(job.pieceBytes, 1);
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[std::size_t(pieceBytes)]);
    toolsupport::Progress progress(job.quiet);
    std::uint32_t done = 0;
    while (done < total) {
        if (toolsupport::InterruptGuard::interrupted()) return interrupted(job.outPath);
        // Never more than the data holds: the reader's own range may round up past the data's end.
        const std::int32_t want =
            std::int32_t(std::min<std::uint32_t>(std::uint32_t(pieceBytes), total - done));
        errno = 0;
        const std::int32_t got = kv::wioWaveReadData(job.input, buffer.get(), want);
        if (got <= 0) {
            const std::string cause = errno ? toolsupport::errnoText(errno) : "the data ends early";
            return fileError(job.inPath,
                             "cannot read its samples at data byte " + std::to_string(done) + ": " + cause);
        }
        PieceFailure failure;
        if (!job.piece(buffer.get(), got, done, failure))
            return fileError(failure.inInput ? job.inPath : job.outPath, failure.cause);
        done += std::uint32_t(got);
        progress.update(done, total);
    }
    if (toolsupport::InterruptGuard::interrupted()) return interrupted(job.outPath);
    progress.finish();
    std::string error;
    if (!job.output->finish(error)) return fileError(job.outPath, error);
    return toolsupport::kExitOk;
}

} // namespace wavetool
