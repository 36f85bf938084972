// What quillet PATH... takes from a file manager and from the options file.

#include <gtest/gtest.h>

#include <glib.h>

#include <fstream>
#include <sstream>

#include "scan/CommandTargets.h"
#include "scan/SavedOptions.h"

namespace {

// The value of strKey in the file manager entry we install.
std::string EntryValue(const std::string& strFile, const std::string& strKey) {
    std::ifstream in(std::string(QUILLET_SOURCE_DIR) + "/res/filemanagers/" + strFile);
    std::string strLine;
    while (std::getline(in, strLine))
        if (strLine.compare(0, strKey.size() + 1, strKey + "=") == 0)
            return strLine.substr(strKey.size() + 1);
    return std::string();
}

// Nemo builds one command line from its action's Exec, each selected file's
// URI wrapped in the action's quotes, and splits it as a shell would.
TEST(LaunchTargets, EveryPathComesWholeThroughNemosCommandLine) {
    const std::string strPath = "/tmp/a b/it's \"q\" $HOME `x`\\\n\xff%41 %U";
    const std::string strExec = EntryValue("quillet-scan.nemo_action", "Exec");
    ASSERT_EQ(EntryValue("quillet-scan.nemo_action", "Quote"), "double");
    const size_t nToken = strExec.find("%U");
    ASSERT_NE(nToken, std::string::npos) << strExec;
    gchar* pszUri = g_filename_to_uri(strPath.c_str(), nullptr, nullptr);
    ASSERT_TRUE(pszUri);
    std::string strLine = strExec;
    strLine.replace(nToken, 2, std::string("\"") + pszUri + "\"");
    g_free(pszUri);
    int nArgs = 0;
    gchar** ppszArgs = nullptr;
    ASSERT_TRUE(g_shell_parse_argv(strLine.c_str(), &nArgs, &ppszArgs, nullptr)) << strLine;
    ASSERT_EQ(nArgs, 2);
    std::string strTarget;
    EXPECT_TRUE(CommandTargetPath(ppszArgs[1], "/elsewhere", &strTarget));
    g_strfreev(ppszArgs);
    EXPECT_EQ(strTarget, strPath);
    // Not a file here, or an escape that would change the levels.
    EXPECT_FALSE(CommandTargetPath("file://server/share/x", "/", &strTarget));
    EXPECT_FALSE(CommandTargetPath("file:///a%2Fb", "/", &strTarget));
    EXPECT_FALSE(CommandTargetPath("file:///a%0", "/", &strTarget));
    // A relative path stays a path.
    EXPECT_TRUE(CommandTargetPath("./file://x", "/here", &strTarget));
    EXPECT_EQ(strTarget, "/here/./file://x");
}

TEST(LaunchTargets, AGarbledOptionsFileGivesTheDefaults) {
    SCANREQUEST req;
    EXPECT_FALSE(ParseSavedOptions("all-files = yes\nrepair-automatically = maybe\n", &req));
    EXPECT_FALSE(ParseSavedOptions("all-files = yes\n\x7f\x45LF\x02\x01", &req));
    EXPECT_FALSE(req.bAllFiles);
    EXPECT_TRUE(req.bAutoRepair);
    EXPECT_TRUE(ParseSavedOptions(FormatSavedOptions(SCANREQUEST{.bSubfolders = false, .bAllFiles = true}), &req));
    EXPECT_FALSE(req.bSubfolders);
    EXPECT_TRUE(req.bAllFiles);
}

}  // namespace
