// Quarantine moves a finding into the Backup Bin: at every moment the file or
// its copy is there, whatever changes on the disk at the exact moment (a
// hook in the store), and a restore gives back the file as it was.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>

#include "fakes/Acl.h"
#include "fakes/OrdinaryUser.h"
#include "fakes/TempDir.h"
#include "platform/BackupStore.h"

namespace {

class QuarantineTest : public ::testing::Test {
protected:
    CTempDir m_dir;
    std::string m_strWork, m_strSource, m_strFile;

    void SetUp() override {
        ASSERT_EQ(chmod(m_dir.Path().c_str(), 0755), 0);
        m_strWork = m_dir / "Palisar";
        m_strSource = m_dir / "src";
        m_strFile = m_strSource + "/setup.exe";
        ASSERT_EQ(mkdir(m_strWork.c_str(), 0700), 0);
        ASSERT_EQ(mkdir(m_strSource.c_str(), 0755), 0);
        ASSERT_TRUE(CTempDir::WriteFile(m_strFile, "MZ the user's program"));
    }
    static CFileId IdOf(const std::string& strPath) {
        struct stat st {};
        lstat(strPath.c_str(), &st);
        return CFileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    }
    EQuarantined Quarantine(CBackupStore& store, const std::string& strFolder, uint32_t* pnNumber = nullptr) {
        uint32_t nNumber = 0;
        CQuarantineRecord record;
        record.strVirus = "Test.Virus\nwith a line end";
        record.strEngine = "1.0";
        return store.QuarantineFile(pnNumber ? pnNumber : &nNumber, strFolder, "setup.exe",
                                    IdOf(strFolder + "/setup.exe"), record, UINT32_MAX);
    }
};

TEST_F(QuarantineTest, MovedWholeAndBackWithOwnerModeAndAcl) {
    ASSERT_EQ(chmod(m_strFile.c_str(), 0640), 0);
    const std::string strAcl = AclValue({{0x01, 6, NO_ID}, {0x02, 4, 4321}, {0x04, 4, NO_ID}, {0x10, 4, NO_ID},
                                         {0x20, 0, NO_ID}});
    const bool bAcl = setxattr(m_strFile.c_str(), "system.posix_acl_access", strAcl.data(), strAcl.size(), 0) == 0;
    if (geteuid() == 0)
        ASSERT_EQ(chown(m_strFile.c_str(), 4321, 8765), 0);
    struct stat stBefore {};
    ASSERT_EQ(stat(m_strFile.c_str(), &stBefore), 0);

    CBackupStore store(m_strWork);
    ASSERT_EQ(Quarantine(store, m_strSource), QUARANTINE_OK);
    EXPECT_NE(access(m_strFile.c_str(), F_OK), 0);
    const std::vector<CBackupBinItem> arItems = store.ListBackups();
    ASSERT_EQ(arItems.size(), 1u);
    EXPECT_TRUE(arItems[0].bQuarantined);
    EXPECT_EQ(arItems[0].strVirus, "Test.Virus\nwith a line end");
    // The copy is inert: the rotated bytes of an ordinary backup.
    EXPECT_EQ(CTempDir::ReadFile(m_strWork + "/" + arItems[0].strFileName).find("MZ"), std::string::npos);

    ASSERT_EQ(store.Restore(arItems[0].strFileName), RESTORE_OK);
    EXPECT_EQ(CTempDir::ReadFile(m_strFile), "MZ the user's program");
    struct stat stAfter {};
    ASSERT_EQ(stat(m_strFile.c_str(), &stAfter), 0);
    EXPECT_EQ(stAfter.st_mode & 07777, stBefore.st_mode & 07777);
    EXPECT_EQ(stAfter.st_uid, stBefore.st_uid);
    EXPECT_EQ(stAfter.st_gid, stBefore.st_gid);
    if (bAcl)
        EXPECT_EQ(AclOf(m_strFile), strAcl);
    // Neither the backup nor its record is left.
    EXPECT_TRUE(CTempDir::Entries(m_strWork).empty());
}

TEST_F(QuarantineTest, AFileChangedOrSwappedAtTheMomentStaysAndNoCopyIsLeft) {
    CBackupStore store(m_strWork);
    const std::string strOutside = m_dir / "outside.exe";
    ASSERT_TRUE(CTempDir::WriteFile(strOutside, "not to be touched"));
    struct SCase {
        const char* pszStage;
        std::function<void()> fnChange;
        EQuarantined eExpected;
    };
    const SCase arCases[] = {
        // Written to between the copy and the removal: its new bytes are not lost.
        {"remove", [&] { CTempDir::WriteFile(m_strFile, "MZ the user's program, saved again"); }, QUARANTINE_CHANGED},
        // Swapped for a link: neither it nor what it points at is removed.
        {"remove",
         [&] {
             rename(m_strFile.c_str(), (m_strFile + ".kept").c_str());
             symlink(strOutside.c_str(), m_strFile.c_str());
         },
         QUARANTINE_CHANGED},
        // Its folder swapped for a link before the copy: nothing is read through it.
        {"source",
         [&] {
             rename(m_strSource.c_str(), (m_strSource + ".kept").c_str());
             mkdir((m_dir / "elsewhere").c_str(), 0755);
             CTempDir::WriteFile(m_dir / "elsewhere/setup.exe", "planted");
             symlink((m_dir / "elsewhere").c_str(), m_strSource.c_str());
         },
         QUARANTINE_CHANGED},
    };
    for (const SCase& c : arCases) {
        SCOPED_TRACE(c.pszStage);
        const std::string strBefore = CTempDir::ReadFile(m_strFile);
        const CFileId id = IdOf(m_strFile);
        store.m_fnTestHook = [&](const char* pszStage) {
            if (std::string(pszStage) == c.pszStage)
                c.fnChange();
        };
        uint32_t nNumber = 0;
        CQuarantineRecord record;
        const EQuarantined eResult = store.QuarantineFile(&nNumber, m_strSource, "setup.exe", id, record, UINT32_MAX);
        store.m_fnTestHook = nullptr;
        EXPECT_EQ(eResult, c.eExpected);
        EXPECT_TRUE(CTempDir::Entries(m_strWork).empty());
        EXPECT_EQ(CTempDir::ReadFile(strOutside), "not to be touched");
        // Put the tree back as it was for the next case.
        struct stat st {};
        if (lstat(m_strSource.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            unlink(m_strSource.c_str());
            rename((m_strSource + ".kept").c_str(), m_strSource.c_str());
            EXPECT_EQ(CTempDir::ReadFile(m_dir / "elsewhere/setup.exe"), "planted");
        }
        if (lstat(m_strFile.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            unlink(m_strFile.c_str());
            rename((m_strFile + ".kept").c_str(), m_strFile.c_str());
        } else if (std::string(c.pszStage) == "remove") {
            EXPECT_EQ(CTempDir::ReadFile(m_strFile), "MZ the user's program, saved again");
        }
        EXPECT_FALSE(CTempDir::ReadFile(m_strFile).empty()) << strBefore;
    }
}

TEST_F(QuarantineTest, FinishedTogetherEachFileIsCheckedAtItsOwnRemoval) {
    // Three copies made first, their files removed after one shared sync:
    // the one written to meanwhile stays, and one never finished takes its
    // copy back.
    CBackupStore store(m_strWork);
    const char* arNames[] = {"a.exe", "b.exe", "c.exe"};
    std::unique_ptr<IPendingQuarantine> arPending[3];
    uint32_t nNumber = 0;
    for (int i = 0; i < 3; ++i) {
        const std::string strPath = m_strSource + "/" + arNames[i];
        ASSERT_TRUE(CTempDir::WriteFile(strPath, std::string("MZ ") + arNames[i]));
        CQuarantineRecord record;
        ASSERT_EQ(store.QuarantineFile(&nNumber, m_strSource, arNames[i], IdOf(strPath), record, UINT32_MAX,
                                       &arPending[i]),
                  QUARANTINE_OK);
        ASSERT_TRUE(arPending[i]);
        EXPECT_EQ(access(strPath.c_str(), F_OK), 0);  // nothing removed yet
    }
    EXPECT_EQ(CTempDir::Entries(m_strWork).size(), 3u);
    arPending[2].reset();
    EXPECT_EQ(CTempDir::ReadFile(m_strSource + "/c.exe"), "MZ c.exe");
    int nRemovals = 0;
    store.m_fnTestHook = [&](const char* pszStage) {
        if (std::string(pszStage) == "remove" && ++nRemovals == 2)
            CTempDir::WriteFile(m_strSource + "/b.exe", "MZ b.exe, saved again");
    };
    IPendingQuarantine* arBoth[] = {arPending[0].get(), arPending[1].get()};
    EQuarantined arResults[2] = {};
    store.FinishQuarantines(arBoth, 2, arResults);
    EXPECT_EQ(arResults[0], QUARANTINE_OK);
    EXPECT_EQ(arResults[1], QUARANTINE_CHANGED);
    arPending[0].reset();
    arPending[1].reset();
    EXPECT_NE(access((m_strSource + "/a.exe").c_str(), F_OK), 0);
    EXPECT_EQ(CTempDir::ReadFile(m_strSource + "/b.exe"), "MZ b.exe, saved again");
    const std::vector<CBackupBinItem> arItems = store.ListBackups();
    ASSERT_EQ(arItems.size(), 1u);
    EXPECT_EQ(arItems[0].info.strName, "a.exe");
    EXPECT_EQ(CTempDir::Entries(m_strWork).size(), 1u);
}

TEST_F(QuarantineTest, AFullDiskOrAFolderNotToBeWrittenLeavesTheFile) {
    // The disk fills during the copy (a child whose files may not grow).
    ASSERT_TRUE(CTempDir::WriteFile(m_strFile, std::string(64 * 1024, 'x')));
    pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        CBackupStore store(m_strWork);
        _exit(Quarantine(store, m_strSource));
    }
    int nStatus = 0;
    waitpid(pid, &nStatus, 0);
    ASSERT_TRUE(WIFEXITED(nStatus));
    EXPECT_EQ(WEXITSTATUS(nStatus), QUARANTINE_NO_COPY);
    EXPECT_EQ(CTempDir::ReadFile(m_strFile), std::string(64 * 1024, 'x'));
    EXPECT_TRUE(CTempDir::Entries(m_strWork).empty());

    // A folder its user may not write (root writes every folder).
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to make a folder another user may not write";
    const std::string strWork = m_dir / "work-of-65534";
    ASSERT_EQ(mkdir(strWork.c_str(), 0700), 0);
    ASSERT_EQ(chown(strWork.c_str(), ORDINARY_UID, ORDINARY_UID), 0);
    ASSERT_EQ(chown(m_strFile.c_str(), ORDINARY_UID, ORDINARY_UID), 0);
    EXPECT_EQ(AsOrdinaryUser([&] {
                  CBackupStore store(strWork);
                  return static_cast<int>(Quarantine(store, m_strSource));
              }),
              QUARANTINE_READ_ONLY);
    EXPECT_EQ(CTempDir::ReadFile(m_strFile), std::string(64 * 1024, 'x'));
    EXPECT_TRUE(CTempDir::Entries(strWork).empty());
}

TEST_F(QuarantineTest, KilledBetweenCopyAndRemovalLeavesBothAndARestoreNeverTakesANameInUse) {
    pid_t pid = fork();
    if (pid == 0) {
        CBackupStore store(m_strWork);
        store.m_fnTestHook = [](const char* pszStage) {
            if (std::string(pszStage) == "remove")
                _exit(0);
        };
        Quarantine(store, m_strSource);
        _exit(1);
    }
    int nStatus = 0;
    waitpid(pid, &nStatus, 0);
    ASSERT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0);
    EXPECT_EQ(CTempDir::ReadFile(m_strFile), "MZ the user's program");
    CBackupStore store(m_strWork);
    std::vector<CBackupBinItem> arItems = store.ListBackups();
    ASSERT_EQ(arItems.size(), 1u);
    EXPECT_TRUE(arItems[0].bQuarantined);
    // The file is still there: its copy does not take its name.
    EXPECT_EQ(store.Restore(arItems[0].strFileName), RESTORE_NAME_TAKEN);
    EXPECT_EQ(CTempDir::ReadFile(m_strFile), "MZ the user's program");
    ASSERT_EQ(store.Delete(arItems[0].strFileName), DELETE_OK);
    EXPECT_TRUE(CTempDir::Entries(m_strWork).empty());

    // Two findings of one name, from two folders: two items, each back home.
    const std::string strOther = m_dir / "other";
    ASSERT_EQ(mkdir(strOther.c_str(), 0755), 0);
    ASSERT_TRUE(CTempDir::WriteFile(strOther + "/setup.exe", "MZ another program"));
    uint32_t nNumber = 1;
    ASSERT_EQ(Quarantine(store, m_strSource, &nNumber), QUARANTINE_OK);
    ASSERT_EQ(Quarantine(store, strOther, &nNumber), QUARANTINE_OK);
    arItems = store.ListBackups();
    ASSERT_EQ(arItems.size(), 2u);
    for (const CBackupBinItem& item : arItems)
        EXPECT_EQ(store.Restore(item.strFileName), RESTORE_OK) << item.strFileName;
    EXPECT_EQ(CTempDir::ReadFile(m_strFile), "MZ the user's program");
    EXPECT_EQ(CTempDir::ReadFile(strOther + "/setup.exe"), "MZ another program");
    EXPECT_TRUE(CTempDir::Entries(m_strWork).empty());
}

}  // namespace
