// Restore puts back the user's file as it was: its owner, group, mode and
// ACL, never over a file its user could not write, never through a folder
// swapped for a link at the moment of the restore, and never leaving a
// temporary file behind.

#include <gtest/gtest.h>

#include <dirent.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <utility>

#include "fakes/Acl.h"
#include "fakes/OrdinaryUser.h"
#include "fakes/TempDir.h"
#include "fakes/WriteNumbered.h"
#include "platform/BackupStore.h"

namespace {


mode_t ModeOf(const std::string& strPath) {
    struct stat st {};
    lstat(strPath.c_str(), &st);
    return st.st_mode & 07777;
}

class BackupRestoreTest : public ::testing::Test {
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
    // Writes strFolder/strName and backs it up under nNumber.
    void BackUp(CBackupStore& store, uint32_t nNumber, const std::string& strFolder, const std::string& strName,
                const std::string& strContent) {
        ASSERT_TRUE(CTempDir::WriteFile(strFolder + "/" + strName, strContent));
        ASSERT_TRUE(WriteNumbered(store, nNumber, strFolder, strName));
    }
};

TEST_F(BackupRestoreTest, AMissingFileComesBackWithEveryByteAndTheUmask) {
    // Whole 64-byte blocks and a tail, every byte value.
    std::string strContent(1000, '\0');
    for (size_t i = 0; i < strContent.size(); ++i)
        strContent[i] = static_cast<char>((i * 37 + 11) & 0xFF);
    CBackupStore store(m_strWork);
    BackUp(store, 1, m_strSource, "a.exe", strContent);
    const std::string strStored = CTempDir::ReadFile(m_strWork + "/00000001.Vxe");
    ASSERT_EQ(strStored.size(), 512 + strContent.size());
    for (size_t i = 0; i < strContent.size(); ++i) {
        const unsigned b = static_cast<unsigned char>(strContent[i]);
        ASSERT_EQ(static_cast<unsigned char>(strStored[512 + i]), ((b & 1) << 7) | (b >> 1)) << i;
    }

    ASSERT_EQ(unlink((m_strSource + "/a.exe").c_str()), 0);
    const mode_t nOldMask = umask(027);
    const ERestoreResult eResult = store.Restore("00000001.Vxe");
    const mode_t nMaskAfter = umask(nOldMask);
    ASSERT_EQ(eResult, RESTORE_OK);
    EXPECT_EQ(nMaskAfter, 027u);
    EXPECT_EQ(CTempDir::ReadFile(m_strSource + "/a.exe"), strContent);
    EXPECT_EQ(ModeOf(m_strSource + "/a.exe"), 0640u);
    EXPECT_EQ(CTempDir::Entries(m_strSource), std::vector<std::string>{"a.exe"});
    EXPECT_TRUE(store.List().empty());
}

TEST_F(BackupRestoreTest, RootKeepsTheOwnerGroupAndModeOfAUsersFile) {
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can give files to another user";
    const uid_t nUid = 4321;
    const gid_t nGid = 8765;
    CBackupStore store(m_strWork);
    BackUp(store, 1, m_strSource, "a.exe", "original a");
    // A cleaned file of the user's, set-id bits included (a chown clears them).
    const std::string strFile = m_strSource + "/a.exe";
    CTempDir::WriteFile(strFile, "cleaned");
    ASSERT_EQ(chown(strFile.c_str(), nUid, nGid), 0);
    ASSERT_EQ(chmod(strFile.c_str(), 06751), 0);
    ASSERT_EQ(store.Restore("00000001.Vxe"), RESTORE_OK);
    struct stat st {};
    ASSERT_EQ(lstat(strFile.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, nUid);
    EXPECT_EQ(st.st_gid, nGid);
    EXPECT_EQ(st.st_mode & 07777, 06751u);
    EXPECT_EQ(CTempDir::ReadFile(strFile), "original a");

    // A file that is gone, in a user's folder that is gone too: both come
    // back as the user's, not root's.
    const std::string strUserFolder = m_dir / "home";
    ASSERT_EQ(mkdir(strUserFolder.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((strUserFolder + "/docs").c_str(), 0755), 0);
    BackUp(store, 2, strUserFolder + "/docs", "b.doc", "original b");
    ASSERT_EQ(chown(strUserFolder.c_str(), nUid, nGid), 0);
    CTempDir::RemoveTree(strUserFolder + "/docs");
    ASSERT_EQ(store.Restore("00000002.Voc"), RESTORE_OK);
    for (const std::string& strPath : {strUserFolder + "/docs", strUserFolder + "/docs/b.doc"}) {
        ASSERT_EQ(lstat(strPath.c_str(), &st), 0) << strPath;
        EXPECT_EQ(st.st_uid, nUid) << strPath;
        EXPECT_EQ(st.st_gid, nGid) << strPath;
    }
    EXPECT_EQ(CTempDir::ReadFile(strUserFolder + "/docs/b.doc"), "original b");
}

TEST_F(BackupRestoreTest, AFileItsUserCouldNotWriteOrKeepIsNotReplaced) {
    CBackupStore store(m_strWork);
    BackUp(store, 1, m_strSource, "a.exe", "original a");
    BackUp(store, 2, m_strSource, "w.exe", "original w");
    const std::string strA = m_strSource + "/a.exe", strW = m_strSource + "/w.exe";
    CTempDir::WriteFile(strA, "cleaned a");
    CTempDir::WriteFile(strW, "cleaned w");
    const bool bRoot = geteuid() == 0;
    if (bRoot) {
        // The user's work folder and backups, in the user's folder (so a
        // rename over the files would go through); the files are root's,
        // a.exe read-only to the user, w.exe writable by everyone.
        ASSERT_EQ(chmod(m_dir.Path().c_str(), 0755), 0);
        for (const std::string& strPath :
             {m_strWork, m_strWork + "/00000001.Vxe", m_strWork + "/00000002.Vxe", m_strSource})
            ASSERT_EQ(chown(strPath.c_str(), 65534, 65534), 0);
        ASSERT_EQ(chmod(strW.c_str(), 0666), 0);
    } else {
        ASSERT_EQ(chmod(strA.c_str(), 0444), 0);
    }
    const int nUnreachable = 200;
    auto fnRestore = [&](const char* pszBackup) {
        return [&, pszBackup] {
            return access(m_strWork.c_str(), X_OK) == 0 ? static_cast<int>(store.Restore(pszBackup)) : nUnreachable;
        };
    };
    const int nResult = AsOrdinaryUser(fnRestore("00000001.Vxe"));
    if (nResult == nUnreachable)
        GTEST_SKIP() << "the temporary folder is out of uid 65534's reach";
    EXPECT_EQ(nResult, RESTORE_NOT_WRITABLE);
    if (bRoot) {  // another user's file only root can make
        EXPECT_EQ(AsOrdinaryUser(fnRestore("00000002.Vxe")), RESTORE_OWNER);
    }
    EXPECT_EQ(CTempDir::ReadFile(strA), "cleaned a");
    EXPECT_EQ(CTempDir::ReadFile(strW), "cleaned w");
    EXPECT_EQ(CTempDir::Entries(m_strSource), (std::vector<std::string>{"a.exe", "w.exe"}));
    EXPECT_EQ(CTempDir::Entries(m_strWork), (std::vector<std::string>{"00000001.Vxe", "00000002.Vxe"}));
}

TEST_F(BackupRestoreTest, TheAclOfTheReplacedFileIsKeptAndNoneIsAdded) {
    CBackupStore store(m_strWork);
    BackUp(store, 1, m_strSource, "a.exe", "original a");
    BackUp(store, 2, m_strSource, "b.exe", "original b");
    const std::string strA = m_strSource + "/a.exe", strB = m_strSource + "/b.exe";
    const std::string strAcl = AclValue({{0x01, 6, NO_ID}, {0x02, 4, 4321}, {0x04, 4, NO_ID}, {0x10, 5, NO_ID},
                                         {0x20, 0, NO_ID}});
    if (setxattr(strA.c_str(), "system.posix_acl_access", strAcl.data(), strAcl.size(), 0) != 0)
        GTEST_SKIP() << "the file system keeps no ACLs here: " << strerror(errno);
    const std::string strKept = AclOf(strA);
    ASSERT_FALSE(strKept.empty());
    const mode_t nModeA = ModeOf(strA);
    // The folder's default ACL would give a new file in it an ACL b.exe never had.
    const std::string strDefault = AclValue({{0x01, 7, NO_ID}, {0x04, 7, NO_ID}, {0x08, 7, 8765},
                                             {0x10, 7, NO_ID}, {0x20, 7, NO_ID}});
    ASSERT_EQ(setxattr(m_strSource.c_str(), "system.posix_acl_default", strDefault.data(), strDefault.size(), 0), 0);
    ASSERT_EQ(chmod(strB.c_str(), 0640), 0);

    ASSERT_EQ(store.Restore("00000001.Vxe"), RESTORE_OK);
    ASSERT_EQ(store.Restore("00000002.Vxe"), RESTORE_OK);
    EXPECT_EQ(AclOf(strA), strKept);
    EXPECT_EQ(ModeOf(strA), nModeA);
    EXPECT_EQ(AclOf(strB), "");
    EXPECT_EQ(ModeOf(strB), 0640u);
    EXPECT_EQ(CTempDir::ReadFile(strA), "original a");
}

TEST_F(BackupRestoreTest, AFolderSwappedForALinkAtTheMomentIsNeverWrittenThrough) {
    // Through the link the same path would reach a folder of the same shape.
    const std::string strDeep = m_strSource + "/d1/d2";
    ASSERT_EQ(mkdir((m_strSource + "/d1").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(strDeep.c_str(), 0755), 0);
    const std::string strElsewhere = m_dir / "elsewhere";
    ASSERT_EQ(mkdir(strElsewhere.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((strElsewhere + "/d2").c_str(), 0755), 0);
    CBackupStore store(m_strWork);
    BackUp(store, 1, strDeep, "a.exe", "original");
    ASSERT_EQ(unlink((strDeep + "/a.exe").c_str()), 0);

    const std::string strLevel = m_strSource + "/d1", strMoved = m_strSource + "/d1.moved";
    auto fnSwap = [&] {
        ASSERT_EQ(rename(strLevel.c_str(), strMoved.c_str()), 0);
        ASSERT_EQ(symlink(strElsewhere.c_str(), strLevel.c_str()), 0);
    };
    auto fnSwapBack = [&] {
        ASSERT_EQ(unlink(strLevel.c_str()), 0);
        ASSERT_EQ(rename(strMoved.c_str(), strLevel.c_str()), 0);
    };
    std::string strStage;
    store.m_fnTestHook = [&](const char* pszStage) {
        if (strStage == pszStage)
            fnSwap();
    };
    // Swapped once the backup is checked: the folder is refused.
    strStage = "restore";
    EXPECT_EQ(store.Restore("00000001.Vxe"), RESTORE_BAD_FOLDER);
    EXPECT_EQ(CTempDir::Entries(strElsewhere + "/d2"), std::vector<std::string>{});
    EXPECT_EQ(CTempDir::Entries(strMoved + "/d2"), std::vector<std::string>{});
    EXPECT_EQ(store.List().size(), 1u);
    fnSwapBack();

    // Swapped once the copy is complete: it lands in the folder that was
    // opened, wherever that is now, not behind the link.
    strStage = "replace";
    EXPECT_EQ(store.Restore("00000001.Vxe"), RESTORE_OK);
    EXPECT_EQ(CTempDir::Entries(strElsewhere + "/d2"), std::vector<std::string>{});
    EXPECT_EQ(CTempDir::ReadFile(strMoved + "/d2/a.exe"), "original");
    EXPECT_EQ(CTempDir::Entries(strMoved + "/d2"), std::vector<std::string>{"a.exe"});
}

TEST_F(BackupRestoreTest, OnlyWhatWasCheckedIsReplacedAndNoTemporaryFileStays) {
    CBackupStore store(m_strWork);
    BackUp(store, 1, m_strSource, "a.exe", "original a");
    BackUp(store, 2, m_strSource, "b.exe", "original b");
    BackUp(store, 3, m_strSource, "c.exe", "original c");
    const std::string strA = m_strSource + "/a.exe", strB = m_strSource + "/b.exe", strC = m_strSource + "/c.exe";
    // Saved again while the restore wrote its copy (a new file under the
    // name), and made where none was: both stay.
    CTempDir::WriteFile(strA, "cleaned a");
    ASSERT_EQ(unlink(strB.c_str()), 0);
    store.m_fnTestHook = [&](const char* pszStage) {
        if (strcmp(pszStage, "replace") == 0) {
            CTempDir::WriteFile(m_strSource + "/saved", "saved a");
            rename((m_strSource + "/saved").c_str(), strA.c_str());
        }
    };
    EXPECT_EQ(store.Restore("00000001.Vxe"), RESTORE_WRITE_FAILED);
    store.m_fnTestHook = [&](const char* pszStage) {
        if (strcmp(pszStage, "replace") == 0)
            CTempDir::WriteFile(strB, "made b");
    };
    EXPECT_EQ(store.Restore("00000002.Vxe"), RESTORE_WRITE_FAILED);
    EXPECT_EQ(CTempDir::ReadFile(strA), "saved a");
    EXPECT_EQ(CTempDir::ReadFile(strB), "made b");
    store.m_fnTestHook = nullptr;
    // Something other than a file in the way.
    ASSERT_EQ(unlink(strC.c_str()), 0);
    ASSERT_EQ(mkfifo(strC.c_str(), 0644), 0);
    EXPECT_EQ(store.Restore("00000003.Vxe"), RESTORE_NOT_A_FILE);
    EXPECT_EQ(CTempDir::Entries(m_strSource), (std::vector<std::string>{"a.exe", "b.exe", "c.exe"}));
    EXPECT_EQ(store.List().size(), 3u);
}

TEST_F(BackupRestoreTest, OfTwoRestoresOrDeletionsOfOneBackupTheLaterFindsItGone) {
    CBackupStore store(m_strWork), other(m_strWork);
    BackUp(store, 1, m_strSource, "a.exe", "original a");
    BackUp(store, 2, m_strSource, "b.exe", "original b");
    const std::string strA = m_strSource + "/a.exe", strB = m_strSource + "/b.exe";
    CTempDir::WriteFile(strA, "cleaned a");
    CTempDir::WriteFile(strB, "cleaned b");
    // Another program restores the backup, or deletes it, once this one
    // has it open.
    std::function<void()> fnOther;
    store.m_fnTestHook = [&](const char* pszStage) {
        if (strcmp(pszStage, "restore") == 0 && fnOther)
            std::exchange(fnOther, nullptr)();
    };
    fnOther = [&] {
        ASSERT_EQ(other.Restore("00000001.Vxe"), RESTORE_OK);
        // The user edits the file it gave back.
        CTempDir::WriteFile(strA, "edited a");
    };
    EXPECT_EQ(store.Restore("00000001.Vxe"), RESTORE_GONE);
    EXPECT_EQ(CTempDir::ReadFile(strA), "edited a");
    fnOther = [&] { ASSERT_EQ(other.Delete("00000002.Vxe"), DELETE_OK); };
    EXPECT_EQ(store.Restore("00000002.Vxe"), RESTORE_GONE);
    EXPECT_EQ(CTempDir::ReadFile(strB), "cleaned b");
    EXPECT_EQ(CTempDir::Entries(m_strSource), (std::vector<std::string>{"a.exe", "b.exe"}));
    EXPECT_EQ(CTempDir::Entries(m_strWork), std::vector<std::string>{});
}

TEST_F(BackupRestoreTest, ANameThatHoldsAnotherFileSinceTheListingIsLeftAlone) {
    CBackupStore store(m_strWork);
    BackUp(store, 1, m_strSource, "a.exe", "original a");
    BackUp(store, 2, m_strSource, "b.exe", "original b");
    const std::vector<CBackupEntry> arListed = store.List();
    ASSERT_EQ(arListed.size(), 2u);
    ASSERT_TRUE(arListed[0].id.IsSet());
    ASSERT_EQ(rename((m_strWork + "/00000002.Vxe").c_str(), (m_strWork + "/00000001.Vxe").c_str()), 0);
    ASSERT_EQ(unlink((m_strSource + "/b.exe").c_str()), 0);
    EXPECT_EQ(store.Restore("00000001.Vxe", arListed[0].id), RESTORE_GONE);
    EXPECT_EQ(store.Delete("00000001.Vxe", arListed[0].id), DELETE_GONE);
    EXPECT_EQ(store.Restore("00000002.Vxe", arListed[1].id), RESTORE_GONE);
    EXPECT_EQ(CTempDir::Entries(m_strSource), std::vector<std::string>{"a.exe"});
    EXPECT_EQ(CTempDir::Entries(m_strWork), std::vector<std::string>{"00000001.Vxe"});
    // Under its new name it is the file listed.
    EXPECT_EQ(store.Restore("00000001.Vxe", arListed[1].id), RESTORE_OK);
    EXPECT_EQ(CTempDir::ReadFile(m_strSource + "/b.exe"), "original b");
}

}  // namespace
