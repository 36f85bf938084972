// quillet-bin end to end over a private work folder: the listing, restores
// by number, empty, usage errors; and --version of every program.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "fakes/RunProgram.h"
#include "fakes/TempDir.h"
#include "fakes/TestPaths.h"
#include "fakes/WriteNumbered.h"
#include "platform/BackupStore.h"
#include "platform/BackupStoreIo.h"
#include "repair/BackupBin.h"
#include "repair/BackupFormat.h"
#include "tools/samples/SampleWriter.h"

namespace {

bool Exists(const std::string& strPath) {
    struct stat st;
    return lstat(strPath.c_str(), &st) == 0;
}

// Every backup is dated 2001-09-09 01:46:40 UTC; the program runs nine
// hours east of it.
constexpr time_t BACKUP_TIME = 1000000000;
const char* const g_szLocalDate = "2001-09-09 10:46:40";

class QuilletBinTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_dir.Path().empty());
        ASSERT_EQ(mkdir(m_strWork.c_str(), 0700), 0);
        ASSERT_EQ(mkdir(m_strSource.c_str(), 0755), 0);
        ASSERT_TRUE(CTempDir::WriteFile(m_strWork + "/notes.txt", "not a backup"));
    }

    SRun Bin(const std::vector<std::string>& arArgs) {
        return RunProgram(BinDir() + "/quillet-bin", arArgs, m_dir, std::string(), {"TMPDIR=" + m_dir.Path(), "TZ=KST-9"});
    }
    // The file is written, backed up under nNumber and dated.
    void Backup(uint32_t nNumber, const std::string& strFolder, const std::string& strName,
                const std::string& strContent) {
        ASSERT_TRUE(CTempDir::WriteFile(strFolder + "/" + strName, strContent));
        ASSERT_TRUE(WriteNumbered(m_store, nNumber, strFolder, strName));
        SetTime(nNumber, strName);
    }
    void SetTime(uint32_t nNumber, const std::string& strName) {
        const struct timespec arTimes[2] = {{BACKUP_TIME, 0}, {BACKUP_TIME, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, BackupPath(nNumber, strName).c_str(), arTimes, AT_SYMLINK_NOFOLLOW), 0);
    }
    std::string BackupPath(uint32_t nNumber, const std::string& strName) const {
        return m_strWork + "/" + MakeBackupFileName(nNumber, strName);
    }
    static std::string Line(const std::string& strNum, const std::string& strPath) {
        return strNum + "\t" + strPath + "\t" + g_szLocalDate + "\tbackup\t\n";
    }

    CTempDir m_dir;
    std::string m_strWork = m_dir / "Palisar";
    std::string m_strSource = m_dir / "src";
    CBackupStore m_store{m_strWork};
};

TEST_F(QuilletBinTest, ListsOneLinePerBackupInTheBinsOrder) {
    Backup(1, m_strSource, "a.exe", "one");
    // Control bytes, DEL and the backslash are escaped; other bytes, not
    // even valid UTF-8, go out raw.
    Backup(2, m_strSource, "odd\nname\t\\\x01\x7f\xe9.doc", "two");
    Backup(10, m_strSource, "b.com", "ten");
    // A file from the root: its header holds the folder "".
    unsigned char arHeader[BACKUP_HEADER_SIZE];
    ASSERT_TRUE(BuildBackupHeader("", "rootfile.txt", arHeader));
    std::string strBackup(reinterpret_cast<const char*>(arHeader), BACKUP_HEADER_SIZE);
    strBackup += "x";
    ASSERT_TRUE(CTempDir::WriteFile(BackupPath(12, "rootfile.txt"), strBackup, 0600));
    SetTime(12, "rootfile.txt");

    const std::string strExpected = Line("1", m_strSource + "/a.exe") +
                                    Line("2", m_strSource + "/odd\\nname\\t\\\\\\x01\\x7f\xe9.doc") +
                                    Line("10", m_strSource + "/b.com") + Line("12", "/rootfile.txt");
    const SRun run = Bin({"list"});
    EXPECT_EQ(run.nExit, 0) << run.strErr;
    EXPECT_EQ(run.strOut, strExpected);
    EXPECT_EQ(run.strErr, "");
    // Listing is what it does without a command.
    EXPECT_EQ(Bin({}).strOut, strExpected);
}

