// TBitmap::SaveToFile: the BMP file layout and an atomic, copy-free write of it.
//
// Layout: 14-byte file header, 40-byte info header (BI_RGB, bottom-up), for bit-field images other
// than 5-5-5 the three masks, the colour table of C entries (blue, green, red, 0), the pixel rows.
// C is 2^B for B <= 8 bits (entries past the palette's own are zero); for deeper images it is the
// palette's entry count (at most 256), or 0 without a palette.
#include "platform/gdi/PixelRows.h"
#include "platform/ui/Graphics.h"
#include "platform/ui/GraphicsImage.h"
#include "platform/win/DibLayout.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace host {
namespace {

constexpr std::size_t kFileHeader = 14, kInfoHeader = 40, kMasks = 12;

void put16(std::uint8_t* p, unsigned v) {
    p[0] = std::uint8_t(v), p[1] = std::uint8_t(v >> 8);
}
void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}

std::string osError(int error) {
    return std::system_category().message(error);
}

[[noreturn]] void fail(const std::string& path, int error) {
    throw EFCreateError("Cannot create file \"" + path + "\". " + osError(error));
}

// What goes into the file besides the headers: the colour table and where the rows come from.
struct Plan {
    int bpp = 0;
    std::vector<win::RGBQUAD> colours; // C entries
    bool masks = false;
    win::DWORD maskValues[3] = {0, 0, 0};
    const std::uint8_t* rows = nullptr; // pixel memory as stored
    bool topDown = false;
    std::vector<std::uint8_t> translated; // 8-bit device pixels as indices into the frame palette
};

win::RGBQUAD quad(const win::PALETTEENTRY& e) {
    return win::RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
}

// Device pixels of a palette screen are system palette slots. With a frame palette they are written
// as indices of the frame palette's colours, and the colour table is the frame palette.
void planPaletteDevice(const win::gdi::BitmapData& d, const std::vector<win::PALETTEENTRY>& palette,
                       Plan& plan) {
    const std::vector<win::PALETTEENTRY> system = win::gdi::SystemPalette();
    plan.colours.assign(256, win::RGBQUAD{0, 0, 0, 0});
    if (palette.empty()) {
        for (std::size_t i = 0; i < system.size() && i < 256; ++i)
            plan.colours[i] = quad(system[i]);
        return;
    }
    const std::size_t count = std::min<std::size_t>(palette.size(), 256);
    std::vector<win::RGBQUAD> own(count);
    std::vector<std::uint8_t> indices(count);
    for (std::size_t i = 0; i < count; ++i)
        plan.colours[i] = own[i] = quad(palette[i]), indices[i] = std::uint8_t(i);
    win::gdi::ColorMatcher matcher(std::move(own), std::move(indices));
    std::array<std::uint8_t, 256> slotToIndex{};
    for (std::size_t s = 0; s < 256; ++s) {
        win::PALETTEENTRY e = s < system.size() ? system[s] : win::PALETTEENTRY{0, 0, 0, 0};
        slotToIndex[s] = matcher.Match(e.peBlue, e.peGreen, e.peRed);
    }
    plan.translated.resize(d.ImageSize());
    const std::size_t used = std::size_t(d.width);
    for (int y = 0; y < d.height; ++y) {
        const std::uint8_t* in = d.bits.get() + std::size_t(y) * d.stride;
        std::uint8_t* out = plan.translated.data() + std::size_t(y) * d.stride;
        for (std::size_t x = 0; x < used; ++x)
            out[x] = slotToIndex[in[x]];
    }
    plan.rows = plan.translated.data();
}

Plan makePlan(const win::gdi::BitmapData& d, win::HPALETTE paletteHandle) {
    Plan plan;
    plan.bpp = d.bpp;
    plan.rows = d.bits.get();
    plan.topDown = d.topDown;
    const std::vector<win::PALETTEENTRY> palette =
        paletteHandle ? win::gdi::PaletteEntries(paletteHandle) : std::vector<win::PALETTEENTRY>{};
    if (d.bpp <= 8) {
        if (d.device && d.bpp == 8) {
            planPaletteDevice(d, palette, plan);
        } else {
            plan.colours.assign(std::size_t(1) << d.bpp, win::RGBQUAD{0, 0, 0, 0});
            std::copy_n(d.colors.begin(), std::min(d.colors.size(), plan.colours.size()),
                        plan.colours.begin());
        }
        return plan;
    }
    for (std::size_t i = 0; i < palette.size() && i < 256; ++i)
        plan.colours.push_back(quad(palette[i]));
    if (d.compression == win::BI_BITFIELDS) {
        const bool is555 =
            d.bpp == 16 && d.masks[0] == 0x7C00 && d.masks[1] == 0x03E0 && d.masks[2] == 0x001F;
        const bool is888 =
            d.bpp == 32 && d.masks[0] == 0xFF0000 && d.masks[1] == 0xFF00 && d.masks[2] == 0xFF;
        plan.masks = !is555 && !is888;
        std::memcpy(plan.maskValues, d.masks, sizeof plan.maskValues);
    }
    return plan;
}

