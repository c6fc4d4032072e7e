// The decoder for compressed video: libavcodec, chosen by the format's biCompression through
// libavformat's RIFF tag table, converted into the output DIB by libswscale.
#pragma once

#include "platform/vfw/FrameDecoder.h"

#include <memory>
#include <string>

namespace win::vfw {

// The libavcodec codec id for a biCompression value (case-insensitive FOURCC match), or 0 when
// libavformat knows none.
int avCodecForCompression(DWORD compression);

// Routes libavcodec's log through our handler (quiet unless QUILLAN_AV_LOG=1); done once.
void installAvLog();

// A decoder for a compressed source, or nullptr with error naming the cause.
std::unique_ptr<FrameDecoder> makeAvDecoder(const SourceFormat& source, SampleReader& reader, OutputDib& out,
                                            std::string& error);

} // namespace win::vfw
