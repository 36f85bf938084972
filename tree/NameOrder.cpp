#include "tree/NameOrder.h"

#include <cstring>

#include "base/Utf8.h"

namespace {

// One code point from [p, pEnd); an invalid byte comes back as a value past
// Unicode, so it sorts after every character and stays apart from U+FFFD.
char32_t NextCodePoint(const unsigned char*& p, const unsigned char* pEnd) {
    const CUtf8Char ch = DecodeUtf8(p, static_cast<size_t>(pEnd - p));
    p += ch.nLen;
    return ch.bValid ? ch.cp : 0x110000 + ch.cp;
}

// Lower case for the scripts folder names are mostly written in; anything
// else compares as itself.
char32_t FoldCase(char32_t c) {
    if (c < 0x80)
        return c >= 'A' && c <= 'Z' ? c + 32 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 32;
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A pairs upper and lower case, even/odd in most of
        // the block and odd/even in two runs.
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
            return (c & 1) ? c + 1 : c;
        if (c == 0x178)
            return 0xFF;
        if (c == 0x138 || c == 0x149 || c == 0x17F)
            return c;
        return (c & 1) ? c : c + 1;
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)
        return c + 32;
    if (c >= 0x410 && c <= 0x42F)
        return c + 32;
    if (c >= 0x400 && c <= 0x40F)
        return c + 80;
    return c;
}

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

int CompareNames(std::string_view strName1, std::string_view strName2) {
    const auto* p1 = reinterpret_cast<const unsigned char*>(strName1.data());
    const auto* p2 = reinterpret_cast<const unsigned char*>(strName2.data());
    const unsigned char* pEnd1 = p1 + strName1.size();
    const unsigned char* pEnd2 = p2 + strName2.size();
    int nZerosOrder = 0;  // first difference in leading zeros, the last word before bytes

    while (p1 < pEnd1 && p2 < pEnd2) {
        const bool bDigits = IsDigit(*p1) && IsDigit(*p2);
        if (!bDigits && *p1 < 0x80 && *p2 < 0x80) {
            // The common case, without decoding: plain ASCII.
            char32_t c1 = FoldCase(*p1++);
            char32_t c2 = FoldCase(*p2++);
            if (c1 != c2)
                return c1 < c2 ? -1 : 1;
            continue;
        }
        if (bDigits) {
            const unsigned char* pStart1 = p1;
            const unsigned char* pStart2 = p2;
            while (p1 < pEnd1 && *p1 == '0')
                ++p1;
            while (p2 < pEnd2 && *p2 == '0')
                ++p2;
            const unsigned char* pValue1 = p1;
            const unsigned char* pValue2 = p2;
            while (p1 < pEnd1 && IsDigit(*p1))
                ++p1;
            while (p2 < pEnd2 && IsDigit(*p2))
                ++p2;
            size_t nLen1 = static_cast<size_t>(p1 - pValue1);
            size_t nLen2 = static_cast<size_t>(p2 - pValue2);
            if (nLen1 != nLen2)
                return nLen1 < nLen2 ? -1 : 1;
            if (int n = memcmp(pValue1, pValue2, nLen1))
                return n < 0 ? -1 : 1;
            size_t nZeros1 = static_cast<size_t>(pValue1 - pStart1);
            size_t nZeros2 = static_cast<size_t>(pValue2 - pStart2);
            if (nZerosOrder == 0 && nZeros1 != nZeros2)
                nZerosOrder = nZeros1 < nZeros2 ? -1 : 1;
            continue;
        }
        char32_t c1 = FoldCase(NextCodePoint(p1, pEnd1));
        char32_t c2 = FoldCase(NextCodePoint(p2, pEnd2));
        if (c1 != c2)
            return c1 < c2 ? -1 : 1;
    }
    if (p1 < pEnd1 || p2 < pEnd2)
        return p1 < pEnd1 ? 1 : -1;
    if (nZerosOrder)
        return nZerosOrder;
    int n = strName1.compare(strName2);
    return n < 0 ? -1 : n > 0 ? 1 : 0;
}
