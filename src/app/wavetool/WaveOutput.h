// A wave file being written: created under a temporary name beside OUT through the wave-file unit,
// carrying the INFO and DISP metadata of a source, and given OUT's name only when it is complete.
#pragma once

#include "app/toolsupport/OutputFile.h"
#include "app/wavetool/WaveInput.h"

#include <cstdint>
#include <string>

namespace wavetool {

class WaveOutput {
  public:
    explicit WaveOutput(const std::string& path) : m_file(path) {}

    // Starts the file with `format`, copying the metadata of `metadataFrom` when given.
    bool open(const kv::TWaveFormatEx* format, kv::PWAVEIOCB metadataFrom, std::string& error);
    bool write(const void* data, std::int32_t bytes, std::string& error);
    // Finishes the file (sizes, fact, metadata) and renames it to OUT.
    bool finish(std::string& error);
    kv::PWAVEIOCB block() { return m_block.get(); }

  private:
    toolsupport::OutputFile m_file;
    WaveBlock m_block;
};

} // namespace wavetool
