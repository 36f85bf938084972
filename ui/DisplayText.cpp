#include "ui/DisplayText.h"

#include "base/Utf8.h"

wxString ToDisplay(const std::string& strBytes) {
    // Decoded by hand: the toolkit's decoder lets surrogates through, and
    // rejects a whole string for one bad byte.
    std::u32string strOut;
    const auto* p = reinterpret_cast<const unsigned char*>(strBytes.data());
    for (size_t i = 0; i < strBytes.size();) {
        const CUtf8Char ch = DecodeUtf8(p + i, strBytes.size() - i);
        strOut += ch.bValid ? ch.cp : U'\uFFFD';
        i += ch.nLen;
    }
    wxString strResult;
    for (char32_t cp : strOut)
        strResult += wxUniChar(static_cast<wxUint32>(cp));
    return strResult;
}
