#include "app/engine/ExtractionRun.h"

#include "app/engine/BmpWriteQueue.h"
#include "avi/KvAVI.h"
#include "platform/ui/Graphics.h"

#include <chrono>
#include <cstring>
#include <memory>

namespace app {

std::string FrameFileName(const std::string& folder, int number) {
    return folder + "/" + std::to_string(number) + ".BMP";
}

namespace {

// Copies row `from` over row `to`: Width pixels of 3 bytes; the row padding is left alone.
void copyRow(host::TBitmap& bitmap, int from, int to) {
    const std::uint8_t* src = static_cast<const host::TBitmap&>(bitmap).ScanLine(from);
    std::memcpy(bitmap.ScanLine(to), src, std::size_t(bitmap.GetWidth()) * 3);
}

// Everything one frame needs while the run goes on: the bitmaps, the worker and the writer.
// Freed in the order frame bitmap, worker, even field bitmap, odd field bitmap; the writer goes last,
// after it has finished the images it holds.
struct RunState {
    std::unique_ptr<host::TBitmap> frameBitmap = std::make_unique<host::TBitmap>();
    std::unique_ptr<kv::TKvAVIVideoWorker> worker;
    std::unique_ptr<host::TBitmap> evenBitmap = std::make_unique<host::TBitmap>();
    std::unique_ptr<host::TBitmap> oddBitmap = std::make_unique<host::TBitmap>();
    BmpWriteQueue writer;

    host::TBitmap& frame() { return *frameBitmap; }
    host::TBitmap& even() { return *evenBitmap; }
    host::TBitmap& odd() { return *oddBitmap; }

    ~RunState() {
        frameBitmap.reset();
        worker.reset();
        evenBitmap.reset();
        oddBitmap.reset();
    }
};

} // namespace

void BuildOddField(host::TBitmap& bitmap) {
    for (int y = 1; y < bitmap.GetHeight(); y += 2) copyRow(bitmap, y - 1, y);
}

void BuildEvenField(host::TBitmap& bitmap) {
    for (int y = 1; y < bitmap.GetHeight(); y += 2) copyRow(bitmap, y, y - 1);
}

ExtractionRun::ExtractionRun(kv::TKvCustomAVIFile& file, IModeSource& mode, IOutputFolder& folder,
                             IProgressDisplay& progress, IFrameConversion& conversion)
    : m_file(file), m_mode(mode), m_folder(folder), m_progress(progress), m_conversion(conversion) {}

namespace {

class FrameStep {
public:
    FrameStep(RunState& state, IFrameConversion& conversion, IOutputFolder& folder)
        : m_state(state), m_conversion(conversion), m_folder(folder) {}

    // Decodes frame i, converts it and queues its image or images for writing.
    void operator()(int i, int mode) {
        win::BITMAPINFOHEADER* dib = m_state.worker->GetDIB(i);
        m_conversion.btnExtractClick(dib);
        if (!m_conversion.FrameBitmap()) throw host::Exception("Failed to convert the frame into a bitmap");
        m_state.frame().SetHandle(m_conversion.FrameBitmap());
        m_state.frame().SetPalette(m_conversion.FramePalette());
        switch (mode) {
        case emFrames:
            save(m_state.frame(), i + 10000, i, true);
            break;
        case emOddFirst:
        case emEvenFirst: {
            m_state.frame().SetPixelFormat(host::TPixelFormat::pf24bit);
            m_state.odd().Assign(&m_state.frame());
            m_state.even().Assign(&m_state.frame());
            const int oddNumber = 2 * i + (mode == emOddFirst ? 10000 : 10001);
            const int evenNumber = 2 * i + (mode == emOddFirst ? 10001 : 10000);
            BuildOddField(m_state.odd());
            save(m_state.odd(), oddNumber, i, false);
            BuildEvenField(m_state.even());
            save(m_state.even(), evenNumber, i, true);
            break;
        }
        default:
            break; // other modes write nothing
        }
    }

private:
    void save(const host::TBitmap& image, int number, int frame, bool last) {
        m_state.writer.Submit(image, FrameFileName(m_folder.Directory(), number), frame, last);
    }

    RunState& m_state;
    IFrameConversion& m_conversion;
    IOutputFolder& m_folder;
};

void recordException(ExtractionReport& report, int frame) {
    report.failedFrame = frame;
    try {
        throw;
    } catch (const kv::EKvAVIError& e) {
        report.message = e.Message();
        report.detail = e.Detail();
    } catch (const std::exception& e) {
        report.message = e.what();
    } catch (...) {
        report.message = "Unknown failure";
    }
}

} // namespace

ExtractionReport ExtractionRun::Execute() {
    const auto started = std::chrono::steady_clock::now();
    ExtractionReport report;
    auto finish = [&] {
        report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        return report;
    };

    kv::TKvAVIStream* stream = nullptr;
    try {
        stream = m_file.GetTypedStreams(kv::stVideo, 0);
    } catch (...) {
        recordException(report, -1);
        return finish();
    }
    if (!stream) {
        report.message = "The file has no video stream";
        return finish();
    }

    auto state = std::make_unique<RunState>();
    state->worker = std::make_unique<kv::TKvAVIVideoWorker>(m_file.GetTypedStreams(kv::stVideo, 0));
    FrameStep step(*state, m_conversion, m_folder);
    int i = 0;
    bool failed = false;
    try {
        state->worker->BeginReading(nullptr);
        m_progress.SetBusy(true);
        report.frameCount = stream->GetLength();
        m_progress.SetMaxValue(report.frameCount);
        m_progress.SetProgress(0);
        m_progress.SetVisible(true);
        for (i = 0; i < (report.frameCount = stream->GetLength()); ++i) {
            if (state->writer.FirstFailure()) break;
            step(i, m_mode.Mode());
            m_progress.SetProgress(i);
        }
        state->worker->EndReading();
    } catch (...) {
        recordException(report, i);
        failed = true;
    }
    state->writer.Drain();
    m_progress.SetVisible(false);
    m_progress.SetBusy(false);

    // A failed write is reported before a later decoding failure: it happened first.
    if (auto writeFailure = state->writer.FirstFailure()) {
        report.failedFrame = writeFailure->frame;
        report.failedFile = writeFailure->file;
        report.message = writeFailure->message;
        report.detail.clear();
        failed = true;
    }
    report.filesWritten = state->writer.FilesWritten();
    report.framesDone = state->writer.FramesCompleted();
    report.completed = !failed;
    state.reset(); // frees the frame bitmap, the worker, the even and the odd field bitmaps
    return finish();
}

} // namespace app
