// Handle table, device contexts, palettes and the system palette.
#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiState.h"
#include "platform/win/Display.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace win {
namespace gdi {

namespace {

constexpr std::array<PALETTEENTRY, 20> kStatic = {{
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},   {0, 0, 128, 0},
    {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0}, {192, 220, 192, 0}, {166, 202, 240, 0},
    {255, 251, 240, 0}, {160, 160, 164, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},
    {255, 255, 0, 0},   {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
}};

constexpr int kFirstFree = 10, kLastFree = 245;

bool sameColour(const PALETTEENTRY& a, const PALETTEENTRY& b) {
    return a.peRed == b.peRed && a.peGreen == b.peGreen && a.peBlue == b.peBlue;
}

RGBQUAD quad(const PALETTEENTRY& e) {
    return RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
}

std::atomic<HWND (*)()> g_focusQuery{nullptr};

} // namespace

const std::array<PALETTEENTRY, 20>& StaticColours() {
    return kStatic;
}
int StaticSlot(int i) {
    return i < 10 ? i : 236 + i;
}
bool IsPaletteScreen() {
    return DisplayBitsPerPixel() <= 8;
}

State::State() {
    ResetSystemPalette();
    PaletteObject stock;
    stock.entries.assign(kStatic.begin(), kStatic.end());
    for (int i = 0; i < 20; ++i)
        stock.systemIndex.push_back(std::uint8_t(StaticSlot(i)));
    m_stockPalette = Add(std::move(stock));
    BitmapObject mono;
    mono.data.width = mono.data.height = 1;
    mono.data.bpp = 1;
    mono.data.stride = 4;
    mono.data.device = true;
    mono.data.colors = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    mono.data.bits = std::shared_ptr<std::uint8_t[]>(new std::uint8_t[4]());
    m_stockBitmap = Add(std::move(mono));
    m_stock[std::size_t(DEFAULT_PALETTE)] = m_stockPalette;
    addDrawingStock();
    m_stockCount = m_objects.size();
    m_lastStock = 0;
    for (const auto& entry : m_objects)
        m_lastStock = std::max(m_lastStock, entry.first);
}

State& State::Get() {
    static State* state = new State(); // never destroyed: bitmaps may be released during exit
    return *state;
}

std::uintptr_t State::Add(Object object) {
    std::uintptr_t h = std::uintptr_t(m_next++) << 4 | std::uintptr_t(object.index() + 1);
    m_objects.emplace(h, std::move(object));
    return h;
}

void State::ResetSystemPalette() {
    systemPalette.fill(PALETTEENTRY{0, 0, 0, 0});
    slotUsed.fill(false);
    for (int i = 0; i < 20; ++i) {
        systemPalette[std::size_t(StaticSlot(i))] = kStatic[std::size_t(i)];
        slotUsed[std::size_t(StaticSlot(i))] = true;
    }
}

std::vector<RGBQUAD> State::DeviceColours(int bpp) const {
    std::vector<RGBQUAD> colours;
    if (bpp == 1) return {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    if (bpp == 4) {
        // The sixteen colours of a 4-bit device: the first eight and the last eight static colours.
        for (int i = 0; i < 16; ++i)
            colours.push_back(quad(kStatic[std::size_t(i < 8 ? i : i + 4)]));
        return colours;
    }
    for (const PALETTEENTRY& e : systemPalette)
        colours.push_back(quad(e));
    return colours;
}

bool State::DescribeTarget(HDC hdc, Target& out) {
    DCObject* dc = Find<DCObject>(hdc);
    if (!dc) return false;
    out = Target{};
    out.bpp = DisplayBitsPerPixel();
    if (dc->memory) {
        if (BitmapObject* b = Find<BitmapObject>(dc->bitmap)) out.bpp = b->data.bpp;
    }
    if (out.bpp > 8) return true;
    if (out.bpp <= 4) {
        out.colours = DeviceColours(out.bpp);
        for (std::size_t i = 0; i < out.colours.size(); ++i)
            out.indices.push_back(std::uint8_t(i));
        return true;
    }
    // An 8-bit screen: the colours of the selected palette as realised, or the static colours.
    PaletteObject* pal = Find<PaletteObject>(dc->palette);
    if (pal && !pal->systemIndex.empty()) {
        for (std::size_t i = 0; i < pal->entries.size() && i < pal->systemIndex.size(); ++i) {
            out.colours.push_back(quad(systemPalette[pal->systemIndex[i]]));
            out.indices.push_back(pal->systemIndex[i]);
        }
    } else {
        for (int i = 0; i < 20; ++i) {
            out.colours.push_back(quad(kStatic[std::size_t(i)]));
            out.indices.push_back(std::uint8_t(StaticSlot(i)));
        }
    }
    return true;
}

std::vector<PALETTEENTRY> PaletteEntries(HPALETTE palette) {
    State& s = State::Get();
    auto lock = s.Lock();
    PaletteObject* p = s.Find<PaletteObject>(palette);
    return p ? p->entries : std::vector<PALETTEENTRY>{};
}

HPALETTE DuplicatePalette(HPALETTE palette) {
    State& s = State::Get();
    auto lock = s.Lock();
    PaletteObject* p = s.Find<PaletteObject>(palette);
    if (!p) return nullptr;
    PaletteObject copy;
    copy.entries = p->entries;
    return ToHandle<HPALETTE>(s.Add(std::move(copy)));
}

std::vector<PALETTEENTRY> SystemPalette() {
    if (!IsPaletteScreen()) return {};
    State& s = State::Get();
    auto lock = s.Lock();
    return {s.systemPalette.begin(), s.systemPalette.end()};
}

void ResetSystemPalette() {
    State& s = State::Get();
    auto lock = s.Lock();
    s.ResetSystemPalette();
}

std::size_t LiveObjectCount() {
    State& s = State::Get();
    auto lock = s.Lock();
    return s.Count() - s.StockCount();
}

} // namespace gdi

using gdi::BitmapObject;
using gdi::DCObject;
using gdi::kFirstFree;
using gdi::kLastFree;
using gdi::PaletteObject;
using gdi::sameColour;
using gdi::State;
using gdi::ToHandle;

HWND GetFocus() {
    auto query = gdi::g_focusQuery.load();
    return query ? query() : nullptr;
}

void SetFocusQuery(HWND (*query)()) {
    gdi::g_focusQuery.store(query);
}

namespace {

HDC newDC(bool memory) {
    State& s = State::Get();
    auto lock = s.Lock();
    DCObject dc;
    dc.memory = memory;
    dc.palette = s.StockPalette();
    if (memory) dc.bitmap = s.StockBitmap();
    dc.pen = static_cast<HPEN>(s.Stock(BLACK_PEN));
    dc.brush = static_cast<HBRUSH>(s.Stock(WHITE_BRUSH));
    dc.font = static_cast<HFONT>(s.Stock(SYSTEM_FONT));
    if (auto* p = s.Find<PaletteObject>(dc.palette)) ++p->selections;
    if (auto* p = s.Find<gdi::PenObject>(dc.pen)) ++p->selections;
    if (auto* b = s.Find<gdi::BrushObject>(dc.brush)) ++b->selections;
    if (auto* f = s.Find<gdi::FontObject>(dc.font)) ++f->selections;
    return ToHandle<HDC>(s.Add(std::move(dc)));
}

// Drops what a DC has selected and removes it; requires the lock.
bool removeDC(State& s, HDC hdc, bool memory) {
    DCObject* dc = s.Find<DCObject>(hdc);
    if (!dc || dc->memory != memory) return false;
    if (auto* p = s.Find<PaletteObject>(dc->palette)) --p->selections;
    if (auto* b = s.Find<BitmapObject>(dc->bitmap); b && b->selectedInto == hdc) b->selectedInto = nullptr;
    if (auto* p = s.Find<gdi::PenObject>(dc->pen)) --p->selections;
    if (auto* b = s.Find<gdi::BrushObject>(dc->brush)) --b->selections;
    if (auto* f = s.Find<gdi::FontObject>(dc->font)) --f->selections;
    return s.Remove(hdc);
}

} // namespace

HDC GetDC(HWND) {
    return newDC(false);
}

int ReleaseDC(HWND, HDC hdc) {
    State& s = State::Get();
    auto lock = s.Lock();
    return removeDC(s, hdc, false) ? 1 : 0;
}

HDC CreateCompatibleDC(HDC hdc) {
    if (hdc) {
        State& s = State::Get();
        auto lock = s.Lock();
        if (!s.Find<DCObject>(hdc)) return nullptr;
    }
    return newDC(true);
}

BOOL DeleteDC(HDC hdc) {
    State& s = State::Get();
    auto lock = s.Lock();
    return removeDC(s, hdc, true) ? TRUE : FALSE;
}

int GetDeviceCaps(HDC hdc, int index) {
    {
        State& s = State::Get();
        auto lock = s.Lock();
        if (!s.Find<DCObject>(hdc)) return 0;
    }
    const int bpp = DisplayBitsPerPixel();
    const bool palette = bpp <= 8;
    switch (index) {
    case BITSPIXEL:
        return bpp;
    case PLANES:
        return 1;
    case SIZEPALETTE:
        return palette ? 256 : 0;
    case NUMRESERVED:
        return palette ? 20 : 0;
    case NUMCOLORS:
        return palette ? 20 : -1;
    case COLORRES:
        return palette ? 18 : 24;
    case RASTERCAPS:
        return RC_BITBLT | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHDIB | (palette ? RC_PALETTE : 0);
    default:
        return 0;
    }
}

namespace {

// Swaps the pen, brush or font a DC has selected; requires the lock.
template <typename T, typename H> H swapSelection(State& s, H& slot, T& object, HGDIOBJ handle) {
    H previous = slot;
    if (auto* old = s.Find<T>(previous)) --old->selections;
    ++object.selections;
    slot = static_cast<H>(handle);
    return previous;
}

HGDIOBJ selectBitmap(State& s, HDC hdc, DCObject& dc, BitmapObject& bitmap, HGDIOBJ object) {
    if (!dc.memory) return nullptr;
    auto handle = static_cast<HBITMAP>(object);
    if (dc.bitmap == handle) return handle;
    if (bitmap.selectedInto && !s.IsStock(object)) return nullptr; // already selected elsewhere
    HBITMAP previous = dc.bitmap;
    if (auto* old = s.Find<BitmapObject>(previous); old && old->selectedInto == hdc)
        old->selectedInto = nullptr;
    if (!s.IsStock(object)) bitmap.selectedInto = hdc;
    dc.bitmap = handle;
    return previous;
}

} // namespace

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
    State& s = State::Get();
    auto lock = s.Lock();
    DCObject* dc = s.Find<DCObject>(hdc);
    if (!dc) return nullptr;
    if (auto* bitmap = s.Find<BitmapObject>(object)) return selectBitmap(s, hdc, *dc, *bitmap, object);
    if (auto* pen = s.Find<gdi::PenObject>(object)) return swapSelection(s, dc->pen, *pen, object);
    if (auto* brush = s.Find<gdi::BrushObject>(object)) return swapSelection(s, dc->brush, *brush, object);
    if (auto* font = s.Find<gdi::FontObject>(object)) return swapSelection(s, dc->font, *font, object);
    if (auto* region = s.Find<gdi::RegionObject>(object)) {
        dc->clipped = true;
        dc->clip = region->rect;
        bool empty = dc->clip.left >= dc->clip.right || dc->clip.top >= dc->clip.bottom;
        return reinterpret_cast<HGDIOBJ>(std::uintptr_t(empty ? NULLREGION : SIMPLEREGION));
    }
    return nullptr;
}

