// The file a save writes: a new file under a temporary name in the target's folder, renamed over the
// target only when everything was written, so that a failed or aborted save never leaves a partial file
// under the target's name and never touches a file that was there before.
#pragma once

#include "platform/win/WinError.h"

#include <string>

namespace win {

class AviSaveTarget {
  public:
    AviSaveTarget() = default;
    AviSaveTarget(const AviSaveTarget&) = delete;
    AviSaveTarget& operator=(const AviSaveTarget&) = delete;
    // Removes the temporary file unless it was committed.
    ~AviSaveTarget();

    // Makes an empty temporary file next to target (a symbolic link is followed to the file it names).
    HRESULT create(const std::string& target);
    // The temporary file's path, to be written.
    const std::string& path() const { return m_temp; }
    // Flushes the written file to disk, gives it the permissions of the file it replaces (or of a new
    // file), and renames it over the target.
    HRESULT commit();

  private:
    std::string m_target, m_temp;
    bool m_committed = false;
};

} // namespace win
