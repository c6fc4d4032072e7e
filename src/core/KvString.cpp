#include "core/KvString.h"

#include <algorithm>

namespace kv {
namespace {

std::size_t toPos(std::size_t i) { return i == std::string::npos ? 0 : i + 1; }

std::size_t clampCount(std::int32_t n, std::size_t size) {
    return n <= 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(n), size);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// One step of the scrambling: the output byte and the key advanced with the scrambled byte.
char scrambleStep(char in, std::uint16_t& key, bool decrypting) {
    const auto inByte = static_cast<std::uint8_t>(in);
    const auto out = static_cast<std::uint8_t>(inByte ^ (key >> 8));
    const std::uint8_t scrambled = decrypting ? inByte : out;
    key = static_cast<std::uint16_t>((static_cast<std::uint32_t>(key) + scrambled) * 52845u + 22719u);
    return static_cast<char>(out);
}

std::string scramble(const std::string& s, std::uint16_t key, bool decrypting) {
    std::string out(s.size(), '\0');
    for (std::size_t i = 0; i < s.size(); ++i) out[i] = scrambleStep(s[i], key, decrypting);
    return out;
}

} // namespace

std::size_t StrPosEx(const std::string& sub, const std::string& s) {
    if (sub.empty()) return 0;
    return toPos(DUpperCase(s).find(DUpperCase(sub)));
}

void DeleteLeft(std::string& s, char c) {
    const auto i = s.find(c);
    if (i != std::string::npos) s.erase(0, i);
}

void DeleteRight(std::string& s, char c) {
    const auto i = s.rfind(c);
    if (i != std::string::npos) s.erase(i + 1);
}

std::string PadEnds(const std::string& s, char c, std::int32_t n) {
    if (n <= 0 || s.size() >= static_cast<std::size_t>(n)) return s;
    const std::size_t fill = static_cast<std::size_t>(n) - s.size();
    return std::string(fill / 2, c) + s + std::string(fill - fill / 2, c);
}

std::string PadLeft(const std::string& s, char c, std::int32_t n) {
    if (n <= 0 || s.size() >= static_cast<std::size_t>(n)) return s;
    return std::string(static_cast<std::size_t>(n) - s.size(), c) + s;
}

std::string PadRight(const std::string& s, char c, std::int32_t n) {
    if (n <= 0 || s.size() >= static_cast<std::size_t>(n)) return s;
    return s + std::string(static_cast<std::size_t>(n) - s.size(), c);
}

std::string Replicate(const std::string& s, std::int32_t n) {
    std::string out;
    if (n <= 0) return out;
    out.reserve(s.size() * static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i) out += s;
    return out;
}

std::string LeftEnd(const std::string& s, char c) {
    const auto i = s.find(c);
    return i == std::string::npos ? std::string() : s.substr(0, i);
}

std::string RightEnd(const std::string& s, char c) {
    const auto i = s.rfind(c);
    return i == std::string::npos ? std::string() : s.substr(i + 1);
}

std::string LeftStr(const std::string& s, std::int32_t n) { return s.substr(0, clampCount(n, s.size())); }

std::string RightStr(const std::string& s, std::int32_t n) {
    const std::size_t k = clampCount(n, s.size());
    return s.substr(s.size() - k);
}

bool Equal(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return DUpCase(x) == DUpCase(y);
           });
}

std::string Encrypt(const std::string& s, std::uint16_t key) { return scramble(s, key, false); }
std::string Decrypt(const std::string& s, std::uint16_t key) { return scramble(s, key, true); }

char DUpCase(char c) {
    const auto b = static_cast<std::uint8_t>(c);
    if (b >= 'a' && b <= 'z') return static_cast<char>(b - 'a' + 'A');
    switch (b) {
    case 228: return static_cast<char>(196);
    case 246: return static_cast<char>(214);
    case 252: return static_cast<char>(220);
    default: return c;
    }
}

std::string DUpperCase(const std::string& s) {
    std::string out(s);
    for (char& c : out) c = DUpCase(c);
    return out;
}

std::size_t PosEx(std::int32_t from, const std::string& sub, const std::string& s) {
    if (sub.empty()) return 0;
    const std::size_t start = from <= 1 ? 0 : static_cast<std::size_t>(from) - 1;
    if (start >= s.size()) return 0;
    const auto i = s.find(sub, start);
    return i == std::string::npos ? 0 : i - start + 1;
}

std::size_t PosRight(const std::string& sub, const std::string& s) {
    if (sub.empty()) return 0;
    return toPos(s.rfind(sub));
}

std::int32_t HexToInt(const std::string& s) {
    const std::string digits = PadLeft(s, '0', 8);
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        const int d = hexDigit(digits[i]);
        if (d < 0) return 0;
        v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    return static_cast<std::int32_t>(v);
}

} // namespace kv
