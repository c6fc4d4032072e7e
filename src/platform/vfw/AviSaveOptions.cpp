#include "platform/vfw/AviSaveOptions.h"

#include <mutex>
#include <utility>

namespace win {

namespace {

std::mutex g_mutex;
AviSaveOptionsFunction g_handler;
AviSaveOptionsFunction g_dialog;

} // namespace

AviSaveOptionsFunction SetSaveOptionsHandler(AviSaveOptionsFunction handler) {
    std::lock_guard lock(g_mutex);
    return std::exchange(g_handler, std::move(handler));
}

void SetSaveOptionsDialog(AviSaveOptionsFunction dialog) {
    std::lock_guard lock(g_mutex);
    g_dialog = std::move(dialog);
}

INT_PTR AVISaveOptions(HWND owner, UINT flags, int streams, PAVISTREAM* stream,
                       LPAVICOMPRESSOPTIONS* options) {
    AVISetLastErrorDetail({});
    if (streams <= 0 || !stream || !options) return FALSE;
    for (int i = 0; i < streams; ++i)
        if (!stream[i] || !options[i]) return FALSE;
    AviSaveOptionsFunction answer;
    {
        std::lock_guard lock(g_mutex);
        answer = g_handler ? g_handler : g_dialog;
    }
    if (!answer) {
        AVISetLastErrorDetail("no compression options dialog can be shown");
        return FALSE;
    }
    return answer(owner, flags, streams, stream, options);
}

} // namespace win
