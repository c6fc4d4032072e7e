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

// Raised by lists for an index outside their range.
class EListError : public Exception {
public:
    using Exception::Exception;
};

} // namespace host
