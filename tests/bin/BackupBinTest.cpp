// The Backup Bin's decisions over a store in memory: which rows go, how the
// rest are numbered, what a failure keeps, Empty, and the header toggle.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "repair/BackupBin.h"

namespace {

class CFakeBinStore : public IBackupBinStore {
public:
    void Add(const std::string& strFile, const std::string& strFolder, const std::string& strName,
             int64_t nTime = 0, const std::string& strQuarantinedVirus = std::string()) {
        m_arItems.push_back(CBackupBinItem{strFile, CBackupInfo{strFolder, strName}, nTime, CFileId{1, ++m_nIno},
                                           !strQuarantinedVirus.empty(), strQuarantinedVirus});
        m_bChanged = true;
    }
    // Another file takes the name of a backup (restored or deleted elsewhere).
    void Replace(const std::string& strFile) {
        for (CBackupBinItem& item : m_arItems)
            if (item.strFileName == strFile)
                item.id.nIno = ++m_nIno;
        m_bChanged = true;
    }
    std::vector<CBackupBinItem> ListBackups() const override { return m_arItems; }
    ERestoreResult RestoreBackup(const std::string& strFile, const CFileId& id) override {
        m_arRestoreCalls.push_back(strFile);
        if (!Find(strFile, id))
            return RESTORE_GONE;
        return !m_setBroken.count(strFile) && Remove(strFile) ? RESTORE_OK : RESTORE_NOT_WRITABLE;
    }
    EDeleteResult DeleteBackup(const std::string& strFile, const CFileId& id) override {
        if (!Find(strFile, id))
            return DELETE_GONE;
        return !m_setBroken.count(strFile) && Remove(strFile) ? DELETE_OK : DELETE_FAILED;
    }
    void RemoveLeftovers() override { ++m_nSweeps; }
    bool TakeChange() override { return std::exchange(m_bChanged, false); }
    void StopWatch() override {}
    int m_nSweeps = 0;

    std::vector<std::string> Files() const {
        std::vector<std::string> ar;
        for (const CBackupBinItem& item : m_arItems)
            ar.push_back(item.strFileName);
        return ar;
    }

    std::set<std::string> m_setBroken;  // restore and delete fail on these
    std::vector<std::string> m_arRestoreCalls;

private:
    bool Find(const std::string& strFile, const CFileId& id) const {
        for (const CBackupBinItem& item : m_arItems)
            if (item.strFileName == strFile)
                return !id.IsSet() || item.id == id;  // unset: whatever the name holds
        return false;
    }
    bool Remove(const std::string& strFile) {
        for (auto it = m_arItems.begin(); it != m_arItems.end(); ++it)
            if (it->strFileName == strFile) {
                m_arItems.erase(it);
                m_bChanged = true;
                return true;
            }
        return false;
    }
    std::vector<CBackupBinItem> m_arItems;
    uint64_t m_nIno = 0;
    bool m_bChanged = false;
};

using Strings = std::vector<std::string>;

class BackupBinTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_store.Add("00000001.Vxe", "/home/u/dl", "setup.exe");
        m_store.Add("00000002.Voc", "/home/u/docs", "report.doc");
        m_store.Add("00000003.VADME", "/srv", "README");
        ASSERT_EQ(m_bin.Load(), 3);
    }
    Strings Column(int nCol) const {
        Strings ar;
        for (int i = 0; i < m_bin.GetCount(); ++i)
            ar.push_back(m_bin.GetCellText(i, nCol));
        return ar;
    }
    Strings Ticks() const {
        Strings ar;
        for (int i = 0; i < m_bin.GetCount(); ++i)
            ar.push_back(m_bin.IsChecked(i) ? "x" : "-");
        return ar;
    }

    CFakeBinStore m_store;
    CBackupBin m_bin{m_store};
};

