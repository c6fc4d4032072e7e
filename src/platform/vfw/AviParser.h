// Reads an AVI file's structure: walks the RIFF chunks, reads the headers of every stream and finds the
// data chunks of each stream through the best index the file has (or by scanning movi when it has none
// that holds up). Never trusts a size, count or offset before checking it against the file.
#pragma once

#include "platform/vfw/AviModel.h"
#include "platform/vfw/AviSource.h"

namespace win {

AviResult<AviFileModel> parseAvi(const AviSource& src);

// Fills the derived fields of a stream (key frames, sample size, length, rate) from its chunk list.
void aviFinishStream(AviStreamModel& stream, const MainAVIHeader& avih);

} // namespace win
