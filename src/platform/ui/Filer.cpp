#include "platform/ui/Filer.h"

#include "platform/ui/SysUtils.h"

#include <cstdint>

namespace host {
namespace {

void writeInt32(TStream& s, std::int32_t v) {
    std::uint8_t b[4];
    for (int i = 0; i < 4; ++i) b[i] = std::uint8_t(std::uint32_t(v) >> (8 * i));
    s.WriteBuffer(b, 4);
}

std::int32_t readInt32(TStream& s) {
    std::uint8_t b[4];
    s.ReadBuffer(b, 4);
    return std::int32_t(std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
                        std::uint32_t(b[3]) << 24);
}

} // namespace

// ---- TWriter ----

void TWriter::WriteProperties(TPersistent& instance) {
    instance.DefineProperties(this);
    const std::uint8_t end = 0;
    Stream().WriteBuffer(&end, 1);
}

void TWriter::DefineBinaryProperty(const std::string& name, const TStreamProc&, const TStreamProc& writeData,
                                   bool hasData) {
    if (!hasData || !writeData) return;
    if (name.empty() || name.size() > 255)
        throw EWriteError("Property name \"" + name + "\" must have 1 to 255 characters");
    TMemoryStream data;
    writeData(data);
    const auto length = std::uint8_t(name.size());
    Stream().WriteBuffer(&length, 1);
    Stream().WriteBuffer(name.data(), length);
    Stream().WriteBuffer(&vaBinary, 1);
    writeInt32(Stream(), std::int32_t(data.Size()));
    data.SaveToStream(Stream());
}

// ---- TReader ----

void TReader::ReadProperties(TPersistent& instance) {
    TStream& s = Stream();
    for (;;) {
        std::uint8_t length = 0;
        s.ReadBuffer(&length, 1);
        if (length == 0) return;
        std::string name(length, '\0');
        s.ReadBuffer(name.data(), length);
        std::uint8_t type = 0;
        s.ReadBuffer(&type, 1);
        if (type != vaBinary)
            throw EReadError("Property \"" + name + "\" has an unknown value type " + std::to_string(type));
        const std::int32_t size = readInt32(s);
        // The data must lie within the stream before anything is allocated for it.
        if (size < 0 || size > s.bytesLeft())
            throw EReadError("Property \"" + name + "\" claims " + std::to_string(size) + " bytes, the stream holds " +
                             std::to_string(s.bytesLeft()));
        TMemoryStream data;
        data.SetSize(size);
        s.ReadBuffer(data.Memory(), size);
        m_name = name;
        m_data = &data;
        m_found = false;
        try {
            instance.DefineProperties(this);
        } catch (...) {
            m_data = nullptr;
            throw;
        }
        m_data = nullptr;
    }
}

void TReader::DefineBinaryProperty(const std::string& name, const TStreamProc& readData, const TStreamProc&,
                                   bool) {
    if (m_found || !m_data || name != m_name) return;
    m_found = true;
    if (!readData) return;
    m_data->SetPosition(0);
    readData(*m_data);
}

} // namespace host
