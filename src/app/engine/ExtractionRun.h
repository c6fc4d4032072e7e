// The extraction run: decodes every frame of the first video stream of an open AVI file and writes
// each as a BMP file (10000.BMP, 10001.BMP, ...), whole or as two line-doubled field images.
#pragma once

#include "app/engine/ExtractionInputs.h"

#include <string>

namespace kv {
class TKvCustomAVIFile;
}
namespace host {
class TBitmap;
}

namespace app {

// How a run ended. A run that stops on a failure says where and why; nothing is discarded.
struct ExtractionReport {
    bool completed = false;
    int frameCount = 0;   // the stream's length when the run ended
    int framesDone = 0;   // frames whose images were all written
    int filesWritten = 0; // BMP files complete on disk
    int failedFrame = -1; // the frame being worked on when the run failed
    std::string failedFile; // the file that could not be written, if the failure was a write
    std::string message;    // the failure's message
    std::string detail;     // the platform's account of the cause, when it gave one
    double seconds = 0;
};

// The name of image number `number` in folder: the folder, a separator, the number in plain
// decimal, ".BMP". The folder text is used as given (an empty folder gives "/10000.BMP").
std::string FrameFileName(const std::string& folder, int number);

// Field images of a 24-bit bitmap, made in place: every kept line is repeated once, downwards for
// the odd field (rows 0, 2, 4, ...), upwards for the even field (rows 1, 3, 5, ...).
void BuildOddField(host::TBitmap& bitmap);
void BuildEvenField(host::TBitmap& bitmap);

class ExtractionRun {
public:
    ExtractionRun(kv::TKvCustomAVIFile& file, IModeSource& mode, IOutputFolder& folder, IProgressDisplay& progress,
                  IFrameConversion& conversion);
    ExtractionReport Execute();

private:
    kv::TKvCustomAVIFile& m_file;
    IModeSource& m_mode;
    IOutputFolder& m_folder;
    IProgressDisplay& m_progress;
    IFrameConversion& m_conversion;
};

} // namespace app
