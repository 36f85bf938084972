#include "controls/TextWrap.h"

#include "base/Utf8.h"

namespace {

// Bytes of the longest whole-character prefix of str that fits, at least
// one character so every line makes progress; a break just after a '/' is
// preferred when one falls in that prefix.
size_t FitPrefix(const std::string& str, int nMaxWidth, const TextMeasureFn& fnMeasure) {
    std::vector<size_t> arEnds;
    for (size_t i = 0; i < str.size();) {
        i = NextCharEnd(str, i);
        arEnds.push_back(i);
    }
    // Width grows with length: binary search for the last end that fits.
    size_t nLo = 0;
    size_t nHi = arEnds.size();
    while (nLo + 1 < nHi) {
        size_t nMid = (nLo + nHi) / 2;
        if (fnMeasure(str.substr(0, arEnds[nMid])) <= nMaxWidth)
            nLo = nMid;
        else
            nHi = nMid;
    }
    size_t nEnd = arEnds[nLo];
    size_t nSlash = str.rfind('/', nEnd - 1);
    if (nSlash != std::string::npos && nSlash + 1 < nEnd && nSlash > 0)
        return nSlash + 1;
    return nEnd;
}

void WrapParagraph(const std::string& strPara, int nMaxWidth, const TextMeasureFn& fnMeasure,
                   std::vector<std::string>& arLines) {
    std::string strLine;
    size_t i = 0;
    while (i < strPara.size()) {
        size_t nWordEnd = strPara.find(' ', i);
        if (nWordEnd == std::string::npos)
            nWordEnd = strPara.size();
        std::string strWord = strPara.substr(i, nWordEnd - i);
        std::string strTry = strLine.empty() ? strWord : strLine + " " + strWord;
        if (fnMeasure(strTry) <= nMaxWidth) {
            strLine = strTry;
        } else {
            if (!strLine.empty()) {
                arLines.push_back(strLine);
                strLine.clear();
            }
            // What is left after the last cut starts the next line, even a
            // single character wider than the box.
            while (!strWord.empty() && NextCharEnd(strWord, 0) < strWord.size() &&
                   fnMeasure(strWord) > nMaxWidth) {
                size_t nCut = FitPrefix(strWord, nMaxWidth, fnMeasure);
                arLines.push_back(strWord.substr(0, nCut));
                strWord.erase(0, nCut);
            }
            strLine = strWord;
        }
        i = nWordEnd < strPara.size() ? nWordEnd + 1 : nWordEnd;
    }
    arLines.push_back(strLine);
}

}  // namespace

std::vector<std::string> WrapText(const std::string& strText, int nMaxWidth, const TextMeasureFn& fnMeasure) {
    std::vector<std::string> arLines;
    size_t nStart = 0;
    while (true) {
        size_t nBreak = strText.find('\n', nStart);
        std::string strPara = strText.substr(nStart, nBreak == std::string::npos ? std::string::npos : nBreak - nStart);
        if (!strPara.empty() && strPara.back() == '\r')
            strPara.pop_back();
        WrapParagraph(strPara, nMaxWidth, fnMeasure, arLines);
        if (nBreak == std::string::npos)
            break;
        nStart = nBreak + 1;
    }
    return arLines;
}
