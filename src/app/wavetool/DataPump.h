// The loop every writing command runs: the input's sample data read in large pieces (never the whole
// file at once), each piece handed to the command's conversion and written, with progress on a terminal
// and Ctrl-C stopping between pieces. The output is renamed to OUT only when everything went well.
#pragma once

#include "app/wavetool/WaveOutput.h"

#include <cstdint>
#include <functional>
#include <string>

namespace wavetool {

// The default size of the pieces read at a time.
constexpr std::int32_t kDefaultBufferBytes = 1 << 20;

// A failure inside a piece's conversion: whose fault it is and the cause.
struct PieceFailure {
    bool inInput = false; // the input's data is at fault (else the output could not be written)
    std::string cause;
};

struct PumpJob {
    std::string inPath, outPath;
    kv::PWAVEIOCB input = nullptr;                 // scanned, closed
    WaveOutput* output = nullptr;                  // open
    std::int32_t pieceBytes = kDefaultBufferBytes; // a multiple of what the conversion needs whole
    bool quiet = false;
    // Converts and writes one piece (`offset` is its place in the data); false with `failure` filled.
    std::function<bool(const std::uint8_t* data, std::int32_t bytes, std::uint32_t offset,
                       PieceFailure& failure)>
        piece;
};

// Runs the job; returns the exit status, having printed the message of any failure. Stops with
// kExitInterrupted when an InterruptGuard (installed by the caller) saw Ctrl-C.
int pumpData(PumpJob& job);

} // namespace wavetool