BOOL DeleteObject(HGDIOBJ object) {
    State& s = State::Get();
    auto lock = s.Lock();
    if (!object) return FALSE;
    if (s.IsStock(object)) return TRUE;
    int selections = 0;
    if (auto* b = s.Find<BitmapObject>(object))
        selections = b->selectedInto ? 1 : 0;
    else if (auto* p = s.Find<PaletteObject>(object))
        selections = p->selections;
    else if (auto* pen = s.Find<gdi::PenObject>(object))
        selections = pen->selections;
    else if (auto* brush = s.Find<gdi::BrushObject>(object))
        selections = brush->selections;
    else if (auto* font = s.Find<gdi::FontObject>(object))
        selections = font->selections;
    else if (!s.Find<gdi::RegionObject>(object))
        return FALSE;
    if (selections > 0) return FALSE;
    return s.Remove(object) ? TRUE : FALSE;
}

HGDIOBJ GetStockObject(int index) {
    return State::Get().Stock(index);
}

namespace {

template <typename T> int copyRecord(const T& record, int cb, LPVOID out) {
    if (!out) return int(sizeof(T));
    if (cb < int(sizeof(T))) return 0;
    std::memcpy(out, &record, sizeof(T));
    return int(sizeof(T));
}

} // namespace

int GetObject(HGDIOBJ object, int cb, LPVOID out) {
    State& s = State::Get();
    auto lock = s.Lock();
    if (auto* p = s.Find<PaletteObject>(object)) {
        if (!out) return int(sizeof(WORD));
        if (cb < int(sizeof(WORD))) return 0;
        WORD count = WORD(p->entries.size());
        std::memcpy(out, &count, sizeof count);
        return int(sizeof(WORD));
    }
    if (auto* pen = s.Find<gdi::PenObject>(object)) return copyRecord(pen->pen, cb, out);
    if (auto* brush = s.Find<gdi::BrushObject>(object)) return copyRecord(brush->brush, cb, out);
    if (auto* font = s.Find<gdi::FontObject>(object)) return copyRecord(font->font, cb, out);
    auto* b = s.Find<BitmapObject>(object);
    if (!b) return 0;
    const gdi::BitmapData& d = b->data;
    const bool section = !d.device;
    if (!out) return int(section ? sizeof(DIBSECTION) : sizeof(BITMAP));
    if (cb < int(sizeof(BITMAP))) return 0;
    DIBSECTION ds{};
    ds.dsBm.bmWidth = d.width;
    ds.dsBm.bmHeight = d.height;
    ds.dsBm.bmWidthBytes = LONG(d.stride);
    ds.dsBm.bmPlanes = 1;
    ds.dsBm.bmBitsPixel = WORD(d.bpp);
    ds.dsBm.bmBits = section ? d.bits.get() : nullptr;
    if (!section || cb < int(sizeof(DIBSECTION))) {
        std::memcpy(out, &ds.dsBm, sizeof(BITMAP));
        return int(sizeof(BITMAP));
    }
    ds.dsBmih.biSize = sizeof(BITMAPINFOHEADER);
    ds.dsBmih.biWidth = d.width;
    ds.dsBmih.biHeight = d.topDown ? -d.height : d.height;
    ds.dsBmih.biPlanes = 1;
    ds.dsBmih.biBitCount = WORD(d.bpp);
    ds.dsBmih.biCompression = d.compression;
    ds.dsBmih.biSizeImage = DWORD(d.ImageSize());
    ds.dsBmih.biClrUsed = DWORD(d.colors.size());
    std::memcpy(ds.dsBitfields, d.masks, sizeof ds.dsBitfields);
    std::memcpy(out, &ds, sizeof ds);
    return int(sizeof ds);
}

