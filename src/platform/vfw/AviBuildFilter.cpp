// The file-type filter of the AVI open and save dialogs. Our AVIFile layer reads and writes AVI files
// only (wave files are read by the wave units, not through it), so both lists name AVI files.
#include "platform/vfw/AviSave.h"

#include <cstring>
#include <string_view>

namespace win {

HRESULT AVIBuildFilterA(LPSTR filter, LONG size, BOOL saving) {
    if (!filter || size <= 0) return AVIERR_BADPARAM;
    // Pairs of name and pattern, each ended by a NUL, the list by one more.
    static constexpr std::string_view kReading("All multimedia files (*.avi)\0*.avi\0"
                                               "AVI files (*.avi)\0*.avi\0\0",
                                               sizeof "All multimedia files (*.avi)\0*.avi\0"
                                                      "AVI files (*.avi)\0*.avi\0\0" -
                                                   1);
    static constexpr std::string_view kSaving("AVI files (*.avi)\0*.avi\0\0",
                                              sizeof "AVI files (*.avi)\0*.avi\0\0" - 1);
    const std::string_view list = saving ? kSaving : kReading;
    if (std::size_t(size) < list.size()) {
        // An empty list rather than a cut one that a caller would walk past its end.
        filter[0] = 0;
        if (size > 1) filter[1] = 0;
        return AVIERR_BUFFERTOOSMALL;
    }
    std::memcpy(filter, list.data(), list.size());
    return AVIERR_OK;
}

} // namespace win
