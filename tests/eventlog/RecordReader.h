// Reads an event record back field by field, refusing any length that does
// not add up, so a test sees the layout rather than a byte dump.
#pragma once

#include <cstdint>
#include <string>

struct CReadRecord {
    uint16_t arHead[7];  // 1, year, month, day, hour, minute, second
    std::string strVersion;
    std::string strProgram;
    uint16_t arMiddle[4];  // 0, state, 1, 0
    std::string strVirus;
    std::string strPath;
    uint16_t State() const { return arMiddle[1]; }
};

inline bool ReadEventRecord(const std::string& strRecord, CReadRecord* pRecord) {
    size_t nPos = 0;
    auto fnU16 = [&](uint16_t* pn) {
        if (strRecord.size() - nPos < 2)
            return false;
        *pn = static_cast<uint16_t>(static_cast<uint8_t>(strRecord[nPos]) |
                                    (static_cast<uint8_t>(strRecord[nPos + 1]) << 8));
        nPos += 2;
        return true;
    };
    auto fnText = [&](std::string* pstr) {
        uint16_t nLen = 0;
        if (!fnU16(&nLen) || strRecord.size() - nPos < nLen)
            return false;
        *pstr = strRecord.substr(nPos, nLen);
        nPos += nLen;
        return true;
    };
    for (uint16_t& n : pRecord->arHead)
        if (!fnU16(&n))
            return false;
    if (!fnText(&pRecord->strVersion) || !fnText(&pRecord->strProgram))
        return false;
    for (uint16_t& n : pRecord->arMiddle)
        if (!fnU16(&n))
            return false;
    return fnText(&pRecord->strVirus) && fnText(&pRecord->strPath) && nPos == strRecord.size();
}
