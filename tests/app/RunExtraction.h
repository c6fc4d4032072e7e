// Runs the extraction engine in-process on a file, as the command line does, for the tests.
#pragma once

#include "app/engine/DibFrameConversion.h"
#include "app/engine/ExtractionRun.h"
#include "avi/KvAVI.h"

#include <filesystem>

namespace testsupport {

class NoProgress : public app::IProgressDisplay {
public:
    void SetMaxValue(int) override {}
    void SetProgress(int) override {}
    void SetVisible(bool) override {}
};

// Extracts file into a fresh folder out with the given mode.
inline app::ExtractionReport extractFile(const std::filesystem::path& file, const std::filesystem::path& out,
                                         int mode = app::emFrames) {
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    kv::TKvAVIFile avi(nullptr);
    avi.SetFileName(file.string());
    avi.OpenFile();
    app::FixedMode m(mode);
    app::FixedFolder folder(out.string());
    NoProgress progress;
    app::DibFrameConversion conversion;
    return app::ExtractionRun(avi, m, folder, progress, conversion).Execute();
}

} // namespace testsupport
