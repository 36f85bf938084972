// The scan engine's C calling contract: nine entry points, resolved by name in
// this order. Shared by the engine host and by every engine library we build.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Format code: the low 16 bits, unsigned, must be below 10 for the file to be
// probed or repaired.
typedef uint32_t (*PFN_dlGetFileFormat_Farsend)(const char* pszPath);
// Engine handle, 0 when the file is clean.
typedef uint32_t (*PFN_dlProbeInto_Farsend)(const char* pszPath);
// 1 cleaned, 3 cleaning failed, 4 file encrypted, anything else: nothing changed.
typedef int16_t (*PFN_dlRecoverFile_Farsend)(uint32_t hProbe);
// Result state index 0 to 12; the same answer for every ask on one handle.
typedef int16_t (*PFN_dlGetVirusReport_Farsend)(uint32_t hProbe);
typedef const char* (*PFN_dlGetVirusName_Farsend)(uint32_t hProbe);
typedef const char* (*PFN_dlGetTorvaneVersion_Farsend)(void);
typedef void (*PFN_dlCloseProbe_Farsend)(uint32_t hProbe);
typedef void (*PFN_dlTurnOnTorvane_Farsend)(void);
typedef void (*PFN_dlTurnOffTorvane_Farsend)(void);
// Optional, asked right after turn-on: NULL or "" when the engine is ready,
// else one line for the user saying why it cannot work.
typedef const char* (*PFN_dlGetTurnOnError_Farsend)(void);
// Optional, asked right after turn-on: nonzero when the turned-on engine may
// be copied with fork() and each copy used on its own, one call at a time
// (one engine's memory serves several workers).
typedef int (*PFN_dlCanFork_Farsend)(void);
// Optional, asked right after a probe that found nothing: NULL or "" when the
// engine read the whole file, else the name of the limit that stopped it part
// way (a size, a depth, "encrypted"), so the file is not taken for clean.
typedef const char* (*PFN_dlGetScanNote_Farsend)(void);
// Optional, asked right after a probe that found nothing: 1 with parFile
// filled when the engine knows which file it read, as fstat() and fstatfs()
// gave them on the very descriptor it read, before reading: device, inode,
// size, modification and change times (ns), the file system's type; else 0.
// A clean verdict is remembered only for that file as it was then.
typedef int (*PFN_dlGetScannedFile_Farsend)(uint64_t* parFile);
// Optional, a pair, asked right after turn-on: how many files ahead an
// engine whose scans run elsewhere (a daemon) would be told of, 0 or 1 for
// none; and the telling: the format and probe calls for pszPath follow
// soon, in the order told, and the engine may start its work now. Telling
// has no answer; the probe gives it.
typedef int (*PFN_dlGetPipelineDepth_Farsend)(void);
typedef void (*PFN_dlPrepareProbe_Farsend)(const char* pszPath);

#ifdef __cplusplus
}
#endif

// Load order of the entry points; a library lacking any of them is not loaded.
#define FARSEND_ENTRY_NAMES                                                     \
    "dlGetFileFormat_Farsend", "dlProbeInto_Farsend", "dlRecoverFile_Farsend",  \
        "dlGetVirusReport_Farsend", "dlGetVirusName_Farsend",                   \
        "dlGetTorvaneVersion_Farsend", "dlCloseProbe_Farsend",                  \
        "dlTurnOnTorvane_Farsend", "dlTurnOffTorvane_Farsend"

// The optional entry points, resolved only when present.
#define FARSEND_TURN_ON_ERROR_NAME "dlGetTurnOnError_Farsend"
#define FARSEND_CAN_FORK_NAME "dlCanFork_Farsend"
#define FARSEND_SCAN_NOTE_NAME "dlGetScanNote_Farsend"
#define FARSEND_SCANNED_FILE_NAME "dlGetScannedFile_Farsend"
#define FARSEND_PIPELINE_DEPTH_NAME "dlGetPipelineDepth_Farsend"
#define FARSEND_PREPARE_PROBE_NAME "dlPrepareProbe_Farsend"

#define FARSEND_LIBRARY_NAME "libfarsend.so"