TEST_F(QuilletBinTest, RestoresByNumberKeepsWhatFailsAndEmpties) {
    std::string strContent;
    for (int i = 0; i < 256; ++i)
        strContent += static_cast<char>(i);
    Backup(1, m_strSource, "keep.bin", strContent);
    ASSERT_TRUE(CTempDir::WriteFile(m_strSource + "/keep.bin", "repaired"));
    const std::string strGone = m_dir / "gone";
    ASSERT_EQ(mkdir(strGone.c_str(), 0755), 0);
    Backup(2, strGone, "lost.txt", "lost");
    Backup(3, m_strSource, "other.txt", "other");

    SRun run = Bin({"restore", "1"});
    EXPECT_EQ(run.nExit, 0) << run.strErr;
    EXPECT_EQ(run.strOut + run.strErr, "");
    EXPECT_EQ(CTempDir::ReadFile(m_strSource + "/keep.bin"), strContent);
    EXPECT_FALSE(Exists(BackupPath(1, "keep.bin")));
    // The others keep their numbers.
    EXPECT_EQ(Bin({}).strOut, Line("2", strGone + "/lost.txt") + Line("3", m_strSource + "/other.txt"));

    // The original folder's place is now taken by a file; 7 names nothing.
    CTempDir::RemoveTree(strGone);
    ASSERT_TRUE(CTempDir::WriteFile(strGone, "a file now"));
    run = Bin({"restore", "2", "7"});
    EXPECT_EQ(run.nExit, 1);
    EXPECT_EQ(run.strOut, "");
    EXPECT_NE(run.strErr.find("cannot restore " + strGone + "/lost.txt: " +
                              GetRestoreResultText(RESTORE_BAD_FOLDER)),
              std::string::npos)
        << run.strErr;
    EXPECT_NE(run.strErr.find("7: no such backup\n"), std::string::npos) << run.strErr;
    EXPECT_TRUE(Exists(BackupPath(2, "lost.txt")));
    EXPECT_EQ(CTempDir::ReadFile(strGone), "a file now");

    run = Bin({"empty"});
    EXPECT_EQ(run.nExit, 0) << run.strErr;
    EXPECT_EQ(Bin({"list"}).strOut, "");
    EXPECT_FALSE(Exists(BackupPath(2, "lost.txt")));
    EXPECT_FALSE(Exists(BackupPath(3, "other.txt")));
    EXPECT_TRUE(Exists(m_strWork + "/notes.txt"));
    EXPECT_EQ(CTempDir::ReadFile(m_strSource + "/other.txt"), "other");
}

