// The scan engine as the rest of the program sees it: the nine calls of the
// engine contract plus load and unload. Implementations apply the fault rule
// themselves, so callers only ever see ordinary answers:
//   format fault  -> a code of 10 or more (not probed)
//   probe fault   -> 0 (clean)
//   report fault  -> 1 (not repairable)
//   name fault    -> ""
//   close fault   -> nothing
//   recover fault -> RecoverFile returns false; the file's handling ends
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/ScannedFile.h"

// ENGINE_LOAD_FAILED: the library cannot be loaded; ENGINE_LOAD_ENGINE_ERROR:
// it loaded but cannot work (GetLoadError says why); ENGINE_LOAD_PENDING:
// still getting ready (a large signature database takes seconds).
enum { ENGINE_LOAD_OK = 0, ENGINE_LOAD_FAILED = 1, ENGINE_LOAD_ENGINE_ERROR = 2, ENGINE_LOAD_PENDING = 3 };

// Format codes at or above this value are not probed or repaired.
constexpr uint32_t FORMAT_LIMIT = 10;
// What a faulted format call answers.
constexpr uint32_t FORMAT_FAULT = 0xFFFF;

// Cleaning outcomes the program acts on; any other value changes nothing.
enum { REPAIR_CLEANED = 1, REPAIR_FAILED = 3, REPAIR_ENCRYPTED = 4 };

inline bool IsScannableFormat(uint32_t nFormat) {
    return (nFormat & 0xFFFFu) < FORMAT_LIMIT;
}

// Serves the caller while an engine call is in flight, so a window keeps
// painting and hears Stop. It must not call the engine.
class IEngineWait {
public:
    virtual ~IEngineWait() = default;
    // Called every few milliseconds until the answer comes; nCall tells one
    // call from the next. False gives the call up: the engine is ended as
    // for a hang and the call gets its fail-safe answer.
    virtual bool WhileWaiting(uint64_t nCall, int64_t nElapsedMs) = 0;
};

class IFarsendEngine {
public:
    virtual ~IFarsendEngine() = default;

    // Loads the library, resolves the nine names and turns the engine on.
    virtual int Load() = 0;
    // The same without waiting: PENDING until PollLoad, asked again, says
    // how it went. An engine that loads at once has nothing to wait for.
    virtual int BeginLoad() { return Load(); }
    virtual int PollLoad() { return IsLoaded() ? ENGINE_LOAD_OK : ENGINE_LOAD_FAILED; }
    // The engine's words after ENGINE_LOAD_ENGINE_ERROR.
    virtual std::string GetLoadError() const { return std::string(); }
    // Turns the engine off and releases it; nothing when not loaded.
    virtual void Unload() = 0;
    virtual bool IsLoaded() const = 0;

    virtual uint32_t GetFileFormat(const std::string& strPath) = 0;
    // pbFaulted, when given, tells a fault from a clean answer.
    virtual uint32_t ProbeInto(const std::string& strPath, bool* pbFaulted = nullptr) = 0;
    // False when the engine faulted inside the call.
    virtual bool RecoverFile(uint32_t hProbe, int16_t* pnOutcome) = 0;
    virtual int16_t GetVirusReport(uint32_t hProbe) = 0;
    virtual std::string GetVirusName(uint32_t hProbe) = 0;
    virtual std::string GetTorvaneVersion() = 0;
    virtual void CloseProbe(uint32_t hProbe) = 0;
    // How many faults the engine has had since it was loaded, the closes
    // made so far included. One fault ends a file's handling: a hang costs
    // the watchdog's time, and must not be paid again on the same file.
    virtual unsigned GetFaultCount() = 0;
    // The engine's own words on why a call failed (a daemon gone), once;
    // "" when it gave none.
    virtual std::string TakeFaultReason() { return std::string(); }
    // After a probe that answered clean: the limit that stopped the engine
    // part way through the file (its size, depth, encryption), once; "" when
    // it read the whole file.
    virtual std::string TakeScanNote() { return std::string(); }
    // After a probe that answered clean: the file the engine read, as its
    // descriptor said before the read, once; false when the engine cannot
    // tell (a clean verdict is then not remembered).
    virtual bool TakeScannedFile(SScannedFile* pFile) {
        (void)pFile;
        return false;
    }
    // How many of those faults only lost the call to another process's death
    // (the process this engine was copied from), the file not to blame.
    virtual unsigned GetLostCount() const { return 0; }
    // Ends the call in flight from another thread, as a hang would end.
    virtual void Abandon() {}
    // How many files a worker may hold for this engine, the one under way
    // included: more than one for an engine whose scans run elsewhere (a
    // daemon), told of the files ahead with PrepareFile.
    virtual size_t GetPipelineDepth() const { return 1; }
    // The format and probe of strPath follow soon, in the order told: the
    // engine may start on it now. No answer; a fault shows in the next call.
    virtual void PrepareFile(const std::string& strPath) { (void)strPath; }
    // Who is served while a call waits (not owned); none waits plainly.
    // An engine that answers in the caller's own thread never waits.
    virtual void SetWait(IEngineWait* pWait) { (void)pWait; }
};