// ---- palettes ----

HPALETTE CreatePalette(const LOGPALETTE* logPalette) {
    if (!logPalette || logPalette->palNumEntries == 0) return nullptr;
    PaletteObject p;
    p.entries.assign(logPalette->palPalEntry, logPalette->palPalEntry + logPalette->palNumEntries);
    State& s = State::Get();
    auto lock = s.Lock();
    return ToHandle<HPALETTE>(s.Add(std::move(p)));
}

UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries) {
    State& s = State::Get();
    auto lock = s.Lock();
    PaletteObject* p = s.Find<PaletteObject>(palette);
    if (!p) return 0;
    const UINT size = UINT(p->entries.size());
    if (!entries) return size;
    if (start >= size) return 0;
    UINT n = std::min(count, size - start);
    std::copy_n(p->entries.begin() + start, n, entries);
    return n;
}

UINT SetPaletteEntries(HPALETTE palette, UINT start, UINT count, const PALETTEENTRY* entries) {
    State& s = State::Get();
    auto lock = s.Lock();
    PaletteObject* p = s.Find<PaletteObject>(palette);
    if (!p || !entries || s.IsStock(palette)) return 0;
    const UINT size = UINT(p->entries.size());
    if (start >= size) return 0;
    UINT n = std::min(count, size - start);
    std::copy_n(entries, n, p->entries.begin() + start);
    return n;
}

