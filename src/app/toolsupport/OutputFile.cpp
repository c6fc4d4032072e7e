#include "app/toolsupport/OutputFile.h"

#include "app/toolsupport/ToolMessages.h"

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace toolsupport {
namespace {

namespace fs = std::filesystem;

mode_t newFileMode(const std::string& existing) {
    struct stat st {};
    if (::stat(existing.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

OutputFile::OutputFile(std::string target) : m_target(std::move(target)) {}

OutputFile::~OutputFile() {
    discard();
}

bool OutputFile::create(std::string& error) {
    // A file size limit then fails the write (EFBIG) instead of killing the process with the temporary
    // file left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    std::error_code ec;
    fs::path final = m_target;
    if (fs::is_symlink(final, ec)) final = fs::weakly_canonical(final, ec);
    if (ec) final = m_target;
    if (fs::is_directory(final, ec)) {
        error = "is a folder, not a file";
        return false;
    }
    m_final = final.string();
    const fs::path folder = final.has_parent_path() ? final.parent_path() : fs::path(".");
    // Built by appending: GCC 12 at -O3 misreads a chain of string concatenations as an overlapping copy.
    std::string hidden(1, '.');
    hidden.append(final.filename().string());
    hidden.append(".tmp-XXXXXX");
    const std::string pattern = (folder / hidden).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        error = "cannot create a file in " + folder.string() + ": " + errnoText(errno);
        return false;
    }
    m_temporary = name.data();
    const bool moded = ::fchmod(fd, newFileMode(m_final)) == 0;
    const int savedErrno = errno;
    ::close(fd);
    if (!moded) {
        error = "cannot set the permissions of " + m_temporary + ": " + errnoText(savedErrno);
        discard();
        return false;
    }
    return true;
}

bool OutputFile::commit(std::string& error) {
    if (m_temporary.empty()) {
        error = "nothing was written";
        return false;
    }
    if (::rename(m_temporary.c_str(), m_final.c_str()) != 0) {
        error = "cannot rename " + m_temporary + " to it: " + errnoText(errno);
        return false;
    }
    m_committed = true;
    return true;
}

void OutputFile::discard() {
    if (!m_committed && !m_temporary.empty()) ::unlink(m_temporary.c_str());
    m_temporary.clear();
}

} // namespace toolsupport
