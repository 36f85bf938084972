// The event record writer on arbitrary texts: the record reads back field by
// field with every length right, never exceeds its ceiling, and each text is
// the longest prefix of its input within its limit that ends between two
// characters.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "scan/EventLog.h"

namespace {

// Where characters end, by a forward walk: a well-formed sequence is one
// character, any other byte one of its own.
bool IsBoundary(const std::string& strText, size_t nPos) {
    size_t i = 0;
    while (i < nPos) {
        unsigned char ch = static_cast<unsigned char>(strText[i]);
        size_t nLen = ch >= 0xC2 && ch <= 0xDF ? 2 : ch >= 0xE0 && ch <= 0xEF ? 3 : ch >= 0xF0 && ch <= 0xF4 ? 4 : 1;
        if (nLen > 1) {
            for (size_t j = 1; j < nLen; ++j) {
                if (i + j >= strText.size() || (static_cast<unsigned char>(strText[i + j]) & 0xC0) != 0x80) {
                    nLen = 1;
                    break;
                }
            }
        }
        i += nLen;
    }
    return i == nPos;
}

void CheckCut(const std::string& strIn, const std::string& strOut, size_t nMax) {
    if (strOut.size() > nMax || strIn.compare(0, strOut.size(), strOut) != 0)
        abort();
    if (strIn.size() <= nMax) {
        if (strOut != strIn)
            abort();
        return;
    }
    if (!IsBoundary(strIn, strOut.size()))
        abort();
    for (size_t n = strOut.size() + 1; n <= nMax; ++n)
        if (IsBoundary(strIn, n))
            abort();
}

class CReader {
public:
    explicit CReader(const std::string& str) : m_str(str) {}
    uint16_t U16() {
        if (m_str.size() - m_nPos < 2)
            abort();
        uint16_t n = static_cast<uint16_t>(static_cast<uint8_t>(m_str[m_nPos]) |
                                           (static_cast<uint8_t>(m_str[m_nPos + 1]) << 8));
        m_nPos += 2;
        return n;
    }
    std::string Text() {
        uint16_t nLen = U16();
        if (m_str.size() - m_nPos < nLen)
            abort();
        std::string s = m_str.substr(m_nPos, nLen);
        m_nPos += nLen;
        return s;
    }
    bool AtEnd() const { return m_nPos == m_str.size(); }

private:
    const std::string& m_str;
    size_t m_nPos = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    // Header: state and three length bytes; the rest is split into the
    // version, the virus name and the path.
    if (nSize < 4)
        return 0;
    int nState = static_cast<int8_t>(pData[0]);
    std::string strRest(reinterpret_cast<const char*>(pData + 4), nSize - 4);
    size_t nVersion = std::min<size_t>(pData[1] % 32, strRest.size());
    size_t nVirus = std::min<size_t>(pData[2] % 128, strRest.size() - nVersion);
    std::string strVersion = strRest.substr(0, nVersion);
    std::string strVirus = strRest.substr(nVersion, nVirus);
    std::string strPath = strRest.substr(nVersion + nVirus);
    CLocalTime t{1980 + pData[3], 1 + pData[3] % 12, 1 + pData[3] % 28, pData[3] % 24, pData[3] % 60, pData[3] % 61};

    std::string strRecord = BuildEventRecord(t, strVersion, nState, strVirus, strPath);
    if (strRecord.size() > EVENT_RECORD_MAX)
        abort();
    CReader reader(strRecord);
    if (reader.U16() != 1 || reader.U16() != t.nYear || reader.U16() != t.nMonth || reader.U16() != t.nDay ||
        reader.U16() != t.nHour || reader.U16() != t.nMinute || reader.U16() != t.nSecond)
        abort();
    CheckCut(strVersion, reader.Text(), EVENT_VERSION_MAX);
    if (reader.Text() != "Quillet.exe" || reader.U16() != 0)
        abort();
    uint16_t nWritten = reader.U16();
    if (nWritten != (nState >= 0 && nState <= 12 ? nState : 0))
        abort();
    if (reader.U16() != 1 || reader.U16() != 0)
        abort();
    CheckCut(strVirus, reader.Text(), EVENT_VIRUS_MAX);
    CheckCut(strPath, reader.Text(), EVENT_PATH_MAX);
    if (!reader.AtEnd())
        abort();
    return 0;
}
