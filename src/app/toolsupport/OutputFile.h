// An output file written under a temporary name in the same folder and renamed over the real name only
// when everything was written: a failure or an interruption leaves no partial file, and an existing file
// of that name is untouched until the rename replaces it at once. Writing to the file that is also the
// input is therefore safe: the input stays whole until the new file takes its name.
#pragma once

#include <string>

namespace toolsupport {

class OutputFile {
  public:
    explicit OutputFile(std::string target);
    ~OutputFile(); // removes the temporary file unless it was committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Reserves a new empty temporary file beside the target (with the target's permissions when it
    // exists, else the usual ones for a new file); false with the cause in `error`.
    bool create(std::string& error);
    // The temporary file's name, to be written by the caller.
    const std::string& temporaryPath() const { return m_temporary; }
    // The name that the file gets: the target, or what it links to when it is a symbolic link.
    const std::string& finalPath() const { return m_final; }
    // Renames the temporary file to the final name; false with the cause in `error`.
    bool commit(std::string& error);
    // Removes the temporary file now.
    void discard();

  private:
    std::string m_target;
    std::string m_final;
    std::string m_temporary;
    bool m_committed = false;
};

} // namespace toolsupport