HPALETTE SelectPalette(HDC hdc, HPALETTE palette, BOOL forceBackground) {
    State& s = State::Get();
    auto lock = s.Lock();
    DCObject* dc = s.Find<DCObject>(hdc);
    PaletteObject* p = s.Find<PaletteObject>(palette);
    if (!dc || !p) return nullptr;
    HPALETTE previous = dc->palette;
    if (auto* old = s.Find<PaletteObject>(previous)) --old->selections;
    ++p->selections;
    dc->palette = palette;
    dc->background = forceBackground != FALSE;
    return previous;
}

namespace {

// Finds a slot holding the colour among the static colours and the slots in use.
int findExact(const State& s, const PALETTEENTRY& e) {
    for (int i = 0; i < 256; ++i)
        if (s.slotUsed[std::size_t(i)] && sameColour(s.systemPalette[std::size_t(i)], e)) return i;
    return -1;
}

int findNearest(const State& s, const PALETTEENTRY& e) {
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < 256; ++i) {
        if (!s.slotUsed[std::size_t(i)]) continue;
        const PALETTEENTRY& c = s.systemPalette[std::size_t(i)];
        long dr = c.peRed - e.peRed, dg = c.peGreen - e.peGreen, db = c.peBlue - e.peBlue;
        long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) bestDistance = d, best = i;
    }
    return best;
}

} // namespace

