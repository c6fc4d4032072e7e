#include "platform/vfw/Icm.h"

#include "platform/vfw/IcmDriver.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

// An open compressor: the driver instance that answers its messages.
struct win::HIC__ {
    DWORD fccType = 0;
    DWORD fccHandler = 0;
    UINT mode = 0;
    std::unique_ptr<win::icm::Driver> driver;
};

namespace win {
namespace {

// A driver procedure installed with ICInstall, seen through the driver interface: DRV_OPEN when made,
// the messages with the instance id it answered, DRV_CLOSE when closed.
class ProcDriver final : public icm::Driver {
  public:
    ProcDriver(DRIVERPROC proc, DWORD_PTR id) : m_proc(proc), m_id(id) {}
    ~ProcDriver() override { m_proc(m_id, handle(), DRV_CLOSE, 0, 0); }
    LRESULT message(UINT msg, DWORD_PTR dw1, DWORD_PTR dw2) override {
        return m_proc(m_id, handle(), msg, LPARAM(dw1), LPARAM(dw2));
    }

  private:
    HDRVR handle() const { return reinterpret_cast<HDRVR>(const_cast<ProcDriver*>(this)); }
    DRIVERPROC m_proc;
    DWORD_PTR m_id;
};

struct Installed {
    DWORD fccType;
    DWORD fccHandler;
    DRIVERPROC proc;
};

// What ICOpen can choose from: installed procedures first, then the built-in drivers.
struct Candidate {
    DWORD fccType;
    DWORD fccHandler;
    const icm::DriverClass* builtIn = nullptr;
    DRIVERPROC proc = nullptr;
};

struct Registry {
    std::mutex lock;
    std::vector<Installed> installed;
    std::set<HIC> open;
};

Registry& registry() {
    static Registry r;
    return r;
}

bool typeMatches(DWORD wanted, DWORD type) {
    return wanted == 0 || icm::sameFourcc(wanted, type);
}

std::vector<Candidate> candidates(DWORD fccType) {
    std::vector<Candidate> list;
    {
        Registry& r = registry();
        std::lock_guard g(r.lock);
        for (const Installed& i : r.installed)
            if (typeMatches(fccType, i.fccType)) list.push_back({i.fccType, i.fccHandler, nullptr, i.proc});
    }
    if (typeMatches(fccType, ICTYPE_VIDEO))
        for (const icm::DriverClass& c : icm::builtInDrivers())
            list.push_back({ICTYPE_VIDEO, c.fccHandler, &c, nullptr});
    return list;
}

bool answersTo(const Candidate& c, DWORD fccHandler) {
    if (icm::sameFourcc(c.fccHandler, fccHandler)) return true;
    if (!c.builtIn) return false;
    for (FOURCC alias : c.builtIn->aliases)
        if (alias == fccHandler || (alias != 0 && icm::sameFourcc(alias, fccHandler))) return true;
    return false;
}

HIC openCandidate(const Candidate& c, UINT mode) {
    auto hic = std::make_unique<HIC__>();
    hic->fccType = c.fccType;
    hic->fccHandler = c.fccHandler;
    hic->mode = mode;
    if (c.builtIn) {
        hic->driver = c.builtIn->create();
    } else {
        ICOPEN open{sizeof(ICOPEN), c.fccType, c.fccHandler, ICVERSION, mode, ICERR_OK, nullptr, nullptr, 0};
        const LRESULT id = c.proc(0, nullptr, DRV_OPEN, 0, reinterpret_cast<LPARAM>(&open));
        if (id == 0) return nullptr;
        hic->driver = std::make_unique<ProcDriver>(c.proc, DWORD_PTR(id));
    }
    if (!hic->driver) return nullptr;
    HIC h = hic.release();
    Registry& r = registry();
    std::lock_guard g(r.lock);
    r.open.insert(h);
    return h;
}

bool isOpen(HIC hic) {
    Registry& r = registry();
    std::lock_guard g(r.lock);
    return r.open.count(hic) != 0;
}

// The query that tells whether an open driver can do what ICLocate is asked for.
LRESULT locateQuery(HIC hic, WORD mode, LPBITMAPINFOHEADER in, LPBITMAPINFOHEADER out) {
    const auto dw1 = reinterpret_cast<DWORD_PTR>(in), dw2 = reinterpret_cast<DWORD_PTR>(out);
    switch (mode) {
    case ICMODE_COMPRESS:
    case ICMODE_FASTCOMPRESS:
        return ICSendMessage(hic, ICM_COMPRESS_QUERY, dw1, dw2);
    case ICMODE_DECOMPRESS:
    case ICMODE_FASTDECOMPRESS:
        return ICSendMessage(hic, ICM_DECOMPRESS_QUERY, dw1, dw2);
    case ICMODE_DRAW:
        return ICSendMessage(hic, ICM_DRAW_QUERY, dw1, 0);
    default:
        return ICERR_UNSUPPORTED;
    }
}

HIC tryLocate(DWORD fccType, DWORD fccHandler, LPBITMAPINFOHEADER in, LPBITMAPINFOHEADER out, WORD mode) {
    HIC hic = ICOpen(fccType, fccHandler, mode);
    if (!hic) return nullptr;
    if (locateQuery(hic, mode, in, out) == ICERR_OK) return hic;
    ICClose(hic);
    return nullptr;
}

} // namespace

HIC ICOpen(DWORD fccType, DWORD fccHandler, UINT wMode) {
    for (const Candidate& c : candidates(fccType))
        if (answersTo(c, fccHandler)) return openCandidate(c, wMode);
    return nullptr;
}

LRESULT ICClose(HIC hic) {
    {
        Registry& r = registry();
        std::lock_guard g(r.lock);
        if (r.open.erase(hic) == 0) return ICERR_BADHANDLE;
    }
    delete hic;
    return ICERR_OK;
}

LRESULT ICSendMessage(HIC hic, UINT msg, DWORD_PTR dw1, DWORD_PTR dw2) {
    if (!isOpen(hic)) return ICERR_BADHANDLE;
    return hic->driver->message(msg, dw1, dw2);
}

HIC ICLocate(DWORD fccType, DWORD fccHandler, LPBITMAPINFOHEADER lpbiIn, LPBITMAPINFOHEADER lpbiOut,
             WORD wFlags) {
    if (!lpbiIn) return nullptr;
    if (fccHandler != 0)
        if (HIC hic = tryLocate(fccType, fccHandler, lpbiIn, lpbiOut, wFlags)) return hic;
    const bool decoding =
        wFlags == ICMODE_DECOMPRESS || wFlags == ICMODE_FASTDECOMPRESS || wFlags == ICMODE_DRAW;
    if (decoding && lpbiIn->biCompression != fccHandler)
        if (HIC hic = tryLocate(fccType, lpbiIn->biCompression, lpbiIn, lpbiOut, wFlags)) return hic;
    for (const Candidate& c : candidates(fccType)) {
        HIC hic = openCandidate(c, wFlags);
        if (!hic) continue;
        if (locateQuery(hic, wFlags, lpbiIn, lpbiOut) == ICERR_OK) return hic;
        ICClose(hic);
    }
    return nullptr;
}

BOOL ICInfo(DWORD fccType, DWORD fccHandler, ICINFO* lpicinfo) {
    if (!lpicinfo) return FALSE;
    const auto list = candidates(fccType);
    const Candidate* found = nullptr;
    if (fccHandler < list.size()) {
        found = &list[fccHandler];
    } else {
        for (const Candidate& c : list)
            if (answersTo(c, fccHandler)) {
                found = &c;
                break;
            }
    }
    if (!found) return FALSE;
    HIC hic = openCandidate(*found, ICMODE_QUERY);
    std::memset(lpicinfo, 0, sizeof *lpicinfo);
    if (hic) {
        ICGetInfo(hic, lpicinfo, sizeof *lpicinfo);
        ICClose(hic);
    }
    // Whatever the driver says, the record names the type and handler it was found under.
    lpicinfo->dwSize = sizeof *lpicinfo;
    lpicinfo->fccType = found->fccType;
    lpicinfo->fccHandler = found->fccHandler;
    return TRUE;
}

LRESULT ICGetInfo(HIC hic, ICINFO* picinfo, DWORD cb) {
    return ICSendMessage(hic, ICM_GETINFO, reinterpret_cast<DWORD_PTR>(picinfo), cb);
}

DWORD ICCompress(HIC hic, DWORD dwFlags, LPBITMAPINFOHEADER lpbiOutput, LPVOID lpData,
                 LPBITMAPINFOHEADER lpbiInput, LPVOID lpBits, LPDWORD lpckid, LPDWORD lpdwFlags,
                 LONG lFrameNum, DWORD dwFrameSize, DWORD dwQuality, LPBITMAPINFOHEADER lpbiPrev,
                 LPVOID lpPrev) {
    ICCOMPRESS ic{dwFlags,   lpbiOutput, lpData,      lpbiInput, lpBits,   lpckid,
                  lpdwFlags, lFrameNum,  dwFrameSize, dwQuality, lpbiPrev, lpPrev};
    return DWORD(ICSendMessage(hic, ICM_COMPRESS, reinterpret_cast<DWORD_PTR>(&ic), sizeof ic));
}

DWORD ICDecompress(HIC hic, DWORD dwFlags, LPBITMAPINFOHEADER lpbiFormat, LPVOID lpData,
                   LPBITMAPINFOHEADER lpbi, LPVOID lpBits) {
    ICDECOMPRESS ic{dwFlags, lpbiFormat, lpData, lpbi, lpBits, 0};
    return DWORD(ICSendMessage(hic, ICM_DECOMPRESS, reinterpret_cast<DWORD_PTR>(&ic), sizeof ic));
}

BOOL ICInstall(DWORD fccType, DWORD fccHandler, LPARAM lParam, LPSTR, UINT wFlags) {
    if ((wFlags & ~ICINSTALL_UNICODE) != ICINSTALL_FUNCTION || lParam == 0) return FALSE;
    auto proc = reinterpret_cast<DRIVERPROC>(lParam);
    Registry& r = registry();
    std::lock_guard g(r.lock);
    for (Installed& i : r.installed)
        if (icm::sameFourcc(i.fccType, fccType) && icm::sameFourcc(i.fccHandler, fccHandler)) {
            i.proc = proc;
            return TRUE;
        }
    r.installed.push_back({fccType, fccHandler, proc});
    return TRUE;
}

BOOL ICRemove(DWORD fccType, DWORD fccHandler, UINT) {
    Registry& r = registry();
    std::lock_guard g(r.lock);
    for (auto it = r.installed.begin(); it != r.installed.end(); ++it)
        if (icm::sameFourcc(it->fccType, fccType) && icm::sameFourcc(it->fccHandler, fccHandler)) {
            r.installed.erase(it);
            return TRUE;
        }
    return FALSE;
}

} // namespace win
