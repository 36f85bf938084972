// The backup store on disk: golden bytes, round trips, the work folder's
// safety rules, and failures that must leave the user's files as they were.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <functional>
#include <set>

#include "fakes/TempDir.h"
#include "fakes/WriteNumbered.h"
#include "base/Diagnostics.h"
#include "platform/BackupStore.h"
#include "platform/BackupStoreIo.h"

namespace {

class BackupStoreTest : public ::testing::Test {
protected:
    CTempDir m_dir;
    std::string m_strWork;
    std::string m_strSource;

    void SetUp() override {
        m_strWork = m_dir / "Palisar";
        ASSERT_EQ(mkdir(m_strWork.c_str(), 0700), 0);
        m_strSource = m_dir / "src";
        ASSERT_EQ(mkdir(m_strSource.c_str(), 0755), 0);
    }
    static std::string Content(size_t nSize) {
        std::string str(nSize, '\0');
        for (size_t i = 0; i < nSize; ++i)
            str[i] = static_cast<char>((i * 7 + 1) & 0xFF);
        return str;
    }
    // Runs fn in a child whose files may not grow past nLimit bytes: the
    // disk is full from there on.
    static bool InFullDiskChild(size_t nLimit, const std::function<bool()>& fn) {
        pid_t pid = fork();
        if (pid == 0) {
            signal(SIGXFSZ, SIG_IGN);
            rlimit limit{nLimit, nLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
            _exit(fn() ? 0 : 1);
        }
        int nStatus = 0;
        waitpid(pid, &nStatus, 0);
        return WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0;
    }
};

TEST_F(BackupStoreTest, GoldenBytesOfAKnownFile) {
    CTempDir::WriteFile(m_strSource + "/setup.exe", std::string("\x01\x80\x03\xff", 4));
    CBackupStore store(m_strWork);
    ASSERT_TRUE(WriteNumbered(store, 8, m_strSource, "setup.exe"));
    std::string strBackup = CTempDir::ReadFile(m_strWork + "/00000008.Vxe");
    ASSERT_EQ(strBackup.size(), 516u);
    std::string strExpected(512, '\0');
    memcpy(&strExpected[0], "TVBak\x1a\x01\x02\x03\x04", 10);
    memcpy(&strExpected[10], m_strSource.data(), m_strSource.size());
    memcpy(&strExpected[256], "setup.exe", 9);
    strExpected += std::string("\x80\x40\x81\xff", 4);
    EXPECT_EQ(strBackup, strExpected);
    struct stat st;
    ASSERT_EQ(stat((m_strWork + "/00000008.Vxe").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(BackupStoreTest, SizesListRestoreAndDelete) {
    CTempDir::WriteFile(m_strSource + "/empty.doc", "");
    CTempDir::WriteFile(m_strSource + "/k.exe", Content(1000));
    CTempDir::WriteFile(m_strSource + "/big.bin", Content(3 << 20));
    CBackupStore store(m_strWork);
    ASSERT_TRUE(WriteNumbered(store, 1, m_strSource, "empty.doc"));
    ASSERT_TRUE(WriteNumbered(store, 2, m_strSource, "k.exe"));
    ASSERT_TRUE(WriteNumbered(store, 3, m_strSource, "big.bin"));
    EXPECT_EQ(CTempDir::ReadFile(m_strWork + "/00000001.Voc").size(), 512u);
    EXPECT_EQ(CTempDir::ReadFile(m_strWork + "/00000002.Vxe").size(), 1512u);

    std::vector<CBackupEntry> arEntries = store.List();
    ASSERT_EQ(arEntries.size(), 3u);
    EXPECT_EQ(arEntries[1].strFileName, "00000002.Vxe");
    EXPECT_EQ(arEntries[1].info.strFolder, m_strSource);
    EXPECT_EQ(arEntries[1].info.strName, "k.exe");
    EXPECT_EQ(arEntries[1].nContentSize, 1000u);

    // The file was cleaned in the meantime; restoring puts the original back
    // and keeps the file's permissions.
    CTempDir::WriteFile(m_strSource + "/k.exe", "cleaned");
    chmod((m_strSource + "/k.exe").c_str(), 0751);
    ASSERT_EQ(store.Restore("00000002.Vxe"), RESTORE_OK);
    EXPECT_EQ(CTempDir::ReadFile(m_strSource + "/k.exe"), Content(1000));
    struct stat st;
    stat((m_strSource + "/k.exe").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0751u);
    EXPECT_EQ(store.List().size(), 2u);

    // A removed folder comes back.
    CTempDir::RemoveTree(m_strSource);
    ASSERT_EQ(store.Restore("00000003.Vin"), RESTORE_OK);
    EXPECT_EQ(CTempDir::ReadFile(m_strSource + "/big.bin"), Content(3 << 20));

    ASSERT_EQ(store.Delete("00000001.Voc"), DELETE_OK);
    EXPECT_TRUE(store.List().empty());
    EXPECT_EQ(store.Delete("00000001.Voc"), DELETE_GONE);
    EXPECT_EQ(CTempDir::Entries(m_strWork), std::vector<std::string>{});
}

TEST_F(BackupStoreTest, WhatIsNotABackupIsNeverTouched) {
    CBackupStore store(m_strWork);
    CTempDir::WriteFile(m_strSource + "/a.exe", "abc");
    ASSERT_TRUE(WriteNumbered(store, 5, m_strSource, "a.exe"));
    std::string strGood = CTempDir::ReadFile(m_strWork + "/00000005.Vxe");

    CTempDir::WriteFile(m_strWork + "/short.V", strGood.substr(0, 511));
    CTempDir::WriteFile(m_strWork + "/nomagic.V", "X" + strGood.substr(1));
    std::string strNoNul = strGood;
    memset(&strNoNul[256], 'n', 256);
    CTempDir::WriteFile(m_strWork + "/nonul.V", strNoNul);
    std::string strRelative = strGood;
    memset(&strRelative[10], 0, 246);
    memcpy(&strRelative[10], "relative", 8);
    CTempDir::WriteFile(m_strWork + "/relative.V", strRelative);
    symlink((m_strWork + "/00000005.Vxe").c_str(), (m_strWork + "/link.V").c_str());
    mkdir((m_strWork + "/folder.V").c_str(), 0700);
    // Another user's file, where we may make one (as root).
    const bool bRoot = geteuid() == 0;
    CTempDir::WriteFile(m_strWork + "/other.V", strGood);
    if (bRoot)
        ASSERT_EQ(chown((m_strWork + "/other.V").c_str(), 65534, 65534), 0);
    else
        unlink((m_strWork + "/other.V").c_str());

    std::vector<CBackupEntry> arEntries = store.List();
    std::vector<std::string> arNames;
    for (const CBackupEntry& e : arEntries)
        arNames.push_back(e.strFileName);
    EXPECT_EQ(arNames, (std::vector<std::string>{"00000005.Vxe", "relative.V"}));
    for (const char* psz : {"short.V", "nomagic.V", "nonul.V", "link.V", "folder.V", "other.V", "../src/a.exe", ""}) {
        EXPECT_NE(store.Restore(psz), RESTORE_OK) << psz;
        EXPECT_NE(store.Delete(psz), DELETE_OK) << psz;
    }
    // Listed, but a header naming a relative folder is never restored.
    EXPECT_NE(store.Restore("relative.V"), RESTORE_OK);
    for (const char* psz : {"short.V", "nomagic.V", "nonul.V", "link.V", "other.V", "relative.V"})
        if (bRoot || strcmp(psz, "other.V") != 0) {
            EXPECT_FALSE(CTempDir::ReadFile(m_strWork + "/" + psz).empty()) << psz;
        }
    EXPECT_EQ(CTempDir::ReadFile(m_strSource + "/a.exe"), "abc");
}

TEST_F(BackupStoreTest, AnUnsafeWorkFolderIsRefused) {
    CTempDir::WriteFile(m_strSource + "/a.exe", "abc");
    chmod(m_strWork.c_str(), 0770);
    CBackupStore open(m_strWork);
    EXPECT_FALSE(open.IsUsable());
    // What is said names no error left over from an earlier call.
    struct CLines : IDiagnosticSink {
        std::vector<std::string> m_arLines;
        void WriteLine(const std::string& strLine) override { m_arLines.push_back(strLine); }
    } lines;
    SetDiagnosticSink(&lines);
    errno = ENOSPC;
    EXPECT_FALSE(WriteNumbered(open, 1, m_strSource, "a.exe"));
    SetDiagnosticSink(nullptr);
    ASSERT_EQ(lines.m_arLines.size(), 1u);
    EXPECT_EQ(lines.m_arLines[0].find(strerror(ENOSPC)), std::string::npos) << lines.m_arLines[0];
    chmod(m_strWork.c_str(), 0700);
    // Another user's folder: only root can make one here.
    if (geteuid() == 0) {
        ASSERT_EQ(chown(m_strWork.c_str(), 65534, 65534), 0);
        EXPECT_FALSE(WriteNumbered(open, 1, m_strSource, "a.exe"));
        ASSERT_EQ(chown(m_strWork.c_str(), getuid(), getgid()), 0);
    }
    std::string strLink = m_dir / "linked";
    symlink(m_strWork.c_str(), strLink.c_str());
    CBackupStore linked(strLink);
    EXPECT_FALSE(WriteNumbered(linked, 1, m_strSource, "a.exe"));
    EXPECT_TRUE(linked.List().empty());
    CBackupStore good(m_strWork);
    EXPECT_TRUE(good.IsUsable());
    // A name that is not a plain file name, or too long for the header.
    EXPECT_FALSE(WriteNumbered(good, 1, m_strSource, "../a.exe"));
    EXPECT_FALSE(WriteNumbered(good, 1, std::string(250, 'd'), "a.exe"));
    EXPECT_FALSE(WriteNumbered(good, 1, m_strSource, "missing.exe"));
    EXPECT_TRUE(good.List().empty());
}

TEST_F(BackupStoreTest, FullDiskLeavesNoPartialFileAndEverythingIntact) {
    std::string strOriginal = Content(1 << 20);
    CTempDir::WriteFile(m_strSource + "/a.exe", strOriginal);
    CBackupStore store(m_strWork);
    EXPECT_FALSE(InFullDiskChild(100000, [&] { return WriteNumbered(store, 1, m_strSource, "a.exe"); }));
    // Neither the backup nor its temporary file is left.
    EXPECT_EQ(CTempDir::Entries(m_strWork), std::vector<std::string>{});
    EXPECT_EQ(CTempDir::ReadFile(m_strSource + "/a.exe"), strOriginal);

    ASSERT_TRUE(WriteNumbered(store, 2, m_strSource, "a.exe"));
    CTempDir::WriteFile(m_strSource + "/a.exe", "cleaned");
    EXPECT_FALSE(InFullDiskChild(100000, [&] { return store.Restore("00000002.Vxe") == RESTORE_OK; }));
    EXPECT_EQ(CTempDir::ReadFile(m_strSource + "/a.exe"), "cleaned");
    EXPECT_EQ(CTempDir::Entries(m_strSource), std::vector<std::string>{"a.exe"});
    EXPECT_EQ(store.List().size(), 1u);
    ASSERT_EQ(store.Restore("00000002.Vxe"), RESTORE_OK);
    EXPECT_EQ(CTempDir::ReadFile(m_strSource + "/a.exe"), strOriginal);
}

TEST_F(BackupStoreTest, RestoreNeverWritesThroughALinkedFolder) {
    CTempDir::WriteFile(m_strSource + "/a.exe", "original");
    CBackupStore store(m_strWork);
    ASSERT_TRUE(WriteNumbered(store, 1, m_strSource, "a.exe"));
    std::string strElsewhere = m_dir / "elsewhere";
    mkdir(strElsewhere.c_str(), 0755);
    CTempDir::RemoveTree(m_strSource);
    symlink(strElsewhere.c_str(), m_strSource.c_str());
    EXPECT_NE(store.Restore("00000001.Vxe"), RESTORE_OK);
    EXPECT_EQ(CTempDir::ReadFile(strElsewhere + "/a.exe"), "");
    EXPECT_EQ(store.List().size(), 1u);
    // A link in the file's place is replaced, not written through.
    unlink(m_strSource.c_str());
    mkdir(m_strSource.c_str(), 0755);
    CTempDir::WriteFile(strElsewhere + "/target", "keep");
    symlink((strElsewhere + "/target").c_str(), (m_strSource + "/a.exe").c_str());
    ASSERT_EQ(store.Restore("00000001.Vxe"), RESTORE_OK);
    EXPECT_EQ(CTempDir::ReadFile(strElsewhere + "/target"), "keep");
    EXPECT_EQ(CTempDir::ReadFile(m_strSource + "/a.exe"), "original");
}

TEST_F(BackupStoreTest, PrepareWorkDirCreatesAPrivateFolderAndFindsTheHighestNumber) {
    std::string strBase = m_dir / "state";
    setenv("TMPDIR", strBase.c_str(), 1);
    std::string strWork;
    EXPECT_EQ(PrepareWorkDir(&strWork), 0u);
    EXPECT_EQ(strWork, strBase + "/Palisar");
    struct stat st;
    ASSERT_EQ(lstat(strWork.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    for (const char* psz : {"00000012.Vxe", "00000003.Voc", "README", "junk.txt"})
        CTempDir::WriteFile(strWork + "/" + psz, "x");
    mkdir((strWork + "/99999.d").c_str(), 0700);
    EXPECT_EQ(PrepareWorkDir(&strWork), 12u);
    unsetenv("TMPDIR");
}

TEST_F(BackupStoreTest, ABackupIsNeverReplacedAndNumbersNeverWrapBelowOnes) {
    CTempDir::WriteFile(m_strSource + "/a.exe", "new");
    CBackupStore store(m_strWork);
    // Another program took 8 and 9 meanwhile; this one's counter is at 7.
    CTempDir::WriteFile(m_strWork + "/00000008.Vxe", "theirs 8");
    CTempDir::WriteFile(m_strWork + "/00000009.Voc", "theirs 9");
    uint32_t nNumber = 7;
    CFileId id;
    ASSERT_TRUE(store.WriteBackup(&nNumber, m_strSource, "a.exe", &id));
    EXPECT_EQ(nNumber, 10u);
    EXPECT_TRUE(id.IsSet());
    EXPECT_EQ(CTempDir::ReadFile(m_strWork + "/00000008.Vxe"), "theirs 8");
    EXPECT_EQ(CTempDir::ReadFile(m_strWork + "/00000009.Voc"), "theirs 9");
    EXPECT_EQ(CTempDir::ReadFile(m_strWork + "/00000010.Vxe").substr(512), std::string("\x37\xb2\xbb", 3));

    // A stray "-1.log" reads as the top of the range at start-up; the next
    // backups still go above every backup on disk, never back to 0.
    CTempDir::WriteFile(m_strWork + "/-1.log", "x");
    setenv("TMPDIR", m_dir.Path().c_str(), 1);
    std::string strWork;
    nNumber = PrepareWorkDir(&strWork);
    unsetenv("TMPDIR");
    EXPECT_EQ(nNumber, 4294967295u);
    ASSERT_TRUE(store.WriteBackup(&nNumber, m_strSource, "a.exe", nullptr));
    EXPECT_EQ(nNumber, 11u);
    ASSERT_TRUE(store.WriteBackup(&nNumber, m_strSource, "a.exe", nullptr));
    EXPECT_EQ(nNumber, 12u);
    EXPECT_EQ(store.List().size(), 3u);

    // The source must be the file the caller met.
    CFileId other{id.nDev, id.nIno + 1};
    EXPECT_FALSE(store.WriteBackup(&nNumber, m_strSource, "a.exe", &other));
    EXPECT_EQ(store.List().size(), 3u);
}

TEST_F(BackupStoreTest, SeveralProgramsShareOneFolderAndLoseNoBackup) {
    constexpr int PROGRAMS = 4, BACKUPS = 150;
    // Each program's own extension: a number must not be taken twice even
    // under two different names.
    const std::string arNames[PROGRAMS] = {"p0.exe", "p1.doc", "p2.xls", "p3.bin"};
    for (int p = 0; p < PROGRAMS; ++p)
        CTempDir::WriteFile(m_strSource + "/" + arNames[p], Content(700 + p));
    std::vector<pid_t> arPids;
    for (int p = 0; p < PROGRAMS; ++p) {
        pid_t pid = fork();
        if (pid == 0) {
            // Every program starts from the same number, as when two scans
            // begin together.
            CBackupStore store(m_strWork);
            uint32_t nNumber = 0;
            for (int i = 0; i < BACKUPS; ++i)
                if (!store.WriteBackup(&nNumber, m_strSource, arNames[p], nullptr))
                    _exit(1);
            _exit(0);
        }
        arPids.push_back(pid);
    }
    for (pid_t pid : arPids) {
        int nStatus = 0;
        waitpid(pid, &nStatus, 0);
        EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0);
    }
    CBackupStore store(m_strWork);
    std::vector<CBackupEntry> arEntries = store.List();
    ASSERT_EQ(arEntries.size(), size_t(PROGRAMS * BACKUPS));
    std::set<uint32_t> setNumbers;
    for (const CBackupEntry& entry : arEntries) {
        uint32_t nNumber = 0;
        ASSERT_TRUE(BackupNumberFromName(entry.strFileName, &nNumber));
        setNumbers.insert(nNumber);
        std::string strBody = CTempDir::ReadFile(m_strWork + "/" + entry.strFileName).substr(512);
        RotateLeft(reinterpret_cast<unsigned char*>(&strBody[0]), strBody.size());
        EXPECT_EQ(strBody, Content(700 + static_cast<size_t>(entry.info.strName[1] - '0'))) << entry.strFileName;
    }
    // No number twice, whatever the extension.
    EXPECT_EQ(setNumbers.size(), arEntries.size());
    EXPECT_EQ(CTempDir::Entries(m_strWork).size(), arEntries.size());
}

TEST_F(BackupStoreTest, WhatADeadWriterLeftIsSweptAndALiveOneKept) {
    CTempDir::WriteFile(m_strWork + "/.quillet-99999-1.tmp", "half a backup");
    std::string strLive;
    int nDir = open(m_strWork.c_str(), O_RDONLY | O_DIRECTORY);
    int nLive = CreateLockedTemp(nDir, &strLive, 0600);
    ASSERT_GE(nLive, 0);
    CTempDir::WriteFile(m_strWork + "/.other", "not ours to sweep");

    setenv("TMPDIR", m_dir.Path().c_str(), 1);
    std::string strWork;
    PrepareWorkDir(&strWork);
    unsetenv("TMPDIR");
    EXPECT_EQ(CTempDir::Entries(m_strWork), (std::vector<std::string>{".other", strLive}));

    close(nLive);
    CTempDir::WriteFile(m_strWork + "/.quillet-99999-2.tmp", "half a backup");
    CBackupStore store(m_strWork);
    store.RemoveLeftovers();  // what Empty does first
    EXPECT_EQ(CTempDir::Entries(m_strWork), std::vector<std::string>{".other"});
    close(nDir);
}

}  // namespace
