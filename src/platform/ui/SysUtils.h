// The runtime's exception base: every exception of the object layer carries a message text.
#pragma once

#include <stdexcept>
#include <string>

namespace host {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : m_message(std::move(message)) {}
    const std::string& Message() const { return m_message; }
    void SetMessage(std::string m) { m_message = std::move(m); }
    const char* what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};

#define QUILLAN_EXCEPTION(name, base)                                                                   \
    class name : public base {                                                                         \
    public:                                                                                            \
        using base::base;                                                                              \
    }

// Raised by lists for an index outside their range and for list misuse.
QUILLAN_EXCEPTION(EListError, Exception);
// Integer arithmetic: a division by zero, and a result that does not fit its type.
QUILLAN_EXCEPTION(EIntError, Exception);
QUILLAN_EXCEPTION(EDivByZero, EIntError);
QUILLAN_EXCEPTION(EIntOverflow, EIntError);
// An allocation that could not be satisfied.
QUILLAN_EXCEPTION(EOutOfMemory, Exception);
// Streams: malformed or truncated data, reads and writes outside their limits, files that cannot be
// opened or created (the message names the file and the cause).
QUILLAN_EXCEPTION(EStreamError, Exception);
QUILLAN_EXCEPTION(EFOpenError, EStreamError);
QUILLAN_EXCEPTION(EFCreateError, EStreamError);
// A stream that delivered fewer bytes than a read needed, or took fewer than a write offered.
QUILLAN_EXCEPTION(EReadError, EStreamError);
QUILLAN_EXCEPTION(EWriteError, EStreamError);
// A class name read from a stream that no class was registered under.
QUILLAN_EXCEPTION(EClassNotFound, Exception);
// A text that does not convert to the wanted number or value.
QUILLAN_EXCEPTION(EConvertError, Exception);
// An operation the object cannot carry out in its present state (a canvas without a DC to draw on).
QUILLAN_EXCEPTION(EInvalidOperation, Exception);
// A checked cast of an object to a class it is not of.
QUILLAN_EXCEPTION(EInvalidCast, Exception);
// Floating-point arithmetic: a division by zero.
QUILLAN_EXCEPTION(EMathError, Exception);
QUILLAN_EXCEPTION(EZeroDivide, EMathError);

#undef QUILLAN_EXCEPTION

// Texts of the runtime's list errors ("list index out of bounds", "list capacity out of bounds"); %d
// stands for the offending index or capacity.
inline constexpr char SListIndexError[] = "リストのインデックスが範囲を超えています (%d)";
inline constexpr char SListCapacityError[] = "リストの容量が範囲を超えています (%d)";
inline constexpr char SInvalidCast[] = "無効なクラス型キャストです";
inline constexpr char SZeroDivide[] = "浮動小数点数を 0 で除算しました";

// A message text with its one %d (and %s) placeholder filled in; a text without one is returned as is.
std::string FmtMessage(const char* text, long long value);
std::string FmtMessage(const char* text, const std::string& value);

} // namespace host
