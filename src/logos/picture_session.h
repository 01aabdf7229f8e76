#pragma once
// One picture transfer run from start to end on the user-interface thread, for
// programs without a window (the command-line tool, end-to-end tests): wait
// until the driver has found the device and read its registers, then run a
// sending or retrieving worker through the driver with the event loop turning.

#include "thread_frame.h"

#include <functional>
#include <string>

namespace varnel::logos {

/// Runs the event loop until the device is connected and its register dump has
/// gone quiet, or `timeoutMs` passes, or `stop` says so. True when found.
bool WaitForDevice(TVRK_610_d &driver, int timeoutMs, const std::function<bool()> &stop = {});

struct TransferJob {
    bool sending = true;
    std::uint8_t kindCode = 0;
    std::uint8_t slotIndex = 0;
    std::uint8_t frameCount = 1;  ///< filled in by a retrieval
    std::uint16_t frameDelay = 0; ///< filled in by a retrieval
};

/// What crossed the link during a transfer (records, replies and "6LM").
struct TransferStats {
    std::uint64_t bytesSent = 0;
    std::uint64_t bytesReceived = 0;
    std::uint64_t sends = 0;
    /// The application's own share of the time: from the arrival of text to the
    /// next send, summed over the sends that followed an arrival.
    std::uint64_t answerNs = 0;
    std::uint64_t answers = 0;
};

struct TransferWatch {
    std::function<void(double percent)> progress;  ///< called when the figure changes
    std::function<bool()> stop;                    ///< true: abort the transfer
    int stallMs = 30000;  ///< a retrieval without progress this long is aborted
    TransferStats *stats = nullptr;  ///< filled in when set
};

/// Runs one transfer of `picture` with a worker thread, the driver's calls
/// carried out on this (the user-interface) thread. Returns the result text
/// (empty on success); the driver is restored whatever happens.
std::string RunTransfer(TVRK_610_d &driver, WorkPicture &picture, TransferJob &job, const TransferWatch &watch = {});

}  // namespace varnel::logos
