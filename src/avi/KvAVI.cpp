#include "avi/KvAVI.h"

#include <cstdio>

namespace kv {
namespace {

// Initialises the AVIFile library once at program start and ends it at program end, after the
// clipboard has been cleared. Components still holding files are freed by their owners before.
struct AviModule {
    AviModule() { win::AVIFileInit(); }
    ~AviModule() {
        win::AVIClearClipboard();
        win::AVIFileExit();
    }
};
const AviModule g_module;

std::string trimmedSystemText(win::HRESULT rc) {
    std::string text = win::SystemMessageText(rc);
    if (text.size() > 256) text.resize(256);
    while (!text.empty()) {
        unsigned char c = static_cast<unsigned char>(text.back());
        if (c <= ' ' || c == '.' || c == 0x7F) text.pop_back();
        else break;
    }
    return text;
}

} // namespace

std::string AVIGetErrorString(win::HRESULT rc) {
    std::string system = trimmedSystemText(rc);
    if (!system.empty()) return system;
    switch (rc) {
    case win::AVIERR_UNSUPPORTED: return "Unsupported";
    case win::AVIERR_BADFORMAT: return "Bad format";
    case win::AVIERR_MEMORY: return "Out of memory";
    case win::AVIERR_INTERNAL: return "Internal error";
    case win::AVIERR_BADFLAGS: return "Bad flags";
    case win::AVIERR_BADPARAM: return "Bad parameter";
    case win::AVIERR_BADSIZE: return "Bad size";
    case win::AVIERR_BADHANDLE: return "Bad handle";
    case win::AVIERR_FILEREAD: return "Error reading file";
    case win::AVIERR_FILEWRITE: return "Error writing file";
    case win::AVIERR_FILEOPEN: return "Error opening file";
    case win::AVIERR_COMPRESSOR: return "Compressor error";
    case win::AVIERR_NOCOMPRESSOR: return "No compressor";
    case win::AVIERR_READONLY: return "Readonly";
    case win::AVIERR_NODATA: return "No data";
    case win::AVIERR_BUFFERTOOSMALL: return "Buffer too small";
    case win::AVIERR_CANTCOMPRESS: return "Can't compress";
    case win::AVIERR_USERABORT: return "User abort";
    case win::AVIERR_ERROR: return "Error";
    default: return "Unknown error";
    }
}

void AVICheck(win::HRESULT rc) {
    if (rc == 0) return;
    char buf[320];
    std::snprintf(buf, sizeof buf, "AVI error (%8X): %s", static_cast<unsigned>(rc), AVIGetErrorString(rc).c_str());
    throw EKvAVIError(buf, win::AVILastErrorDetail());
}

win::HRESULT AVICheckExcl(win::HRESULT rc, std::initializer_list<win::HRESULT> excluded) {
    if (rc == 0) return 0;
    for (win::HRESULT code : excluded)
        if (rc == code) return rc;
    AVICheck(rc);
    return rc;
}

void FixFOURCC(win::FOURCC& value) {
    if (value == 0) value = win::mmioFOURCC('N', 'o', 'n', 'e');
    if (value == 1) value = win::mmioFOURCC('R', 'l', 'e', '8');
}

void TKvAVIObject::AddRef() { ++m_refCount; }

void TKvAVIObject::Release() {
    if (m_refCount-- == 1) delete this;
}

} // namespace kv
