// Shared helpers of the library: system detection, replaceable elementary routines, memory blocks,
// registry values, files and processes, bitmap and drawing helpers, and number, time and volume texts.
// All state is unit-level; nothing here owns objects.
//
// The sources are split by concern: KvUtils.cpp (unit variables, elementary routines, 64-bit compares,
// memory), KvUtilsSystem.cpp, KvUtilsTiming.cpp, KvUtilsRegistry.cpp, KvUtilsFiles.cpp,
// KvUtilsBitmaps.cpp, KvUtilsFormat.cpp.
#pragma once

#include "platform/ui/Variants.h"
#include "platform/win/WinTypes.h"

#include <cstdint>
#include <string>

namespace kv {

// ---- shared types ----
using TKvDeviceId = std::int32_t;
enum TKvBits { b8Bit, b16Bit };
enum TKvMode { mMono, mStereo };
enum TKvChannel { chBoth, chLeft, chRight };
enum TKvSampleRate { sr11025, sr22050, sr44100 };
enum TKvDecayMode { dmNone, dmStepUp, dmExponential, dmUniform };
enum TKvTimeFormats { tfMillisecond, tfByte, tfSample };
using TKvVolumeRange = std::int32_t;  // 0 … 16384
using TKvEffectVolume = std::int32_t; // −200 … 200
using TKvFeedBack = std::int32_t;     // −100 … 100
enum TKvCBMode { cmWindow, cmCallback, cmThread };
enum TKvFFTWindow { fwRectangular, fwHamming, fwHanning, fwBlackman, fwGaussian, fwWelch, fwParzen };

// ---- unit variables, set once when the program starts ----
extern bool _Win95_;
extern bool _Win98_;
extern bool _WinNT3_;
extern bool _WinNT4_;
extern bool _WinNT_;
extern std::int32_t _CPU_;
extern bool _MMX_;
extern bool _USECPUEXT_;

// ---- elementary routines, called through these pointers so faster versions can be installed ----
extern void (*SwapSmall)(std::int16_t& a, std::int16_t& b);
extern void (*SwapInt)(std::int32_t& a, std::int32_t& b);
extern void (*SwapLong)(std::int32_t& a, std::int32_t& b);
extern std::int32_t (*Min)(std::int32_t a, std::int32_t b);
extern std::int32_t (*Max)(std::int32_t a, std::int32_t b);
extern std::int32_t (*MinMax)(std::int32_t x, std::int32_t lo, std::int32_t hi);
extern std::int32_t (*Limit)(std::int32_t x, std::int32_t a, std::int32_t b);
extern bool (*InMinMax)(std::int32_t x, std::int32_t lo, std::int32_t hi);
extern bool (*InRange)(std::int32_t x, std::int32_t a, std::int32_t b);
extern void (*incHuge)(void*& p, std::intptr_t n);
extern void (*GlobalFillMem)(void* p, std::int32_t n, std::uint8_t value);
extern void (*GlobalFillLong)(void* p, std::int32_t n, std::uint32_t value);
extern void (*GlobalMoveMem)(const void* src, void* dst, std::int32_t n);
extern bool (*GlobalCmpMem)(const void* p, const void* q, std::int32_t n);

// ---- 64-bit compares ----
std::int64_t Min64(std::int64_t a, std::int64_t b);
std::int64_t Max64(std::int64_t a, std::int64_t b);
std::int64_t MinMax64(std::int64_t x, std::int64_t lo, std::int64_t hi);
bool InMinMax64(std::int64_t x, std::int64_t lo, std::int64_t hi);
std::int32_t Sign(std::int64_t x);

// ---- system ----
bool HaveWin95();
bool HaveWin98();
bool HaveWinNT();
bool HaveWinNT4();
std::int32_t GetCPUType();
std::uint32_t GetCPUFeatures();
std::int32_t GetCPUMode();
std::int64_t GetCPUCycles();
std::int32_t GetCPUUsage();
std::int32_t BitsPerPixel();
std::int32_t NonClientHeight();
std::int32_t MenuHeight();

// ---- timing ----
std::int64_t TimeGetExactTime();
void InitTimeMeasure();
void StartTimeMeasure();
std::string StopTimeMeasure(std::int32_t n);
void InitCyclesMeasure();
void StartCyclesMeasure();
std::string StopCyclesMeasure(std::int32_t n);
void Delay(std::int32_t ms, bool processMessages);
// Dispatches the messages posted to the window (and its child windows) that are waiting; window 0
// dispatches all of the calling thread's. A quit message stays queued for the message loop.
void WinYield(win::HWND window);

// ---- memory: zero-filled blocks of the global heap ----
void* GlobalAllocMem(std::int32_t n);
void GlobalReAllocMem(void*& p, std::int32_t n);
void GlobalFreeMem(void*& p);
std::int32_t GlobalMemSize(const void* p);
template <typename T> void GlobalReAllocMem(T*& p, std::int32_t n) {
    void* v = p;
    GlobalReAllocMem(v, n);
    p = static_cast<T*>(v);
}
template <typename T> void GlobalFreeMem(T*& p) {
    void* v = p;
    GlobalFreeMem(v);
    p = nullptr;
}

// ---- registry ----
void SaveInRegistry(win::HKEY root, const std::string& key, const std::string& name, const host::Variant& value);
host::Variant GetFromRegistry(win::HKEY root, const std::string& key, const std::string& name,
                              const host::Variant& value);
void SaveInRegistryBinary(win::HKEY root, const std::string& key, const std::string& name, std::int32_t size,
                          const void* buffer);
std::int32_t GetFromRegistryBinary(win::HKEY root, const std::string& key, const std::string& name,
                                   std::int32_t size, void* buffer);

// ---- files and processes ----
std::string CheckPath(const std::string& path, bool add);
std::string GetTempFile();
std::int64_t GetFileSize(const std::string& name);
bool GetDiskStats(const std::string& path, std::int64_t& free, std::int64_t& total);
bool GetDiskFree(const std::string& path, std::int64_t needed);
std::string GetShortFileName(const std::string& name);
bool WinExecAndWait(const std::string& commandLine);

// ---- bitmaps and drawing ----
// Bitmaps passed here must not be selected into a DC (a bitmap can be in one DC at a time).
// Replaces every pixel of colour `from` in the bitmap by `to`.
void ChangeColors(win::HBITMAP bitmap, win::COLORREF from, win::COLORREF to);
// The bitmap's size in pixels; 0 and 0 for an invalid handle.
void GetBitmapSize(win::HBITMAP bitmap, std::int32_t& width, std::int32_t& height);
// The colour of the pixel at the point clamped into the bitmap; CLR_INVALID for an invalid bitmap.
win::COLORREF GetTransparentColorEx(win::HBITMAP bitmap, win::POINT point);
// The colour of the bitmap's bottom-left pixel.
win::COLORREF GetTransparentColor(win::HBITMAP bitmap);
// Draws the source rectangle of the bitmap at (x, y), leaving out every pixel of the transparent colour.
void DrawTransparentBitmapEx(win::HDC dc, win::HBITMAP bitmap, std::int32_t x, std::int32_t y, win::RECT source,
                             win::COLORREF transparent);
// Draws the whole bitmap at (x, y), leaving out every pixel of the transparent colour.
void DrawTransparentBitmap(win::HDC dc, win::HBITMAP bitmap, std::int32_t x, std::int32_t y,
                           win::COLORREF transparent);
// Covers the rectangle with copies of the bitmap, the first at its top-left corner.
void TileBlt(win::HDC dc, win::HBITMAP bitmap, win::RECT dest);
// Linear gradient from `from` at the left (horizontal) or top edge to `to` at the right or bottom edge.
void FillGradient(win::HDC dc, win::RECT rect, win::COLORREF from, win::COLORREF to, bool horizontal);
// Fills the rectangle with one colour.
void FillSolid(win::HDC dc, win::RECT rect, win::COLORREF color);
// Inverts a dotted 1-pixel frame of the rectangle (corners in any order); drawn again, it is erased.
void DrawRubberband(win::HDC dc, win::RECT rect);
// Inverts the pixels of the line from `from` to `to` (that end excluded); drawn again, it is erased.
void DrawRubberLine(win::HDC dc, win::POINT from, win::POINT to);
// Draws the text in the rectangle, aligned and formatted by DrawTextA's DT_ flags.
void TextOutAligned(win::HDC dc, win::RECT rect, const std::string& text, std::uint32_t format);

// ---- number, time and volume texts ----
void TimeDecode(std::int32_t ms, std::uint16_t& hours, std::uint16_t& minutes, std::uint16_t& seconds,
                std::uint16_t& milliseconds);
std::string TimeToMask(std::int32_t ms);
std::int32_t MaskToTime(const std::string& text);
std::string TimeToStringEx(std::int32_t ms, bool withMilliseconds);
std::string TimeToString(std::int32_t ms);
std::string TimeToString64Ex(std::int64_t ms, bool withMilliseconds);
std::string TimeToString64(std::int64_t ms);
// The inverse of VolumeToDB: round(10^(db / 20) × max(maximum, 1)); 0 at or below −110 dB, clamped to 32 bits.
std::int32_t DBToVolume(double db, std::int32_t maximum);
double VolumeToDB(std::int32_t volume, std::int32_t maximum);
std::string VolumeToStringShort(std::int32_t volume, std::int32_t maximum, std::int32_t decimals);
std::string VolumeToString(std::int32_t volume, std::int32_t maximum, std::int32_t decimals);
std::string PanningToString(std::int32_t pan, std::int32_t range);
void CalcVolume(std::int32_t range, std::int32_t volume, std::int32_t pan, std::int32_t& left, std::int32_t& right);
std::int32_t CombineVolume(std::int32_t v, std::int32_t numerator, std::int32_t denominator);
std::string FormatBigNumber(std::int32_t n);

} // namespace kv
