#include "controls/LinkLabelLogic.h"

#include <cctype>

namespace {

bool StartsWithNoCase(const std::string& str, const char* pszPrefix) {
    size_t i = 0;
    for (; pszPrefix[i]; ++i) {
        if (i >= str.size() ||
            std::tolower(static_cast<unsigned char>(str[i])) != static_cast<unsigned char>(pszPrefix[i]))
            return false;
    }
    return true;
}

std::string Trim(const std::string& str) {
    size_t nBegin = str.find_first_not_of(" \t\r\n");
    if (nBegin == std::string::npos)
        return std::string();
    size_t nEnd = str.find_last_not_of(" \t\r\n");
    return str.substr(nBegin, nEnd - nBegin + 1);
}

}  // namespace

CLinkTarget ResolveLinkTarget(const std::string& strText) {
    CLinkTarget target;
    std::string str = Trim(strText);
    if (str.empty() || str.find_first_of(" \t\r\n") != std::string::npos) {
        // An address has no blanks; a path may, but only an absolute one opens.
        if (!str.empty() && str[0] == '/') {
            target.eOpen = LINK_OPEN_DOCUMENT;
            target.strTarget = str;
        }
        return target;
    }
    static const char* const arSchemes[] = {"http://", "https://", "ftp://", "mailto:"};
    for (const char* pszScheme : arSchemes) {
        if (StartsWithNoCase(str, pszScheme) && str.size() > std::char_traits<char>::length(pszScheme)) {
            target.eOpen = LINK_OPEN_BROWSER;
            target.strTarget = str;
            return target;
        }
    }
    if (StartsWithNoCase(str, "www.") && str.size() > 4) {
        target.eOpen = LINK_OPEN_BROWSER;
        target.strTarget = "http://" + str;
        return target;
    }
    if (str[0] == '/') {
        target.eOpen = LINK_OPEN_DOCUMENT;
        target.strTarget = str;
    }
    return target;
}
