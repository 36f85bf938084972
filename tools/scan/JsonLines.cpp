#include "JsonLines.h"

#include <stdio.h>

namespace {

// The length of the UTF-8 character at str[i], 0 when the bytes there are
// not one (overlong forms, surrogates and values past U+10FFFF included).
size_t Utf8Length(const std::string& str, size_t i) {
    const auto c = [&](size_t n) { return static_cast<unsigned char>(str[n]); };
    const unsigned char b = c(i);
    size_t nLen = 0;
    unsigned nValue = 0;
    if (b < 0x80)
        return 1;
    if (b >= 0xC2 && b <= 0xDF) {
        nLen = 2;
        nValue = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        nLen = 3;
        nValue = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        nLen = 4;
        nValue = b & 0x07;
    } else {
        return 0;
    }
    if (i + nLen > str.size())
        return 0;
    for (size_t k = 1; k < nLen; ++k) {
        if ((c(i + k) & 0xC0) != 0x80)
            return 0;
        nValue = nValue << 6 | (c(i + k) & 0x3F);
    }
    if ((nLen == 3 && (nValue < 0x800 || (nValue >= 0xD800 && nValue <= 0xDFFF))) ||
        (nLen == 4 && (nValue < 0x10000 || nValue > 0x10FFFF)))
        return 0;
    return nLen;
}

bool IsUtf8(const std::string& str) {
    for (size_t i = 0; i < str.size();) {
        const size_t n = Utf8Length(str, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

}  // namespace

std::string JsonString(const std::string& str) {
    std::string strOut = "\"";
    for (size_t i = 0; i < str.size();) {
        const unsigned char b = static_cast<unsigned char>(str[i]);
        const size_t n = Utf8Length(str, i);
        if (n == 0) {
            strOut += "\\ufffd";
            ++i;
            continue;
        }
        if (b == '"' || b == '\\') {
            strOut += '\\';
            strOut += static_cast<char>(b);
        } else if (b < 0x20 || b == 0x7F) {
            char sz[8];
            snprintf(sz, sizeof sz, "\\u%04x", b);
            strOut += sz;
        } else {
            strOut.append(str, i, n);
        }
        i += n;
    }
    return strOut + "\"";
}

std::string JsonBytesField(const char* pszName, const std::string& str) {
    std::string strOut = std::string("\"") + pszName + "\":" + JsonString(str);
    if (IsUtf8(str))
        return strOut;
    strOut += std::string(",\"") + pszName + "_hex\":\"";
    static const char s_szHex[] = "0123456789abcdef";
    for (unsigned char b : str) {
        strOut += s_szHex[b >> 4];
        strOut += s_szHex[b & 15];
    }
    return strOut + "\"";
}