TEST_F(BackupBinTest, LoadShowsEveryBackupNumberedFromOneAndNoneTicked) {
    EXPECT_EQ(Column(BIN_COL_NUM), (Strings{"1", "2", "3"}));
    EXPECT_EQ(Column(BIN_COL_NAME), (Strings{"setup.exe", "report.doc", "README"}));
    EXPECT_EQ(Column(BIN_COL_FOLDER), (Strings{"/home/u/dl", "/home/u/docs", "/srv"}));
    EXPECT_EQ(Column(BIN_COL_FILE), (Strings{"00000001.Vxe", "00000002.Voc", "00000003.VADME"}));
    EXPECT_EQ(Ticks(), (Strings{"-", "-", "-"}));
    EXPECT_EQ(m_bin.GetCountText(), "3");
    EXPECT_TRUE(m_bin.CanRestore());
    EXPECT_TRUE(m_bin.CanEmpty());
    EXPECT_EQ(m_bin.GetCellText(3, BIN_COL_NAME), "");
    EXPECT_EQ(m_bin.GetCellText(0, BIN_COL_COUNT), "");
    m_bin.SetCheck(3, true);  // no such row
    EXPECT_FALSE(m_bin.HasChecked());
}

TEST_F(BackupBinTest, NamesStayBytesAndTheRootShowsAsSlash) {
    CFakeBinStore store;
    const std::string strOdd = "caf\xE9\xFF.txt";  // not UTF-8
    store.Add("00000009.Vxt", "", strOdd);
    CBackupBin bin(store);
    ASSERT_EQ(bin.Load(), 1);
    EXPECT_EQ(bin.GetCellText(0, BIN_COL_NAME), strOdd);
    EXPECT_EQ(bin.GetRow(0).item.info.strName, strOdd);
    EXPECT_EQ(bin.GetCellText(0, BIN_COL_FOLDER), "/");
    EXPECT_EQ(bin.GetRow(0).item.info.strFolder, "");
}

TEST_F(BackupBinTest, NothingTickedRestoresNothing) {
    EXPECT_FALSE(m_bin.HasChecked());
    CRestoreOutcome outcome = m_bin.RestoreChecked();
    EXPECT_TRUE(outcome.arRemoved.empty());
    EXPECT_EQ(outcome.nFailed, 0);
    EXPECT_TRUE(m_store.m_arRestoreCalls.empty());
    EXPECT_EQ(m_bin.GetCount(), 3);

    CFakeBinStore store;
    CBackupBin bin(store);
    EXPECT_EQ(bin.Load(), 0);
    EXPECT_EQ(bin.GetCountText(), "0");
    EXPECT_FALSE(bin.CanRestore());
    EXPECT_FALSE(bin.CanEmpty());
}

TEST_F(BackupBinTest, RestoringTheSecondOfThreeRenumbersTheRest) {
    m_bin.ToggleCheck(1);
    EXPECT_TRUE(m_bin.HasChecked());
    CRestoreOutcome outcome = m_bin.RestoreChecked();
    EXPECT_EQ(outcome.arRemoved, (std::vector<int>{1}));
    EXPECT_EQ(outcome.nFailed, 0);
    EXPECT_EQ(m_store.m_arRestoreCalls, (Strings{"00000002.Voc"}));
    EXPECT_EQ(m_store.Files(), (Strings{"00000001.Vxe", "00000003.VADME"}));
    EXPECT_EQ(Column(BIN_COL_NUM), (Strings{"1", "2"}));
    EXPECT_EQ(Column(BIN_COL_NAME), (Strings{"setup.exe", "README"}));
    EXPECT_EQ(Ticks(), (Strings{"-", "-"}));
    EXPECT_EQ(m_bin.GetCountText(), "2");
    EXPECT_TRUE(m_bin.CanRestore());
}

TEST_F(BackupBinTest, ARowThatMovesUpIsExaminedNext) {
    // Rows 0 and 1 ticked: after row 0 goes, the old row 1 sits at 0.
    m_bin.SetCheck(0, true);
    m_bin.SetCheck(1, true);
    CRestoreOutcome outcome = m_bin.RestoreChecked();
    EXPECT_EQ(outcome.arRemoved, (std::vector<int>{0, 0}));
    EXPECT_EQ(Column(BIN_COL_NAME), (Strings{"README"}));
    EXPECT_EQ(Column(BIN_COL_NUM), (Strings{"1"}));
}

