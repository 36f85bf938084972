// Drives that come while `quillet --watch-media` runs: which of them to
// offer for a scan, when, and what to do with each. The platform's loop
// hands in each look at the mount table and its clock; nothing here waits.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "scan/ScanInterfaces.h"

// A drive must stay mounted this long before it is offered: a device that
// comes and goes (a loose plug, a flapping share) is offered once it holds.
constexpr int64_t MEDIA_SETTLE_MS = 2000;

struct SMediaSettings {
    uint64_t nScanBelow = 0;      // scanned without asking when smaller; 0: always ask
    bool bSkipOnBattery = false;  // on battery a new drive is neither offered nor scanned
};

// "name = value" lines: scan-below = SIZE (bytes, or with K, M, G or T for
// powers of 1024; 0 or off: always ask), skip-on-battery = yes or no; '#'
// starts a comment. False names the first line not understood in *pnBadLine.
bool ParseMediaSettings(const std::string& strText, SMediaSettings* pSettings, int* pnBadLine);
// "4G" is 4 GiB; false for anything but digits and one optional unit.
bool ParseMediaSize(const std::string& strText, uint64_t* pnBytes);
// A size as people read it: "512 B", "3.7 GiB", "16 GiB".
std::string MediaSizeText(uint64_t nBytes);

enum EMediaStep {
    MEDIA_ASK,       // one notification with a "Scan" action
    MEDIA_SCAN_NOW,  // small enough: the scan starts without asking
    MEDIA_SKIP,      // on battery, and the user asked to skip then
};

// nSize 0: not known (a share that did not answer); such a drive is asked about.
EMediaStep DecideMediaStep(const SMediaSettings& settings, uint64_t nSize, bool bOnBattery);

// One power supply as the system lists it: its type ("Mains", "Battery",
// "USB", ...) and its online flag ("" when it has none).
struct SPowerSupply {
    std::string strType;
    std::string strOnline;
};
// On battery only when an AC adapter is listed and none is online; no
// adapter listed, or none that says, counts as on AC.
bool IsOnBattery(const std::vector<SPowerSupply>& arSupplies);

// The drive's name as the desktop shows it: its mount point's last part
// (desktops mount a medium under its label), "/" for the root.
std::string MediaDriveName(const std::string& strMountPath);
// The notification's summary, "Scan NAME (SIZE)?".
std::string MediaOfferText(const std::string& strMountPath, uint64_t nSize);

class CMediaWatch {
public:
    explicit CMediaWatch(int64_t nSettleMs = MEDIA_SETTLE_MS) : m_nSettleMs(nSettleMs) {}

    // The drives there at start are never offered.
    void Start(const std::vector<CMount>& arMounts);
    // One look at the whole mount table at nNowMs: the removable and
    // network drives that have now stayed mounted long enough, each once
    // for as long as that mount lasts.
    std::vector<CMount> Look(const std::vector<CMount>& arMounts, int64_t nNowMs);
    // How long until the next waiting drive is due; -1 when none waits.
    int64_t MsUntilDue(int64_t nNowMs) const;

private:
    // A mount, known by its place and the table's id for it: unmounted and
    // mounted again is another appearance.
    using CKey = std::pair<std::string, uint32_t>;
    static std::vector<CMount> Candidates(const std::vector<CMount>& arMounts);

    int64_t m_nSettleMs;
    std::map<CKey, int64_t> m_mapWaiting;  // first seen, in ms
    std::set<CKey> m_setDone;              // there at start, or offered
};
