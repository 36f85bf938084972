#include "app/DisplayText.h"

wxString ToDisplay(const std::string& strBytes) {
    // Decoded by hand: the toolkit's decoder lets surrogates through, and
    // rejects a whole string for one bad byte.
    std::u32string strOut;
    const auto* p = reinterpret_cast<const unsigned char*>(strBytes.data());
    const size_t nSize = strBytes.size();
    for (size_t i = 0; i < nSize;) {
        unsigned char c = p[i];
        size_t nLen = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        char32_t cp = nLen == 1 ? c : nLen == 2 ? (c & 0x1F) : nLen == 3 ? (c & 0x0F) : (c & 0x07);
        bool bOk = nLen != 0 && i + nLen <= nSize;
        for (size_t k = 1; bOk && k < nLen; ++k) {
            bOk = (p[i + k] & 0xC0) == 0x80;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are invalid too.
        static const char32_t arMin[] = {0, 0, 0x80, 0x800, 0x10000};
        if (bOk && (cp < arMin[nLen] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF))
            bOk = false;
        if (!bOk) {
            strOut += U'\uFFFD';
            ++i;
            continue;
        }
        strOut += cp;
        i += nLen;
    }
    wxString strResult;
    for (char32_t cp : strOut)
        strResult += wxUniChar(static_cast<wxUint32>(cp));
    return strResult;
}
