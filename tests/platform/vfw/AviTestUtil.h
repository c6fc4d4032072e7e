// Shared helpers of the AVI reader tests: opening built bytes, reading samples, temporary files.
#pragma once

#include "platform/vfw/AviFile.h"
#include "support/AviBuilder.h"
#include "support/TestWork.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

namespace avitest {

struct FileDeleter {
    void operator()(win::IAVIFile* f) const { win::AVIFileRelease(f); }
};
struct StreamDeleter {
    void operator()(win::IAVIStream* s) const { win::AVIStreamRelease(s); }
};
using FilePtr = std::unique_ptr<win::IAVIFile, FileDeleter>;
using StreamPtr = std::unique_ptr<win::IAVIStream, StreamDeleter>;

inline FilePtr openBytes(std::vector<std::uint8_t> bytes, win::HRESULT* rc = nullptr) {
    win::PAVIFILE f = nullptr;
    win::HRESULT r = win::AviFileOpenMemory(&f, std::move(bytes));
    if (rc) *rc = r;
    return FilePtr(f);
}

inline StreamPtr stream(win::IAVIFile* f, win::DWORD type, win::LONG n) {
    win::PAVISTREAM s = nullptr;
    if (win::AVIFileGetStream(f, &s, type, n) != win::AVIERR_OK) return nullptr;
    return StreamPtr(s);
}

// The bytes of one sample, or nullopt when Read fails.
inline std::optional<std::vector<std::uint8_t>> sample(win::IAVIStream* s, win::LONG pos) {
    win::LONG bytes = 0, samples = 0;
    if (win::AVIStreamRead(s, pos, 1, nullptr, 0, &bytes, &samples) != win::AVIERR_OK) return std::nullopt;
    std::vector<std::uint8_t> buf(std::size_t(bytes) + 1);
    if (win::AVIStreamRead(s, pos, 1, buf.data(), win::LONG(buf.size()), &bytes, &samples) != win::AVIERR_OK)
        return std::nullopt;
    buf.resize(std::size_t(bytes));
    return buf;
}

inline win::AVISTREAMINFOA info(win::IAVIStream* s) {
    win::AVISTREAMINFOA i{};
    win::AVIStreamInfoA(s, &i, sizeof i);
    return i;
}

// The running test's own folder of the work tree.
inline std::filesystem::path workDir() {
    return testsupport::workDir("vfw");
}

inline std::filesystem::path writeFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    auto p = workDir() / name;
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return p;
}

inline std::vector<std::uint8_t> readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

} // namespace avitest
