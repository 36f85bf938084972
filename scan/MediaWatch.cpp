#include "scan/MediaWatch.h"

#include <cstdio>
#include <sstream>

#include "base/TextParts.h"
#include "res/Strings.h"
#include "scan/Mounts.h"

bool ParseMediaSize(const std::string& strText, uint64_t* pnBytes) {
    uint64_t nValue = 0;
    size_t i = 0;
    for (; i < strText.size() && strText[i] >= '0' && strText[i] <= '9'; ++i) {
        const uint64_t nDigit = static_cast<uint64_t>(strText[i] - '0');
        if (nValue > (UINT64_MAX - nDigit) / 10)
            return false;
        nValue = nValue * 10 + nDigit;
    }
    if (i == 0 || i + 1 < strText.size())
        return false;
    int nShift = 0;
    if (i < strText.size()) {
        switch (strText[i]) {
        case 'K': case 'k': nShift = 10; break;
        case 'M': case 'm': nShift = 20; break;
        case 'G': case 'g': nShift = 30; break;
        case 'T': case 't': nShift = 40; break;
        default: return false;
        }
    }
    if (nShift != 0 && nValue > (UINT64_MAX >> nShift))
        return false;
    *pnBytes = nValue << nShift;
    return true;
}

bool ParseMediaSettings(const std::string& strText, SMediaSettings* pSettings, int* pnBadLine) {
    return ForEachSetting(
        strText,
        [&](const std::string& strName, const std::string& strValue) {
            uint64_t nBytes = 0;
            if (strName == "scan-below" && strValue == "off")
                pSettings->nScanBelow = 0;
            else if (strName == "scan-below" && ParseMediaSize(strValue, &nBytes))
                pSettings->nScanBelow = nBytes;
            else if (strName == "skip-on-battery" && (strValue == "yes" || strValue == "no"))
                pSettings->bSkipOnBattery = strValue == "yes";
            else
                return false;
            return true;
        },
        pnBadLine);
}

std::string MediaSizeText(uint64_t nBytes) {
    static const EStringId arUnits[] = {IDS_MEDIA_UNIT_B, IDS_MEDIA_UNIT_KIB, IDS_MEDIA_UNIT_MIB, IDS_MEDIA_UNIT_GIB,
                                        IDS_MEDIA_UNIT_TIB};
    char szText[64];
    if (nBytes < 1024) {
        snprintf(szText, sizeof szText, "%llu %s", static_cast<unsigned long long>(nBytes), LoadText(IDS_MEDIA_UNIT_B));
        return szText;
    }
    double dValue = static_cast<double>(nBytes);
    size_t nUnit = 0;
    while (dValue >= 1024 && nUnit + 1 < sizeof arUnits / sizeof arUnits[0]) {
        dValue /= 1024;
        ++nUnit;
    }
    snprintf(szText, sizeof szText, dValue < 10 ? "%.1f %s" : "%.0f %s", dValue, LoadText(arUnits[nUnit]));
    return szText;
}

EMediaStep DecideMediaStep(const SMediaSettings& settings, uint64_t nSize, bool bOnBattery) {
    if (settings.bSkipOnBattery && bOnBattery)
        return MEDIA_SKIP;
    if (settings.nScanBelow != 0 && nSize != 0 && nSize < settings.nScanBelow)
        return MEDIA_SCAN_NOW;
    return MEDIA_ASK;
}

bool IsOnBattery(const std::vector<SPowerSupply>& arSupplies) {
    bool bAdapter = false;
    for (const SPowerSupply& supply : arSupplies) {
        if (supply.strType != "Mains" || supply.strOnline.empty())
            continue;
        if (supply.strOnline[0] != '0')
            return false;
        bAdapter = true;
    }
    return bAdapter;
}

std::string MediaDriveName(const std::string& strMountPath) {
    const size_t nEnd = strMountPath.find_last_not_of('/');
    if (nEnd == std::string::npos)
        return "/";
    const size_t nSlash = strMountPath.rfind('/', nEnd);
    return strMountPath.substr(nSlash == std::string::npos ? 0 : nSlash + 1,
                               nSlash == std::string::npos ? nEnd + 1 : nEnd - nSlash);
}

std::string MediaOfferText(const std::string& strMountPath, uint64_t nSize) {
    const std::string strName = MediaDriveName(strMountPath);
    const std::string strSize = nSize == 0 ? LoadText(IDS_MEDIA_SIZE_UNKNOWN) : MediaSizeText(nSize);
    std::string strOut = LoadText(IDS_MEDIA_OFFER);
    // Filled by hand: a name may be longer than any buffer, and may hold '%'.
    const size_t nFirst = strOut.find("%s");
    strOut.replace(nFirst, 2, strName);
    strOut.replace(strOut.find("%s", nFirst + strName.size()), 2, strSize);
    return strOut;
}

std::vector<CMount> CMediaWatch::Candidates(const std::vector<CMount>& arMounts) {
    std::vector<CMount> arOut;
    for (CMount& drive : UserDrives(arMounts)) {
        // An automount point is no medium yet; what it mounts is offered.
        if ((drive.nType == DRIVE_TYPE_REMOVABLE || drive.nType == DRIVE_TYPE_REMOTE) && !drive.bAutomount)
            arOut.push_back(std::move(drive));
    }
    return arOut;
}

void CMediaWatch::Start(const std::vector<CMount>& arMounts) {
    m_mapWaiting.clear();
    m_setDone.clear();
    for (const CMount& drive : Candidates(arMounts))
        m_setDone.insert({drive.strPath, drive.nMountId});
}

std::vector<CMount> CMediaWatch::Look(const std::vector<CMount>& arMounts, int64_t nNowMs) {
    const std::vector<CMount> arDrives = Candidates(arMounts);
    std::set<CKey> setNow;
    for (const CMount& drive : arDrives)
        setNow.insert({drive.strPath, drive.nMountId});
    // A mount gone (or made anew) starts over; what is done is forgotten
    // with it, so its next appearance is offered again.
    for (auto it = m_mapWaiting.begin(); it != m_mapWaiting.end();)
        it = setNow.count(it->first) ? std::next(it) : m_mapWaiting.erase(it);
    for (auto it = m_setDone.begin(); it != m_setDone.end();)
        it = setNow.count(*it) ? std::next(it) : m_setDone.erase(it);

    std::vector<CMount> arDue;
    for (const CMount& drive : arDrives) {
        const CKey key{drive.strPath, drive.nMountId};
        if (m_setDone.count(key))
            continue;
        auto it = m_mapWaiting.emplace(key, nNowMs).first;
        if (nNowMs - it->second >= m_nSettleMs) {
            m_mapWaiting.erase(it);
            m_setDone.insert(key);
            arDue.push_back(drive);
        }
    }
    return arDue;
}

int64_t CMediaWatch::MsUntilDue(int64_t nNowMs) const {
    int64_t nNext = -1;
    for (const auto& waiting : m_mapWaiting) {
        const int64_t nLeft = waiting.second + m_nSettleMs - nNowMs;
        const int64_t nClamped = nLeft < 0 ? 0 : nLeft;
        if (nNext < 0 || nClamped < nNext)
            nNext = nClamped;
    }
    return nNext;
}
