// The encoder of compressed streams over an installable compressor.
#include "platform/vfw/AviCompressedStream.h"

namespace win {

std::unique_ptr<AviFrameEncoder> aviMakeIcmEncoder(const BITMAPINFOHEADER* /*input*/,
                                                   const AVICOMPRESSOPTIONS& /*options*/, HRESULT& hr) {
    AVISetLastErrorDetail("no installable compressors");
    hr = AVIERR_NOCOMPRESSOR;
    return nullptr;
}

} // namespace win
