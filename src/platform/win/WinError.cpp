#include "platform/win/WinError.h"

namespace win {

const char* SystemMessageText(HRESULT code) {
    switch (code) {
    case E_FAIL:
        return "Unspecified error";
    case E_OUTOFMEMORY:
        return "Not enough memory resources are available to complete this operation.";
    default:
        return "";
    }
}

} // namespace win
