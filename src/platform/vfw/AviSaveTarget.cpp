#include "platform/vfw/AviSaveTarget.h"

#include "platform/vfw/Vfw.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace win {

namespace {

HRESULT osError(const std::string& what, HRESULT code) {
    AVISetLastErrorDetail(what + ": " + std::strerror(errno));
    return code;
}

std::string folderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

AviSaveTarget::~AviSaveTarget() {
    if (!m_temp.empty() && !m_committed) ::unlink(m_temp.c_str());
}

HRESULT AviSaveTarget::create(const std::string& target) {
    if (target.empty() || target.back() == '/') {
        AVISetLastErrorDetail("no file name to save to");
        return AVIERR_FILEOPEN;
    }
    m_target = target;
    // Saving over a link replaces the file it names, as writing through the link would.
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (!::realpath(target.c_str(), resolved))
            return osError("the link " + target + " leads nowhere", AVIERR_FILEOPEN);
        m_target = resolved;
    }
    if (::stat(m_target.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        AVISetLastErrorDetail(m_target + " is a folder");
        return AVIERR_FILEOPEN;
    }
    // A name of our own in the target's folder (so the rename stays on one file system), created
    // exclusively with the permissions a new file gets.
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    const std::string stem = folderOf(m_target) + "/." + baseOf(m_target) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = stem + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
                           std::to_string(random() % 100000) + ".part";
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            m_temp = std::move(name);
            return AVIERR_OK;
        }
        if (errno != EEXIST) return osError("cannot create a file in " + folderOf(m_target), AVIERR_FILEOPEN);
    }
    AVISetLastErrorDetail("no free temporary name in " + folderOf(m_target));
    return AVIERR_FILEOPEN;
}

HRESULT AviSaveTarget::commit() {
    int fd = ::open(m_temp.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return osError("the written file has gone", AVIERR_FILEWRITE);
    bool synced = ::fsync(fd) == 0;
    struct stat old {};
    if (::stat(m_target.c_str(), &old) == 0) (void)::fchmod(fd, old.st_mode & 07777);
    ::close(fd);
    if (!synced) return osError("the written file could not be flushed", AVIERR_FILEWRITE);
    if (::rename(m_temp.c_str(), m_target.c_str()) != 0)
        return osError("cannot replace " + m_target, AVIERR_FILEWRITE);
    m_committed = true;
    return AVIERR_OK;
}

} // namespace win
