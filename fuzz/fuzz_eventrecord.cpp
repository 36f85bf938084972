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

// Where characters end, by a forward walk: a well-formed sequence (the
// byte ranges of the Unicode standard's table of well-formed UTF-8, so no
// overlong form, surrogate or value past U+10FFFF) is one character, any
// other byte one of its own.
size_t WellFormedLength(const std::string& strText, size_t i) {
    auto At = [&](size_t k) { return i + k < strText.size() ? static_cast<unsigned char>(strText[i + k]) : 0x100u; };
    const unsigned ch = At(0);
    auto In = [](unsigned c, unsigned lo, unsigned hi) { return c >= lo && c <= hi; };
    if (In(ch, 0xC2, 0xDF))
        return In(At(1), 0x80, 0xBF) ? 2 : 1;
    unsigned lo = 0x80, hi = 0xBF;
    size_t nLen = 0;
    if (ch == 0xE0) {
        lo = 0xA0, nLen = 3;
    } else if (ch == 0xED) {
        hi = 0x9F, nLen = 3;
    } else if (In(ch, 0xE1, 0xEF)) {
        nLen = 3;
    } else if (ch == 0xF0) {
        lo = 0x90, nLen = 4;
    } else if (ch == 0xF4) {
        hi = 0x8F, nLen = 4;
    } else if (In(ch, 0xF1, 0xF3)) {
        nLen = 4;
    } else {
        return 1;
    }
    if (!In(At(1), lo, hi))
        return 1;
    for (size_t k = 2; k < nLen; ++k)
        if (!In(At(k), 0x80, 0xBF))
            return 1;
    return nLen;
}

bool IsBoundary(const std::string& strText, size_t nPos) {
    size_t i = 0;
    while (i < nPos)
        i += WellFormedLength(strText, i);
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
