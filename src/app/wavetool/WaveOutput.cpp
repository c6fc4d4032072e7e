#include "app/wavetool/WaveOutput.h"

#include "app/toolsupport/ToolMessages.h"

#include <cerrno>

namespace wavetool {
namespace {

// The cause of a failed write: the system's words when it left them, else what failed.
std::string writeCause(const char* what) {
    const int e = errno;
    return e ? std::string(what) + ": " + toolsupport::errnoText(e) : std::string(what);
}

} // namespace

bool WaveOutput::open(const kv::TWaveFormatEx* format, kv::PWAVEIOCB metadataFrom, std::string& error) {
    if (!m_file.create(error)) return false;
    if (kv::wioCreateFileInfo(m_block.get(), format) != kv::WIOERR_NOERROR) {
        error = "cannot describe the new file's format";
        return false;
    }
    if (metadataFrom && kv::wioCopyFileInfo(m_block.get(), metadataFrom) != kv::WIOERR_NOERROR) {
        error = "cannot copy the INFO and DISP metadata";
        return false;
    }
    errno = 0;
    if (kv::wioWriteFileInfo(m_block.get(), m_file.temporaryPath().c_str()) != kv::WIOERR_NOERROR) {
        error = writeCause("cannot start the file");
        return false;
    }
    return true;
}

bool WaveOutput::write(const void* data, std::int32_t bytes, std::string& error) {
    if (bytes <= 0) return true;
    errno = 0;
    if (kv::wioWaveWriteData(m_block.get(), data, bytes) != bytes) {
        error = writeCause("cannot write");
        return false;
    }
    return true;
}

bool WaveOutput::finish(std::string& error) {
    errno = 0;
    const int closed = kv::wioWaveClose(m_block.get());
    if (closed != kv::WIOERR_NOERROR) {
        error = writeCause("cannot finish the file");
        return false;
    }
    m_block.reset();
    return m_file.commit(error);
}

} // namespace wavetool
