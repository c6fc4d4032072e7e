// Text helpers over 8-bit strings. Positions are 1-based and 0 means "not found", as in the rest of the
// library's text handling.
#pragma once

#include <cstdint>
#include <string>

namespace kv {

// Position of sub in s, ignoring the case of ASCII letters and of ä/ö/ü (as DUpCase folds them); 0 if
// absent or sub is empty.
std::size_t StrPosEx(const std::string& sub, const std::string& s);
// Deletes everything before the first c (c stays); nothing when c does not occur.
void DeleteLeft(std::string& s, char c);
// Deletes everything after the last c (c stays); nothing when c does not occur.
void DeleteRight(std::string& s, char c);
// s centred in n characters of c (the odd one goes to the right); s unchanged if it is not shorter.
std::string PadEnds(const std::string& s, char c, std::int32_t n);
// s filled to n characters with c on the left, or on the right; s unchanged if it is not shorter.
std::string PadLeft(const std::string& s, char c, std::int32_t n);
std::string PadRight(const std::string& s, char c, std::int32_t n);
// s repeated n times (empty for n ≤ 0).
std::string Replicate(const std::string& s, std::int32_t n);
// The text before the first c, and after the last c; empty when c does not occur.
std::string LeftEnd(const std::string& s, char c);
std::string RightEnd(const std::string& s, char c);
// The first and the last n characters (all of s when it is shorter; empty for n ≤ 0).
std::string LeftStr(const std::string& s, std::int32_t n);
std::string RightStr(const std::string& s, std::int32_t n);
// Whether a and b are the same text apart from letter case (folded as DUpperCase does).
bool Equal(const std::string& a, const std::string& b);

// A reversible scrambling of a text with a 16-bit key, NOT encryption: anyone can undo it, so it must
// not be used to protect secrets. Each character is XORed with the key's high byte and the key then
// advances with the scrambled character: key = (key + scrambled) × 52845 + 22719 mod 65536.
// Decrypt(Encrypt(s, key), key) == s.
std::string Encrypt(const std::string& s, std::uint16_t key);
std::string Decrypt(const std::string& s, std::uint16_t key);

// Upper case of an ASCII letter, and of the Latin-1 letters ä ö ü (228, 246, 252 → 196, 214, 220);
// every other byte is returned unchanged.
char DUpCase(char c);
std::string DUpperCase(const std::string& s);

// Position of sub within the part of s that starts at position from, counted from that start (from
// below 1 counts as 1); 0 if absent or sub is empty.
std::size_t PosEx(std::int32_t from, const std::string& sub, const std::string& s);
// Position of the last occurrence of sub in s; 0 if absent or sub is empty.
std::size_t PosRight(const std::string& sub, const std::string& s);
// s left-padded with "0" to 8 characters, its first 8 characters read as hexadecimal (the first the most
// significant) and the 32 bits returned as a signed value; 0 when any of them is not a hex digit.
std::int32_t HexToInt(const std::string& s);

} // namespace kv