// A foreground palette takes over all free middle slots: they are emptied first and its colours go
// into them in order; colours already present (static or placed earlier) share their slot unless the
// entry asks for its own. A background palette only uses slots that are still free, otherwise it
// maps to the nearest colour present.
UINT RealizePalette(HDC hdc) {
    State& s = State::Get();
    auto lock = s.Lock();
    DCObject* dc = s.Find<DCObject>(hdc);
    if (!dc) return GDI_ERROR;
    PaletteObject* p = s.Find<PaletteObject>(dc->palette);
    if (!p || !gdi::IsPaletteScreen() || s.IsStock(dc->palette)) return 0;
    const bool foreground = !dc->background;
    if (foreground)
        for (int i = kFirstFree; i <= kLastFree; ++i)
            s.slotUsed[std::size_t(i)] = false;
    UINT changed = 0;
    p->systemIndex.assign(p->entries.size(), 0);
    for (std::size_t k = 0; k < p->entries.size(); ++k) {
        const PALETTEENTRY& e = p->entries[k];
        if (e.peFlags & PC_EXPLICIT) {
            p->systemIndex[k] = e.peRed;
            continue;
        }
        int slot = (e.peFlags & (PC_NOCOLLAPSE | PC_RESERVED)) ? -1 : findExact(s, e);
        if (slot < 0) {
            for (int i = kFirstFree; i <= kLastFree && slot < 0; ++i)
                if (!s.slotUsed[std::size_t(i)]) slot = i;
            if (slot >= 0) {
                PALETTEENTRY& target = s.systemPalette[std::size_t(slot)];
                if (!sameColour(target, e)) ++changed;
                target = PALETTEENTRY{e.peRed, e.peGreen, e.peBlue, 0};
                s.slotUsed[std::size_t(slot)] = true;
            } else {
                slot = findNearest(s, e);
            }
        }
        p->systemIndex[k] = std::uint8_t(slot);
    }
    return changed;
}

UINT GetSystemPaletteEntries(HDC hdc, UINT start, UINT count, PALETTEENTRY* entries) {
    State& s = State::Get();
    auto lock = s.Lock();
    if (!s.Find<DCObject>(hdc) || !gdi::IsPaletteScreen()) return 0;
    if (!entries) return 256;
    if (start >= 256) return 0;
    UINT n = std::min<UINT>(count, 256 - start);
    std::copy_n(s.systemPalette.begin() + start, n, entries);
    return n;
}

} // namespace win
