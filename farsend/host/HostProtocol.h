// Wire format between the engine binding and farsend-host: one SOCK_SEQPACKET
// message per request, one per reply. The fused format-and-probe request is
// answered by two replies, the probe's only when the format is scannable, so
// a fault is always pinned on the entry point that raised it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

#include "engine/ScannedFile.h"

namespace farsend {

enum EOp : uint8_t {
    OP_FORMAT = 1,
    OP_PROBE = 2,
    OP_RECOVER = 3,
    OP_REPORT = 4,
    OP_NAME = 5,
    OP_VERSION = 6,
    OP_CLOSE = 7,
    OP_FORMAT_PROBE = 8,  // format, then probe when the format is below 10
    OP_TURN_OFF = 9,
    OP_HELLO = 10,        // the host's first message: load status
    // Carries one descriptor (SCM_RIGHTS), a socket the host forks a copy
    // of itself to serve; the reply's value is the copy's pid, 0 when none.
    OP_FORK_WORKER = 11,
    // The path's format and probe are asked soon: an engine that pipelines
    // starts on it now. No reply; its fault is the next call's.
    OP_PREPARE = 12,
};

struct SRequest {
    uint8_t nOp;
    uint8_t arPad[3];
    uint32_t nArg;  // handle
    // followed by the path bytes, no terminator
};

struct SReply {
    uint8_t nOp;    // the request's op, or OP_HELLO
    uint8_t nFlags;  // REPLY_ENGINE_ERROR: the call failed; the text says why.
                     // HELLO: HELLO_FLAG_CAN_FORK
    uint8_t nDepth;  // HELLO: how many files ahead the engine would be told of
    uint8_t nPad;
    uint32_t nValue;
    // followed by text bytes (name, version; after a clean probe the
    // engine's note on why it read the file only part way), no terminator
};

constexpr int HOST_SOCKET_FD = 3;
constexpr size_t MAX_PATH_BYTES = 4096;
constexpr size_t MAX_TEXT_BYTES = 1024;
constexpr size_t MAX_MESSAGE = sizeof(SRequest) + MAX_PATH_BYTES;

// HELLO_ENGINE_ERROR carries the engine's own words on why it cannot work
// (no signature database, no daemon).
enum { HELLO_READY = 0, HELLO_LOAD_FAILED = 1, HELLO_ENGINE_ERROR = 2 };
enum { REPLY_ENGINE_ERROR = 1 };
// A clean probe's reply: SCANNED_VALUES values and the time it was asked
// (SScannedFile) come before the note, naming the file the engine read.
enum { REPLY_SCANNED_FILE = 4 };
constexpr size_t SCANNED_FILE_BYTES = sizeof(uint64_t) * (SCANNED_VALUES + 1);
// The engine may be copied: OP_FORK_WORKER gives workers sharing its memory.
enum { HELLO_FLAG_CAN_FORK = 2 };

inline int64_t MonotonicNs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Both sides spin briefly before blocking: the other side usually answers
// within microseconds, and waking a sleeping peer on another core costs far
// more than the whole request.
constexpr int64_t SPIN_NS = 200000;

// Spinning pays only while the other side answers within the spin. A wait
// that usually runs longer (a slow engine's probe) blocks at once instead,
// leaving the core to the engines; a wait blocked on still measures how
// long the answer took, so a wait that turns quick spins again.
class CSpinGauge {
public:
    bool ShouldSpin() const { return m_nAvgNs < SPIN_NS; }
    void Record(int64_t nNs) {
        if (nNs > 4 * SPIN_NS)
            nNs = 4 * SPIN_NS;
        m_nAvgNs += (nNs - m_nAvgNs) / 8;
    }

private:
    int64_t m_nAvgNs = 0;
};

}  // namespace farsend
