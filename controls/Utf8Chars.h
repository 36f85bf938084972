// Character steps through UTF-8 bytes. A byte that does not start a whole,
// well-formed sequence counts as one character, since it shows as one
// replacement mark (see app/DisplayText.h).
#pragma once

#include <cstddef>
#include <string>

inline size_t NextCharEnd(const std::string& str, size_t i) {
    const auto* p = reinterpret_cast<const unsigned char*>(str.data());
    const unsigned char c = p[i];
    const size_t nLen = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (nLen <= 1)
        return i + 1;
    if (i + nLen > str.size())
        return i + 1;
    char32_t cp = nLen == 2 ? (c & 0x1F) : nLen == 3 ? (c & 0x0F) : (c & 0x07);
    for (size_t k = 1; k < nLen; ++k) {
        if ((p[i + k] & 0xC0) != 0x80)
            return i + 1;
        cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are invalid too.
    static const char32_t arMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < arMin[nLen] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        return i + 1;
    return i + nLen;
}