TEST_F(BackupBinTest, RestoringEveryRowLeavesNothingToRestore) {
    ASSERT_TRUE(m_bin.OnColumnClick(BIN_COL_NUM));  // clears
    ASSERT_TRUE(m_bin.OnColumnClick(BIN_COL_NUM));  // ticks all
    CRestoreOutcome outcome = m_bin.RestoreChecked();
    EXPECT_EQ(outcome.arRemoved, (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(m_bin.GetCount(), 0);
    EXPECT_EQ(m_bin.GetCountText(), "0");
    EXPECT_FALSE(m_bin.CanRestore());
    EXPECT_FALSE(m_bin.CanEmpty());
    EXPECT_TRUE(m_store.Files().empty());
}

TEST_F(BackupBinTest, AFailedRestoreKeepsItsRowTickedAndTheOthersGoOn) {
    m_store.m_setBroken.insert("00000002.Voc");
    m_bin.SetCheck(0, true);
    m_bin.SetCheck(1, true);
    m_bin.SetCheck(2, true);
    CRestoreOutcome outcome = m_bin.RestoreChecked();
    // Row 0 goes; the failed one moves up to 0 and stays; the last goes
    // from index 1.
    EXPECT_EQ(outcome.arRemoved, (std::vector<int>{0, 1}));
    EXPECT_EQ(outcome.nFailed, 1);
    EXPECT_EQ(m_store.m_arRestoreCalls, (Strings{"00000001.Vxe", "00000002.Voc", "00000003.VADME"}));
    EXPECT_EQ(Column(BIN_COL_FILE), (Strings{"00000002.Voc"}));
    EXPECT_EQ(Column(BIN_COL_NUM), (Strings{"1"}));
    EXPECT_EQ(Ticks(), (Strings{"x"}));
    EXPECT_EQ(m_store.Files(), (Strings{"00000002.Voc"}));
    EXPECT_TRUE(m_bin.CanRestore());

    // Trying again once the cause is gone restores it.
    m_store.m_setBroken.clear();
    outcome = m_bin.RestoreChecked();
    EXPECT_EQ(outcome.arRemoved, (std::vector<int>{0}));
    EXPECT_EQ(m_bin.GetCount(), 0);
}

TEST_F(BackupBinTest, DeleteTakesTheTickedRowsElseTheMenusRowAndOnlyTheFileListed) {
    // Nothing ticked: the row the menu was opened on.
    EXPECT_EQ(m_bin.GetActionRows(2), (std::vector<int>{2}));
    m_bin.SetCheck(0, true);
    m_bin.SetCheck(2, true);
    const std::vector<int> arRows = m_bin.GetActionRows(1);
    EXPECT_EQ(arRows, (std::vector<int>{0, 2}));
    // The third's name comes to hold another file: it is left alone.
    m_store.Replace("00000003.VADME");
    const CDeleteOutcome outcome = m_bin.DeleteRows(arRows);
    EXPECT_EQ(outcome.arRemoved, (std::vector<int>{0, 1}));
    EXPECT_EQ(outcome.nGone, 1);
    EXPECT_EQ(outcome.nFailed, 0);
    EXPECT_EQ(m_store.Files(), (Strings{"00000002.Voc", "00000003.VADME"}));
    EXPECT_EQ(Column(BIN_COL_FILE), (Strings{"00000002.Voc"}));
    // One that cannot be deleted keeps its row.
    m_store.m_setBroken.insert("00000002.Voc");
    EXPECT_EQ(m_bin.DeleteRows({0}).nFailed, 1);
    EXPECT_EQ(m_bin.GetCount(), 1);
}

TEST_F(BackupBinTest, EmptyDeletesOnlyTheBackupsListedAndStillTheSameFile) {
    // After the list was read: a scan takes a backup, and the name of a
    // listed one comes to hold another file.
    m_store.Add("00000004.Vat", "/tmp", "late.dat");
    m_store.Replace("00000002.Voc");
    CEmptyOutcome outcome = m_bin.Empty();
    EXPECT_EQ(outcome.nDeleted, 2);
    EXPECT_EQ(outcome.nGone, 1);
    EXPECT_EQ(outcome.nFailed, 0);
    EXPECT_EQ(m_store.Files(), (Strings{"00000002.Voc", "00000004.Vat"}));
    // What is left shows at once.
    EXPECT_EQ(Column(BIN_COL_FILE), (Strings{"00000002.Voc", "00000004.Vat"}));
    EXPECT_EQ(m_bin.GetCountText(), "2");

    m_bin.Empty();
    EXPECT_TRUE(m_store.Files().empty());
    EXPECT_EQ(m_bin.GetCount(), 0);
    EXPECT_FALSE(m_bin.CanRestore());
    EXPECT_FALSE(m_bin.CanEmpty());
}

TEST_F(BackupBinTest, ARestoreWhoseBackupIsGoneDropsItsRowAndSaysSo) {
    m_store.Replace("00000001.Vxe");
    m_bin.SetCheck(0, true);
    m_bin.SetCheck(2, true);
    CRestoreOutcome outcome = m_bin.RestoreChecked();
    EXPECT_EQ(outcome.arRemoved, (std::vector<int>{0, 1}));
    EXPECT_EQ(outcome.nFailed, 0);
    EXPECT_EQ(outcome.nGone, 1);
    ASSERT_EQ(outcome.arFailures.size(), 1u);
    EXPECT_EQ(outcome.arFailures[0].second, RESTORE_GONE);
    // The file now under that name is not restored.
    EXPECT_EQ(m_store.Files(), (Strings{"00000001.Vxe", "00000002.Voc"}));
    EXPECT_EQ(Column(BIN_COL_FILE), (Strings{"00000002.Voc"}));
}

TEST_F(BackupBinTest, AChangedStoreReloadsAndRowsStillThereKeepTheirTicks) {
    EXPECT_FALSE(m_bin.StoreChanged());
    EXPECT_FALSE(m_bin.Reload());  // nothing new
    m_bin.SetCheck(0, true);
    m_bin.SetCheck(1, true);
    m_store.Replace("00000001.Vxe");
    m_store.Add("00000004.Vat", "/tmp", "late.dat");
    ASSERT_TRUE(m_bin.StoreChanged());
    EXPECT_TRUE(m_bin.Reload());
    EXPECT_FALSE(m_bin.StoreChanged());
    EXPECT_EQ(Column(BIN_COL_FILE), (Strings{"00000001.Vxe", "00000002.Voc", "00000003.VADME", "00000004.Vat"}));
    // Another file under the first name is a new row, not ticked.
    EXPECT_EQ(Ticks(), (Strings{"-", "x", "-", "-"}));
}

TEST_F(BackupBinTest, EmptyKeepsTheRowsOfBackupsItCouldNotDelete) {
    m_store.m_setBroken.insert("00000003.VADME");
    CEmptyOutcome outcome = m_bin.Empty();
    EXPECT_EQ(outcome.nDeleted, 2);
    EXPECT_EQ(outcome.nFailed, 1);
    EXPECT_EQ(Column(BIN_COL_FILE), (Strings{"00000003.VADME"}));
    EXPECT_EQ(Column(BIN_COL_NUM), (Strings{"1"}));
    EXPECT_TRUE(m_bin.CanEmpty());
}

TEST_F(BackupBinTest, TheNumberHeaderClearsFirstThenTicksAllInTurn) {
    m_bin.SetCheck(0, true);
    m_bin.SetCheck(2, true);
    // Other headers do nothing and do not advance the toggle.
    for (int nCol : {int(BIN_COL_NAME), int(BIN_COL_FOLDER), int(BIN_COL_FILE), -1}) {
        EXPECT_FALSE(m_bin.OnColumnClick(nCol));
        EXPECT_EQ(Ticks(), (Strings{"x", "-", "x"}));
    }
    EXPECT_TRUE(m_bin.OnColumnClick(BIN_COL_NUM));
    EXPECT_EQ(Ticks(), (Strings{"-", "-", "-"}));
    EXPECT_TRUE(m_bin.OnColumnClick(BIN_COL_NUM));
    EXPECT_EQ(Ticks(), (Strings{"x", "x", "x"}));
    EXPECT_TRUE(m_bin.OnColumnClick(BIN_COL_NUM));
    EXPECT_EQ(Ticks(), (Strings{"-", "-", "-"}));
}

TEST_F(BackupBinTest, TheNumberHeaderDoesNothingWithoutRows) {
    CFakeBinStore store;
    CBackupBin bin(store);
    bin.Load();
    EXPECT_FALSE(bin.OnColumnClick(BIN_COL_NUM));
    // The toggle did not advance: with rows, the first click still clears.
    store.Add("00000001.Vxe", "/a", "b.exe");
    bin.Load();
    bin.SetCheck(0, true);
    EXPECT_TRUE(bin.OnColumnClick(BIN_COL_NUM));
    EXPECT_FALSE(bin.IsChecked(0));
}

}  // namespace

// A header other than the first orders the rows, reversed on the next click
// and back in the store's order on the third; ticks go with their rows, the
// order holds over a reload, and the numbers follow the rows' places.
TEST_F(BackupBinTest, OtherHeadersSortTheRows) {
    m_bin.SetCheck(0, true);  // setup.exe
    ASSERT_TRUE(m_bin.SortByColumn(BIN_COL_NAME));
    EXPECT_EQ(Column(BIN_COL_NAME), (Strings{"README", "report.doc", "setup.exe"}));
    EXPECT_EQ(Column(BIN_COL_NUM), (Strings{"1", "2", "3"}));
    EXPECT_EQ(Ticks(), (Strings{"-", "-", "x"}));
    m_store.Add("00000004.Vxe", "/home/u", "archive.zip");
    ASSERT_TRUE(m_bin.Reload());
    EXPECT_EQ(Column(BIN_COL_NAME), (Strings{"archive.zip", "README", "report.doc", "setup.exe"}));
    EXPECT_EQ(Ticks(), (Strings{"-", "-", "-", "x"}));
    m_bin.SortByColumn(BIN_COL_NAME);
    EXPECT_EQ(Column(BIN_COL_NAME), (Strings{"setup.exe", "report.doc", "README", "archive.zip"}));
    m_bin.SortByColumn(BIN_COL_NAME);
    EXPECT_EQ(Column(BIN_COL_FILE), (Strings{"00000001.Vxe", "00000002.Voc", "00000003.VADME", "00000004.Vxe"}));
    // The first header still ticks; the hidden one orders nothing.
    EXPECT_FALSE(m_bin.SortByColumn(BIN_COL_NUM));
    EXPECT_FALSE(m_bin.SortByColumn(BIN_COL_FILE));
    // A restore from a sorted list takes the row the user ticked.
    m_bin.SortByColumn(BIN_COL_FOLDER);
    EXPECT_EQ(Column(BIN_COL_FOLDER), (Strings{"/home/u", "/home/u/dl", "/home/u/docs", "/srv"}));
    m_bin.SetCheck(3, true);
    const CRestoreOutcome outcome = m_bin.RestoreChecked();
    EXPECT_EQ(m_store.m_arRestoreCalls, (Strings{"00000001.Vxe", "00000003.VADME"}));
    EXPECT_EQ(outcome.arRemoved, (std::vector<int>{1, 2}));
}

TEST_F(BackupBinTest, DateKindAndVirusColumns) {
    CFakeBinStore store;
    // The same file backed up, then quarantined: the dates tell them apart.
    store.Add("00000001.Vxe", "/home/u", "a.exe", 86400 * 365);
    store.Add("00000002.Vxe", "/home/u", "a.exe", 86400 * 366, "EICAR-Test");
    CBackupBin bin(store);
    ASSERT_EQ(bin.Load(), 2);
    EXPECT_EQ(bin.GetCellText(0, BIN_COL_DATE), FormatBackupTime(86400 * 365));
    EXPECT_NE(bin.GetCellText(0, BIN_COL_DATE), bin.GetCellText(1, BIN_COL_DATE));
    EXPECT_EQ(bin.GetCellText(0, BIN_COL_DATE).size(), 19u);
    EXPECT_EQ(bin.GetCellText(0, BIN_COL_KIND), "backup");
    EXPECT_EQ(bin.GetCellText(1, BIN_COL_KIND), "quarantine");
    EXPECT_EQ(bin.GetCellText(0, BIN_COL_VIRUS), "");
    EXPECT_EQ(bin.GetCellText(1, BIN_COL_VIRUS), "EICAR-Test");
    bin.SortByColumn(BIN_COL_DATE);
    bin.SortByColumn(BIN_COL_DATE);
    EXPECT_EQ(bin.GetCellText(0, BIN_COL_FILE), "00000002.Vxe");
}
