// quillet-pot: writes the translation template from the string table, so the
// catalogs' msgids are the texts the program looks up, and fails when a
// compiled catalog holds a text the table no longer has (a translation that
// would never be shown). Run by the build; not installed.
//
//   quillet-pot OUT.pot [CATALOG.mo...]

#include <stdio.h>

#include <set>
#include <string>

#include "res/Strings.h"
#include "res/TextCatalog.h"

namespace {

// A text as a .po file writes it: quoted, one line of the file per line of
// the text.
std::string Quoted(const std::string& strText) {
    std::string str = strText.find('\n') != std::string::npos ? "\"\"\n\"" : "\"";
    for (size_t i = 0; i < strText.size(); ++i) {
        const char c = strText[i];
        if (c == '"' || c == '\\')
            str += std::string("\\") + c;
        else if (c == '\t')
            str += "\\t";
        else if (c == '\n')
            str += i + 1 < strText.size() ? "\\n\"\n\"" : "\\n";
        else
            str += c;
    }
    return str + "\"";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fputs("usage: quillet-pot OUT.pot [CATALOG.mo...]\n", stderr);
        return 64;
    }
    std::set<std::string> setSeen;
    std::string strPot =
        "msgid \"\"\n"
        "msgstr \"\"\n"
        "\"Project-Id-Version: quillet\\n\"\n"
        "\"MIME-Version: 1.0\\n\"\n"
        "\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
        "\"Content-Transfer-Encoding: 8bit\\n\"\n";
    for (int nId = 0; nId < QUILLET_TEXT_ID_END; ++nId) {
        const std::string strText = LoadSourceText(static_cast<EStringId>(nId));
        // One entry a text: ids that share a text share its translation.
        if (strText.empty() || !setSeen.insert(strText).second)
            continue;
        strPot += "\n#. id " + std::to_string(nId) + "\n";
        if (strText.find('%') != std::string::npos)
            strPot += "#, c-format\n";
        strPot += "msgid " + Quoted(strText) + "\nmsgstr \"\"\n";
    }
    FILE* pFile = fopen(argv[1], "w");
    if (!pFile || fputs(strPot.c_str(), pFile) < 0 || fclose(pFile) != 0) {
        perror(argv[1]);
        return 1;
    }
    int nStatus = 0;
    for (int i = 2; i < argc; ++i) {
        CTextCatalog catalog;
        if (!catalog.Load(argv[i])) {
            fprintf(stderr, "quillet-pot: %s: not a catalog\n", argv[i]);
            nStatus = 1;
            continue;
        }
        for (const auto& [strSource, strText] : catalog.GetEntries())
            if (!setSeen.count(strSource)) {
                fprintf(stderr, "quillet-pot: %s: no text of the table: %s\n", argv[i], Quoted(strSource).c_str());
                nStatus = 1;
            }
    }
    return nStatus;
}