// Writes all of the vectors, resuming after partial writes and interruptions.
bool writeAll(int fd, std::vector<iovec>& iov, int& error) {
    std::size_t first = 0;
    while (first < iov.size()) {
        int count = int(std::min<std::size_t>(iov.size() - first, IOV_MAX));
        ssize_t n = ::writev(fd, iov.data() + first, count);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return false;
        }
        auto left = std::size_t(n);
        while (first < iov.size() && left >= iov[first].iov_len)
            left -= iov[first++].iov_len;
        if (left) {
            iov[first].iov_base = static_cast<char*>(iov[first].iov_base) + left;
            iov[first].iov_len -= left;
        }
    }
    return true;
}

// Creates a new file next to `path` that no one else uses; permissions follow the umask.
int createTemporary(const std::string& path, std::string& temporary, int& error) {
    static std::atomic<unsigned> counter{0};
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto ticks = std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
        temporary = folder + "." + name + ".tmp-" + std::to_string(::getpid()) + "-" +
                    std::to_string(counter.fetch_add(1)) + "-" + std::to_string(ticks % 100000);
        int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        if (errno != EEXIST) break;
    }
    error = errno;
    return -1;
}

} // namespace

void TBitmap::SaveToFile(const std::string& path) const {
    if (!m_image || !m_image->handle)
        throw EInvalidGraphicOperation("Cannot save an empty bitmap to \"" + path + "\"");
    const win::gdi::BitmapData& d = m_image->data;
    const Plan plan = makePlan(d, m_image->palette);

    const std::size_t colours = plan.colours.size();
    const std::size_t image = d.ImageSize();
    std::array<std::uint8_t, kFileHeader + kInfoHeader + kMasks + 4 * 256> head{};
    std::uint8_t* p = head.data() + kFileHeader;
    put32(p, 40);
    put32(p + 4, std::uint32_t(d.width));
    put32(p + 8, std::uint32_t(d.height));
    put16(p + 12, 1);
    put16(p + 14, unsigned(plan.bpp));
    put32(p + 16, plan.masks ? win::BI_BITFIELDS : win::BI_RGB);
    put32(p + 20, std::uint32_t(image));
    put32(p + 32, std::uint32_t(colours));
    // The pixels go where every reader of the file will look for them: the parsed layout of the
    // header just written says where that is, and how many bytes the rows take.
    const auto layout = win::ParseDibLayout({p, kInfoHeader + kMasks});
    if (!layout || layout->imageBytes != image || layout->colours != colours)
        throw EInvalidGraphicOperation("Cannot save a bitmap of this format to \"" + path + "\"");
    if (plan.masks)
        for (int i = 0; i < 3; ++i)
            put32(p + layout->colourOffset - kMasks + 4 * std::size_t(i), plan.maskValues[i]);
    if (colours) std::memcpy(p + layout->colourOffset, plan.colours.data(), 4 * colours);
    const std::size_t offset = kFileHeader + layout->pixelOffset;
    p = head.data();
    p[0] = 'B', p[1] = 'M';
    put32(p + 2, std::uint32_t(offset + image));
    put32(p + 10, std::uint32_t(offset));

    // The pixel memory goes out as it is; top-down images are written row by row, bottom row first.
    std::vector<iovec> iov;
    iov.push_back({head.data(), offset});
    if (!plan.topDown) {
        iov.push_back({const_cast<std::uint8_t*>(plan.rows), image});
    } else {
        for (int y = d.height - 1; y >= 0; --y)
            iov.push_back({const_cast<std::uint8_t*>(plan.rows + std::size_t(y) * d.stride), d.stride});
    }

    // Only a regular file that could be overwritten is replaced: a read-only image stays, and a
    // folder, device or pipe of that name is never swapped for a file.
    struct stat existing;
    if (::lstat(path.c_str(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode)) fail(path, EISDIR);
        if (!S_ISREG(existing.st_mode)) fail(path, EEXIST);
        if (::access(path.c_str(), W_OK) != 0) fail(path, errno);
    } else if (errno != ENOENT) {
        fail(path, errno);
    }
    std::string temporary;
    int error = 0;
    int fd = createTemporary(path, temporary, error);
    if (fd < 0) fail(path, error);
    bool ok = writeAll(fd, iov, error);
    if (::close(fd) != 0 && ok) ok = false, error = errno;
    if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) ok = false, error = errno;
    if (!ok) {
        ::unlink(temporary.c_str());
        fail(path, error);
    }
}

} // namespace host