TEST_F(QuilletBinTest, TheLaterOfTwoRestoresOfOneBackupSaysItIsGone) {
    if (access("/proc/locks", R_OK) != 0)
        GTEST_SKIP() << "no /proc/locks to see quillet-bin wait";
    Backup(1, m_strSource, "a.exe", "one");
    const std::string strBackup = BackupPath(1, "a.exe");
    struct stat st;
    ASSERT_EQ(stat(strBackup.c_str(), &st), 0);
    // Another program is restoring it and holds it, as a restore does.
    CFd other(open(strBackup.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(flock(other.Get(), LOCK_EX), 0);
    std::atomic<bool> bDone{false};
    SRun run;
    std::thread restore([&] {
        run = Bin({"restore", "1"});
        bDone = true;
    });
    // Once quillet-bin waits for it (a waiter on that inode in the lock
    // table), the other program finishes: the file is back, the backup gone.
    const std::string strInode = ":" + std::to_string(st.st_ino) + " ";
    bool bWaiting = false;
    for (int i = 0; i < 1500 && !bWaiting && !bDone; ++i) {
        std::ifstream locks("/proc/locks");
        for (std::string strLine; !bWaiting && std::getline(locks, strLine);)
            bWaiting = strLine.find("-> FLOCK") != std::string::npos && strLine.find(strInode) != std::string::npos;
        if (!bWaiting)
            usleep(20000);
    }
    const bool bWritten = CTempDir::WriteFile(m_strSource + "/a.exe", "one");
    const bool bDeleted = unlink(strBackup.c_str()) == 0;
    other.Reset();
    restore.join();
    EXPECT_TRUE(bWaiting);
    EXPECT_TRUE(bWritten && bDeleted);
    EXPECT_EQ(run.nExit, 1);
    EXPECT_EQ(run.strErr,
              "quillet-bin: " + m_strSource + "/a.exe: already restored or deleted by another program; the backup is gone\n");
    EXPECT_EQ(CTempDir::Entries(m_strSource), std::vector<std::string>{"a.exe"});
}

// After `quillet-scan --quarantine`: the listing names the kind and the
// finding, restore --allow gives the file back as it was and no later scan
// finds it, delete takes an item and its record away for good.
TEST_F(QuilletBinTest, QuarantinedItemsAreListedRestoredAndAllowedOrDeleted) {
    const std::string strTree = m_dir / "tree";
    ASSERT_EQ(mkdir(strTree.c_str(), 0755), 0);
    const std::string strOne = "one " + quillet::samples::TestMarker(1, 3, "Unrep.One");
    ASSERT_TRUE(CTempDir::WriteFile(strTree + "/one.exe", strOne));
    ASSERT_TRUE(CTempDir::WriteFile(strTree + "/two.exe", "two " + quillet::samples::TestMarker(1, 3, "Unrep.Two")));
    const std::vector<std::string> arEnv = {"TMPDIR=" + m_dir.Path(), "XDG_CONFIG_HOME=" + m_dir / "config"};
    const SRun scan = RunProgram(BinDir() + "/quillet-scan", {"--quarantine", strTree}, m_dir, std::string(), arEnv);
    ASSERT_FALSE(Exists(strTree + "/one.exe")) << scan.strOut << scan.strErr;
    ASSERT_FALSE(Exists(strTree + "/two.exe"));

    auto fnBin = [&](const std::vector<std::string>& arArgs) {
        return RunProgram(BinDir() + "/quillet-bin", arArgs, m_dir, std::string(), arEnv);
    };
    const SRun list = fnBin({"list"});
    EXPECT_EQ(list.nExit, 0) << list.strErr;
    std::string strNumOne, strNumTwo;
    size_t nStart = 0;
    for (size_t nEnd; (nEnd = list.strOut.find('\n', nStart)) != std::string::npos; nStart = nEnd + 1) {
        const std::string strLine = list.strOut.substr(nStart, nEnd - nStart);
        const std::string strNum = strLine.substr(0, strLine.find('\t'));
        if (strLine.find(strTree + "/one.exe\t") != std::string::npos &&
            strLine.ends_with("\tquarantine\tUnrep.One"))
            strNumOne = strNum;
        if (strLine.find(strTree + "/two.exe\t") != std::string::npos &&
            strLine.ends_with("\tquarantine\tUnrep.Two"))
            strNumTwo = strNum;
    }
    ASSERT_FALSE(strNumOne.empty()) << list.strOut;
    ASSERT_FALSE(strNumTwo.empty()) << list.strOut;

    const SRun restore = fnBin({"restore", "--allow", strNumOne});
    EXPECT_EQ(restore.nExit, 0) << restore.strErr;
    EXPECT_EQ(CTempDir::ReadFile(strTree + "/one.exe"), strOne);
    const SRun again = RunProgram(BinDir() + "/quillet-scan", {strTree}, m_dir, std::string(), arEnv);
    EXPECT_EQ(again.strOut.find("one.exe"), std::string::npos) << again.strOut;

    const SRun del = fnBin({"delete", strNumTwo, "99"});
    EXPECT_EQ(del.nExit, 1);
    EXPECT_EQ(del.strErr, "quillet-bin: 99: no such backup\n");
    EXPECT_EQ(fnBin({"list"}).strOut, "");
    // Only the note that is no backup is left: no copy, no record.
    std::vector<std::string> arLeft;
    for (const auto& entry : std::filesystem::directory_iterator(m_strWork))
        arLeft.push_back(entry.path().filename().string());
    EXPECT_EQ(arLeft, std::vector<std::string>{"notes.txt"});

    // A repair's backup has no finding to allow: restored, and said so.
    Backup(5, m_strSource, "plain.exe", "plain");
    const SRun plain = fnBin({"restore", "--allow", "5"});
    EXPECT_EQ(plain.nExit, 1);
    EXPECT_NE(plain.strErr.find("restored, not allowed"), std::string::npos) << plain.strErr;
    EXPECT_EQ(fnBin({"list"}).strOut, "");
}

TEST_F(QuilletBinTest, UsageErrorsTouchNothing) {
    Backup(1, m_strSource, "a.exe", "one");
    const std::vector<std::vector<std::string>> arBad = {
        {"frob"}, {"restore"}, {"restore", "1x"}, {"restore", "-1"}, {"restore", "4294967296"},
        {"--bogus"}, {"list", "1"}, {"empty", "1"}, {"restore", ""},
    };
    for (const std::vector<std::string>& arArgs : arBad) {
        const SRun run = Bin(arArgs);
        EXPECT_EQ(run.nExit, 64) << arArgs[0];
        EXPECT_EQ(run.strOut, "");
        EXPECT_EQ(run.strErr.rfind("usage: quillet-bin ", 0), 0u) << run.strErr;
        EXPECT_EQ(run.strErr.find('\n'), run.strErr.size() - 1) << run.strErr;
    }
    EXPECT_TRUE(Exists(BackupPath(1, "a.exe")));
    const SRun help = Bin({"--help"});
    EXPECT_EQ(help.nExit, 0);
    EXPECT_EQ(help.strOut.rfind("usage: quillet-bin ", 0), 0u);
    EXPECT_EQ(help.strErr, "");
}

TEST(QuilletVersionTest, EachProgramNamesTheProjectVersionWithoutEngineOrDisplay) {
    CTempDir dir;
    // quillet-scan alone, with no engine to find: --version never looks.
    const std::string strScan = CTempDir::ReadFile(BinDir() + "/quillet-scan");
    ASSERT_FALSE(strScan.empty());
    ASSERT_TRUE(CTempDir::WriteFile(dir / "quillet-scan", strScan, 0755));
    std::vector<std::pair<std::string, std::string>> arPrograms = {
        {"quillet-bin", BinDir() + "/quillet-bin"}, {"quillet-scan", dir / "quillet-scan"}};
#ifdef QUILLET_TEST_UI
    arPrograms.emplace_back("quillet", BinDir() + "/quillet");
#endif
    for (const auto& [strName, strPath] : arPrograms) {
        const SRun run = RunProgram(strPath, {"--version"}, dir);
        EXPECT_EQ(run.nExit, 0) << strName << ": " << run.strErr;
        EXPECT_EQ(run.strOut, strName + " " QUILLET_PROJECT_VERSION "\n");
    }
#ifdef QUILLET_TEST_UI
    // A path that looks like an option is refused before any window, not
    // scanned and not handed to the toolkit.
    const SRun option = RunProgram(BinDir() + "/quillet", {"-x"}, dir);
    EXPECT_EQ(option.nExit, 64);
    EXPECT_NE(option.strErr.find("./-x"), std::string::npos) << option.strErr;
    EXPECT_NE(option.strErr.find("usage: quillet "), std::string::npos) << option.strErr;
#endif
}

}  // namespace
