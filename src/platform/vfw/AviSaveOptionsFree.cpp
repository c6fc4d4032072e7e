// Freeing the blocks of compression option records.
#include "platform/vfw/AviSave.h"

#include "platform/win/GlobalMemory.h"

namespace win {

HRESULT AVISaveOptionsFree(int streams, LPAVICOMPRESSOPTIONS* options) {
    if (!options) return AVIERR_OK;
    for (int i = 0; i < streams; ++i) {
        AVICOMPRESSOPTIONS* o = options[i];
        if (!o) continue;
        if (o->lpFormat) GlobalFreePtr(o->lpFormat);
        if (o->lpParms) GlobalFreePtr(o->lpParms);
        o->lpFormat = nullptr;
        o->lpParms = nullptr;
        o->cbFormat = 0;
        o->cbParms = 0;
    }
    return AVIERR_OK;
}

} // namespace win
