// The compressor's options dialog: the platform's dialog over the owner window, one page per stream.
#include "avi/KvAVI.h"

#include "platform/ui/WindowHandle.h"

namespace kv {

win::HWND TKvAVICompressor::ownerWindow() const {
    if (m_ownerHandle) return m_ownerHandle;
    return host::WindowHandleOf(Owner());
}

bool TKvAVICompressor::ChooseOptions() {
    std::vector<win::PAVISTREAM> streams;
    for (int i = 0; i < GetStreamCount(); ++i)
        streams.push_back(GetStreams(i)->GetPStream());
    std::vector<win::AVICOMPRESSOPTIONS*> records =
        m_options ? *m_options : std::vector<win::AVICOMPRESSOPTIONS*>{};
    win::UINT flags = 0;
    if (m_chooseDataRate) flags |= win::ICMF_CHOOSE_DATARATE;
    if (m_chooseKeyFrame) flags |= win::ICMF_CHOOSE_KEYFRAME;
    if (m_choosePreview) flags |= win::ICMF_CHOOSE_PREVIEW;
    return win::AVISaveOptions(ownerWindow(), flags, int(records.size()), streams.data(), records.data()) !=
           0;
}

} // namespace kv
