// The registry file store on temporary folders.

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "fakes/TempDir.h"
#include "platform/BackupStore.h"
#include "platform/XdgRegistry.h"

namespace {

const char* const g_szKey = "Software\\Kestrum\\Pelmora\\Client\\EventLog";

class XdgRegistryTest : public ::testing::Test {
protected:
    CTempDir m_dir;
    std::string m_strUser = m_dir / "home/.config";
    std::string m_strMachine = m_dir / "etc-xdg";
    CXdgRegistry m_registry{m_strUser, m_strMachine};
    std::string m_strLogDir = m_strUser + "/Kestrum/Pelmora/Client/EventLog";

    static std::vector<std::string> Names(const std::string& strFolder) {
        std::vector<std::string> ar;
        if (DIR* pDir = opendir(strFolder.c_str())) {
            while (dirent* p = readdir(pDir))
                if (strcmp(p->d_name, ".") && strcmp(p->d_name, ".."))
                    ar.push_back(p->d_name);
            closedir(pDir);
        }
        std::sort(ar.begin(), ar.end());
        return ar;
    }
    static mode_t Mode(const std::string& strPath) {
        struct stat st;
        return lstat(strPath.c_str(), &st) == 0 ? st.st_mode : 0;
    }
};

TEST_F(XdgRegistryTest, ValuesAreFilesBelowTheKeysFolders) {
    static const char szRecord[] = "\x01\x00\xEA\x07 binary\0bytes";
    const std::string strRecord(szRecord, sizeof szRecord - 1);
    ASSERT_TRUE(m_registry.SetValue(HIVE_CURRENT_USER, g_szKey, "0000000", strRecord));
    EXPECT_EQ(CTempDir::ReadFile(m_strLogDir + "/0000000"), strRecord);
    EXPECT_EQ(Names(m_strLogDir), std::vector<std::string>{"0000000"}) << "no temporary file is left";
    // The user's records are private, and so is every folder made for them.
    EXPECT_EQ(Mode(m_strLogDir + "/0000000") & 07777, 0600u);
    for (const char* pszSub : {"/home", "/home/.config", "/home/.config/Kestrum", "/home/.config/Kestrum/Pelmora",
                               "/home/.config/Kestrum/Pelmora/Client"})
        EXPECT_EQ(Mode(m_dir.Path() + pszSub) & 07777, 0700u) << pszSub;

    std::string strData;
    ASSERT_TRUE(m_registry.QueryValue(HIVE_CURRENT_USER, g_szKey, "0000000", 1000, &strData));
    EXPECT_EQ(strData, strRecord);
    ASSERT_TRUE(m_registry.QueryValue(HIVE_CURRENT_USER, g_szKey, "0000000", 4, &strData));
    EXPECT_EQ(strData, strRecord.substr(0, 4));

    EXPECT_FALSE(m_registry.QueryValue(HIVE_CURRENT_USER, g_szKey, "0000001", 1000, &strData));
    EXPECT_FALSE(m_registry.QueryValue(HIVE_LOCAL_MACHINE, g_szKey, "0000000", 1000, &strData));
    EXPECT_FALSE(m_registry.QueryValue(HIVE_CURRENT_USER, "Software\\Kestrum\\Nothing", "0000000", 1000, &strData));
}

TEST_F(XdgRegistryTest, MachineHiveReadsTheSystemConfigFolder) {
    ASSERT_EQ(mkdir(m_strMachine.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((m_strMachine + "/Kestrum").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((m_strMachine + "/Kestrum/Pelmora").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((m_strMachine + "/Kestrum/Pelmora/Info").c_str(), 0755), 0);
    ASSERT_TRUE(CTempDir::WriteFile(m_strMachine + "/Kestrum/Pelmora/Info/AGENT_WinClass", "com.kestrum.Agent"));
    std::string strData;
    ASSERT_TRUE(m_registry.QueryValue(HIVE_LOCAL_MACHINE, "Software\\Kestrum\\Pelmora\\Info", "AGENT_WinClass", 129,
                                      &strData));
    EXPECT_EQ(strData, "com.kestrum.Agent");

    // Something other than a file in a value's place is no value; a FIFO
    // must not hold the reader.
    ASSERT_EQ(mkfifo((m_strMachine + "/Kestrum/Pelmora/Info/Fifo").c_str(), 0644), 0);
    ASSERT_EQ(mkdir((m_strMachine + "/Kestrum/Pelmora/Info/Folder").c_str(), 0755), 0);
    auto tStart = std::chrono::steady_clock::now();
    EXPECT_FALSE(m_registry.QueryValue(HIVE_LOCAL_MACHINE, "Software\\Kestrum\\Pelmora\\Info", "Fifo", 10, &strData));
    EXPECT_LT(std::chrono::steady_clock::now() - tStart, std::chrono::seconds(1));
    EXPECT_FALSE(m_registry.QueryValue(HIVE_LOCAL_MACHINE, "Software\\Kestrum\\Pelmora\\Info", "Folder", 10, &strData));
}

TEST_F(XdgRegistryTest, ReplacingAValueIsAtomicAndNeverFollowsALink) {
    ASSERT_TRUE(m_registry.SetValue(HIVE_CURRENT_USER, g_szKey, "0000000", "old record"));
    // A reader that has the old value open keeps reading the old bytes:
    // the new value arrives whole under the name, never over the old file.
    int nFd = open((m_strLogDir + "/0000000").c_str(), O_RDONLY);
    ASSERT_GE(nFd, 0);
    ASSERT_TRUE(m_registry.SetValue(HIVE_CURRENT_USER, g_szKey, "0000000", "new"));
    char szBuf[32] = {};
    EXPECT_EQ(pread(nFd, szBuf, sizeof szBuf - 1, 0), 10);
    EXPECT_STREQ(szBuf, "old record");
    close(nFd);
    EXPECT_EQ(CTempDir::ReadFile(m_strLogDir + "/0000000"), "new");

    std::string strOutside = m_dir / "outside";
    ASSERT_TRUE(CTempDir::WriteFile(strOutside, "keep me"));
    ASSERT_EQ(symlink(strOutside.c_str(), (m_strLogDir + "/0000001").c_str()), 0);
    ASSERT_TRUE(m_registry.SetValue(HIVE_CURRENT_USER, g_szKey, "0000001", "record"));
    EXPECT_EQ(CTempDir::ReadFile(strOutside), "keep me");
    EXPECT_TRUE(S_ISREG(Mode(m_strLogDir + "/0000001")));
    EXPECT_EQ(CTempDir::ReadFile(m_strLogDir + "/0000001"), "record");
    EXPECT_EQ(Names(m_strLogDir), (std::vector<std::string>{"0000000", "0000001"}));
}

TEST_F(XdgRegistryTest, UnwritablePlacesFailQuietly) {
    // A file where a key's folder should be, and a folder in a value's place.
    ASSERT_EQ(mkdir((m_dir / "home").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(m_strUser.c_str(), 0700), 0);
    ASSERT_TRUE(CTempDir::WriteFile(m_strUser + "/Kestrum", "not a folder"));
    EXPECT_FALSE(m_registry.SetValue(HIVE_CURRENT_USER, g_szKey, "0000000", "record"));
    EXPECT_EQ(CTempDir::ReadFile(m_strUser + "/Kestrum"), "not a folder");

    CXdgRegistry other(m_dir / "other", m_strMachine);
    ASSERT_TRUE(other.SetValue(HIVE_CURRENT_USER, "Software\\K", "v", "1"));
    ASSERT_EQ(mkdir((m_dir / "other/K/dir").c_str(), 0700), 0);
    EXPECT_FALSE(other.SetValue(HIVE_CURRENT_USER, "Software\\K", "dir", "record"));
    EXPECT_EQ(Names(m_dir / "other/K"), (std::vector<std::string>{"dir", "v"}));

    // Permissions stop everyone but root.
    if (geteuid() != 0) {
        ASSERT_EQ(chmod((m_dir / "other/K").c_str(), 0500), 0);
        EXPECT_FALSE(other.SetValue(HIVE_CURRENT_USER, "Software\\K", "v", "2"));
        chmod((m_dir / "other/K").c_str(), 0700);
        EXPECT_EQ(CTempDir::ReadFile(m_dir / "other/K/v"), "1");
    }

    CXdgRegistry nowhere("", "relative/xdg");
    std::string strData;
    EXPECT_FALSE(nowhere.SetValue(HIVE_CURRENT_USER, g_szKey, "0000000", "record"));
    EXPECT_FALSE(nowhere.QueryValue(HIVE_LOCAL_MACHINE, g_szKey, "0000000", 10, &strData));
}

TEST_F(XdgRegistryTest, NamesThatWouldLeaveTheKeyAreRefused) {
    for (const std::string& strName : {std::string(), std::string("."), std::string(".."), std::string("../escape"),
                                       std::string("a/b"), std::string("a\0b", 3)})
        EXPECT_FALSE(m_registry.SetValue(HIVE_CURRENT_USER, g_szKey, strName, "x")) << strName;
    for (const char* pszKey : {"", "Software", "Software\\..\\x", "Software\\.", "Software\\\\x", "Software\\x\\",
                               "\\Software\\x", "Software\\a/b", "Software\\..", ".."})
        EXPECT_FALSE(m_registry.SetValue(HIVE_CURRENT_USER, pszKey, "v", "x")) << pszKey;
    EXPECT_EQ(Names(m_dir.Path()), std::vector<std::string>{}) << "nothing was made anywhere";

    // Only a leading "Software" is the config folder itself.
    std::vector<std::string> arParts;
    ASSERT_TRUE(CXdgRegistry::SplitKey("Kestrum\\Software", &arParts));
    EXPECT_EQ(arParts, (std::vector<std::string>{"Kestrum", "Software"}));
}

// Puts a variable back as it was when the test ends.
class CSavedEnv {
public:
    explicit CSavedEnv(const char* pszName) : m_pszName(pszName) {
        const char* psz = getenv(pszName);
        m_bSet = psz != nullptr;
        m_strValue = psz ? psz : "";
    }
    ~CSavedEnv() {
        if (m_bSet)
            setenv(m_pszName, m_strValue.c_str(), 1);
        else
            unsetenv(m_pszName);
    }

private:
    const char* m_pszName;
    bool m_bSet;
    std::string m_strValue;
};

TEST(XdgRegistryEnvTest, BasesFollowTheXdgVariables) {
    CSavedEnv arSaved[] = {CSavedEnv("HOME"), CSavedEnv("TMPDIR"), CSavedEnv("XDG_STATE_HOME"),
                           CSavedEnv("XDG_CONFIG_HOME"), CSavedEnv("XDG_CONFIG_DIRS")};
    setenv("HOME", "/home/ann", 1);
    // Relative entries are ignored, as the XDG rules ask.
    const std::pair<const char*, const char*> arUser[] = {
        {"/cfg/ann", "/cfg/ann"}, {"", "/home/ann/.config"}, {"relative/cfg", "/home/ann/.config"}};
    for (const auto& [pszValue, pszBase] : arUser) {
        setenv("XDG_CONFIG_HOME", pszValue, 1);
        EXPECT_EQ(CXdgRegistry::UserBaseFromEnv(), pszBase) << pszValue;
    }
    const std::pair<const char*, const char*> arMachine[] = {
        {"/etc/xdg/kestrum:/etc/xdg", "/etc/xdg/kestrum"}, {"relative::/opt/xdg", "/opt/xdg"}, {"", "/etc/xdg"}};
    for (const auto& [pszValue, pszBase] : arMachine) {
        setenv("XDG_CONFIG_DIRS", pszValue, 1);
        EXPECT_EQ(CXdgRegistry::MachineBaseFromEnv(), pszBase) << pszValue;
    }
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_CONFIG_DIRS");
    EXPECT_EQ(CXdgRegistry::UserBaseFromEnv(), "/home/ann/.config");
    EXPECT_EQ(CXdgRegistry::MachineBaseFromEnv(), "/etc/xdg");

    // Without HOME, or with "/" for it (package builders, services), the
    // password database names the home: nothing lands at the root.
    unsetenv("TMPDIR");
    unsetenv("XDG_STATE_HOME");
    const passwd* pUser = getpwuid(getuid());
    const std::string strHome = pUser && pUser->pw_dir ? pUser->pw_dir : "";
    if (strHome.size() < 2 || strHome[0] != '/')
        GTEST_SKIP() << "this user has no home in the password database";
    for (const char* pszHome : {static_cast<const char*>(nullptr), "/", "//"}) {
        if (pszHome)
            setenv("HOME", pszHome, 1);
        else
            unsetenv("HOME");
        EXPECT_EQ(CXdgRegistry::UserBaseFromEnv(), strHome + "/.config") << (pszHome ? pszHome : "unset");
        EXPECT_EQ(GetWorkDirPath(), strHome + "/.local/state/Palisar") << (pszHome ? pszHome : "unset");
    }
}

}  // namespace
