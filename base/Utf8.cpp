#include "base/Utf8.h"

CUtf8Char DecodeUtf8(const unsigned char* p, size_t nAvail) {
    CUtf8Char ch;
    const unsigned char c = p[0];
    ch.cp = c;
    if (c < 0x80) {
        ch.bValid = true;
        return ch;
    }
    const size_t nLen = (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (nLen == 0 || nAvail < nLen)
        return ch;
    char32_t cp = nLen == 2 ? (c & 0x1F) : nLen == 3 ? (c & 0x0F) : (c & 0x07);
    for (size_t k = 1; k < nLen; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return ch;
        cp = (cp << 6) | (p[k] & 0x3F);
    }
    static const char32_t arMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < arMin[nLen] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        return ch;
    ch.cp = cp;
    ch.nLen = nLen;
    ch.bValid = true;
    return ch;
}

size_t NextCharEnd(const std::string& str, size_t i) {
    return i + DecodeUtf8(reinterpret_cast<const unsigned char*>(str.data()) + i, str.size() - i).nLen;
}

std::string CutUtf8(const std::string& str, size_t nMax) {
    if (str.size() <= nMax)
        return str;
    size_t nCut = 0;
    for (size_t nEnd = 0; (nEnd = NextCharEnd(str, nCut)) <= nMax;)
        nCut = nEnd;
    return str.substr(0, nCut);
}
