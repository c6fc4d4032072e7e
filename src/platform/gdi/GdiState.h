// The handle table and the system palette shared by the GDI sources. Everything here is guarded by
// one mutex; callers lock it with State::Lock and never hold it while converting pixels.
#pragma once

#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiAccess.h"
#include "platform/gdi/PixelRows.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <variant>
#include <vector>

namespace win::gdi {

// The classic system colour table: COLOR_ indices below kSysColorCount; unused indices hold
// CLR_INVALID.
constexpr int kSysColorCount = COLOR_GRADIENTINACTIVECAPTION + 1;
COLORREF SysColor(int index);

struct BitmapObject {
    BitmapData data;
    HDC selectedInto = nullptr;
};

struct PaletteObject {
    std::vector<PALETTEENTRY> entries;
    std::vector<std::uint8_t> systemIndex; // entry → system palette slot, filled by realisation
    int selections = 0;                    // number of DCs it is selected into
};

struct PenObject {
    LOGPEN pen{};
    int selections = 0;
};

struct BrushObject {
    LOGBRUSH brush{};
    int selections = 0;
};

struct FontObject {
    LOGFONTA font{};
    int selections = 0;
};

struct RegionObject {
    RECT rect{}; // normalised: left <= right, top <= bottom
};

struct DCObject {
    bool memory = false;
    HPALETTE palette = nullptr;
    bool background = false;  // palette selected with forceBackground
    HBITMAP bitmap = nullptr; // memory DCs only
    HPEN pen = nullptr;
    HBRUSH brush = nullptr;
    HFONT font = nullptr;
    COLORREF bkColor = RGB(255, 255, 255);
    COLORREF textColor = RGB(0, 0, 0);
    int bkMode = OPAQUE;
    int rop2 = R2_COPYPEN;
    int stretchMode = BLACKONWHITE;
    UINT textAlign = TA_LEFT | TA_TOP | TA_NOUPDATECP;
    POINT position{0, 0};
    bool clipped = false; // clip holds the clip rectangle
    RECT clip{};
};

using Object =
    std::variant<BitmapObject, PaletteObject, DCObject, PenObject, BrushObject, FontObject, RegionObject>;

class State {
  public:
    static State& Get();
    std::unique_lock<std::mutex> Lock() { return std::unique_lock(m_mutex); }

    // All of the following require the lock.
    std::uintptr_t Add(Object object);
    template <typename T> T* Find(const void* handle) {
        auto it = m_objects.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == m_objects.end()) return nullptr;
        return std::get_if<T>(&it->second);
    }
    bool Remove(const void* handle) { return m_objects.erase(reinterpret_cast<std::uintptr_t>(handle)) > 0; }
    std::size_t Count() const { return m_objects.size(); }
    bool IsStock(const void* handle) const {
        auto h = reinterpret_cast<std::uintptr_t>(handle);
        return h != 0 && h <= m_lastStock && m_objects.count(h) != 0;
    }
    HPALETTE StockPalette() const { return reinterpret_cast<HPALETTE>(m_stockPalette); }
    HBITMAP StockBitmap() const { return reinterpret_cast<HBITMAP>(m_stockBitmap); }
    // The stock object of a GetStockObject index; 0 for an unknown index.
    HGDIOBJ Stock(int index) const {
        return index >= 0 && std::size_t(index) < m_stock.size()
                   ? reinterpret_cast<HGDIOBJ>(m_stock[std::size_t(index)])
                   : nullptr;
    }
    // The brush of a system colour; 0 for an unknown index.
    HBRUSH SysColorBrush(int index) const {
        return index >= 0 && std::size_t(index) < m_sysBrushes.size()
                   ? reinterpret_cast<HBRUSH>(m_sysBrushes[std::size_t(index)])
                   : nullptr;
    }
    // Number of stock objects in the handle table.
    std::size_t StockCount() const { return m_stockCount; }

    // The system palette of a palette screen: entries and which middle slots a realised palette holds.
    std::array<PALETTEENTRY, 256> systemPalette{};
    std::array<bool, 256> slotUsed{};
    void ResetSystemPalette();

    // What CreateDIBitmap needs to know about a DC: target depth and, for 8 bits, the colours it may
    // use with the device indices they stand for.
    struct Target {
        int bpp = 24;
        std::vector<RGBQUAD> colours;
        std::vector<std::uint8_t> indices;
    };
    bool DescribeTarget(HDC hdc, Target& out);
    // The colour table of a device bitmap of 8 bits and less (the system palette for 8 bits).
    std::vector<RGBQUAD> DeviceColours(int bpp) const;

  private:
    State();
    void addDrawingStock(); // pens, brushes and fonts
    std::mutex m_mutex;
    std::unordered_map<std::uintptr_t, Object> m_objects;
    std::uint64_t m_next = 1;
    std::uintptr_t m_stockPalette = 0;
    std::uintptr_t m_stockBitmap = 0;
    std::array<std::uintptr_t, 18> m_stock{};
    std::array<std::uintptr_t, kSysColorCount> m_sysBrushes{}; // 0 for unused indices
    std::uintptr_t m_lastStock = 0;                            // stock objects are the first handles made
    std::size_t m_stockCount = 0;
};

// The LOGFONTA of the font a DC uses when none was selected, and of the stock fonts.
LOGFONTA StockFont(int index);

// The 20 static colours of a palette screen, in system palette order (10 at the start, 10 at the end).
const std::array<PALETTEENTRY, 20>& StaticColours();
int StaticSlot(int i); // system palette index of static colour i
bool IsPaletteScreen();

template <typename H> H ToHandle(std::uintptr_t value) {
    return reinterpret_cast<H>(value);
}

} // namespace win::gdi
