// Streaming of a persistent object's binary properties. An object declares them in DefineProperties;
// TWriter stores those that have data and TReader hands each stored one back to the read procedure
// declared under its name.
//
// Property list layout, repeated for each property and ended by an empty name:
//   1 byte   n: length of the property name (1 .. 255)
//   n bytes  the name, 8-bit characters
//   1 byte   value type: vaBinary
//   4 bytes  length of the data, signed 32-bit little-endian
//   …        the data, as the write procedure produced it
#pragma once

#include "platform/ui/Classes.h"
#include "platform/ui/Streams.h"

#include <functional>
#include <string>

namespace host {

using TStreamProc = std::function<void(TStream& stream)>;

// Value type byte of a binary property.
constexpr std::uint8_t vaBinary = 0x0A;

class TFiler : public TObject {
public:
    explicit TFiler(TStream& stream) : m_stream(stream) {}
    TStream& Stream() { return m_stream; }

    // Declares a binary property: readData fills the object from the stored bytes, writeData produces
    // them, and hasData tells whether there is anything worth storing.
    virtual void DefineBinaryProperty(const std::string& name, const TStreamProc& readData,
                                      const TStreamProc& writeData, bool hasData) = 0;

private:
    TStream& m_stream;
};

class TWriter : public TFiler {
public:
    using TFiler::TFiler;
    // Writes every property instance declares with data, then the empty name that ends the list.
    void WriteProperties(TPersistent& instance);
    void DefineBinaryProperty(const std::string& name, const TStreamProc& readData, const TStreamProc& writeData,
                              bool hasData) override;
};

class TReader : public TFiler {
public:
    using TFiler::TFiler;
    // Reads the property list up to its end. Each property goes to the read procedure instance declares
    // under its name; properties nobody declares are skipped. A malformed or truncated list raises
    // EReadError; no length is trusted beyond what the stream holds.
    void ReadProperties(TPersistent& instance);
    void DefineBinaryProperty(const std::string& name, const TStreamProc& readData, const TStreamProc& writeData,
                              bool hasData) override;

private:
    std::string m_name;           // the stored property being dispatched
    TMemoryStream* m_data = nullptr; // its bytes
    bool m_found = false;
};

} // namespace host
