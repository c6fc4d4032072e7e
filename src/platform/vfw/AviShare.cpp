#include "platform/vfw/AviShare.h"

#include <algorithm>
#include <mutex>
#include <sys/stat.h>
#include <vector>

namespace win {

namespace {

struct OpenEntry {
    dev_t dev;
    ino_t ino;
    bool reads, writes;           // access of this open
    bool deniesRead, deniesWrite; // what it denies to the others
    std::uint64_t id;
};

std::mutex g_mutex;
std::vector<OpenEntry> g_opens;
std::uint64_t g_nextId = 1;

OpenEntry entryFor(UINT mode) {
    OpenEntry e{};
    UINT access = mode & 3;
    e.writes = access == OF_WRITE || access == OF_READWRITE || (mode & OF_CREATE);
    e.reads = access != OF_WRITE || (mode & OF_CREATE) == 0; // an AVI file is always read to be opened
    switch (mode & 0x70) {
    case OF_SHARE_EXCLUSIVE:
        e.deniesRead = e.deniesWrite = true;
        break;
    case OF_SHARE_DENY_WRITE:
        e.deniesWrite = true;
        break;
    case OF_SHARE_DENY_READ:
        e.deniesRead = true;
        break;
    default: // OF_SHARE_DENY_NONE and the compatibility mode deny nothing here
        break;
    }
    return e;
}

bool conflicts(const OpenEntry& a, const OpenEntry& b) {
    return (a.reads && b.deniesRead) || (a.writes && b.deniesWrite) || (b.reads && a.deniesRead) ||
           (b.writes && a.deniesWrite);
}

struct Release {
    explicit Release(std::uint64_t i) : id(i) {}
    Release(const Release&) = delete;
    Release& operator=(const Release&) = delete;
    std::uint64_t id;
    ~Release() {
        std::lock_guard lock(g_mutex);
        g_opens.erase(std::remove_if(g_opens.begin(), g_opens.end(), [&](auto& e) { return e.id == id; }),
                      g_opens.end());
    }
};

} // namespace

std::shared_ptr<void> aviShareAcquire(int fd, UINT mode, std::string& why) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        why = "the file cannot be examined";
        return nullptr;
    }
    OpenEntry e = entryFor(mode);
    e.dev = st.st_dev;
    e.ino = st.st_ino;
    std::lock_guard lock(g_mutex);
    for (auto& o : g_opens) {
        if (o.dev == e.dev && o.ino == e.ino && conflicts(o, e)) {
            why = "the file is open elsewhere in this program in a share mode that does not allow this";
            return nullptr;
        }
    }
    e.id = g_nextId++;
    g_opens.push_back(e);
    return std::make_shared<Release>(e.id);
}

} // namespace win
