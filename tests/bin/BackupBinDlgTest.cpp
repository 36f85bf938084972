// The Backup Bin as a user meets it, over a real work folder: tick the
// second of three backups with a click on its box, Restore and answer Yes,
// then Empty and answer Yes.

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <optional>
#include <string>
#include <vector>

#include <wx/button.h>
#include <wx/listctrl.h>
#include <wx/stattext.h>

#include "DialogDriver.h"
#include "app/MessageBox.h"
#include "fakes/TempDir.h"
#include "fakes/WriteNumbered.h"
#include "repair/BackupBinDlg.h"

namespace {

struct CAsked {
    wxString strText;
    wxString strCaption;
    long nStyle;
};

// $TMPDIR points at a private folder for the test, so the bin's own work
// folder lies in it.
class CTmpDirScope {
public:
    explicit CTmpDirScope(const std::string& strDir) {
        if (const char* psz = getenv("TMPDIR"))
            m_strOld = psz;
        setenv("TMPDIR", strDir.c_str(), 1);
    }
    ~CTmpDirScope() {
        if (m_strOld)
            setenv("TMPDIR", m_strOld->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

private:
    std::optional<std::string> m_strOld;
};

class BackupBinDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_dir.Path().empty());
        m_strWork = m_dir / "Palisar";
        m_strSource = m_dir / "src";
        ASSERT_EQ(mkdir(m_strWork.c_str(), 0700), 0);
        ASSERT_EQ(mkdir(m_strSource.c_str(), 0755), 0);
        CBackupStore store(m_strWork);
        const char* arNames[] = {"first.exe", "second.doc", "third.xls"};
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(CTempDir::WriteFile(m_strSource + "/" + arNames[i], std::string("infected ") + arNames[i]));
            ASSERT_TRUE(WriteNumbered(store, static_cast<uint32_t>(i + 1), m_strSource, arNames[i]));
        }
        // The repaired file stands where the restore will write.
        ASSERT_TRUE(CTempDir::WriteFile(m_strSource + "/second.doc", "repaired"));
        ASSERT_TRUE(CTempDir::WriteFile(m_strWork + "/notes.txt", "not a backup"));
        SetMessageBoxHook([this](const wxString& strText, const wxString& strCaption, long nStyle) {
            m_arAsked.push_back(CAsked{strText, strCaption, nStyle});
            return (nStyle & wxYES_NO) ? wxYES : wxOK;
        });
    }
    void TearDown() override { SetMessageBoxHook(nullptr); }

    static bool Exists(const std::string& strPath) {
        struct stat st;
        return lstat(strPath.c_str(), &st) == 0;
    }
    static void Press(wxDialog& dlg, int nId) {
        wxWindow* pButton = dlg.FindWindow(nId);
        ASSERT_NE(pButton, nullptr);
        ASSERT_TRUE(pButton->IsEnabled()) << nId;
        wxCommandEvent event(wxEVT_BUTTON, nId);
        event.SetEventObject(pButton);
        pButton->GetEventHandler()->ProcessEvent(event);
    }
    // A left click on the check box image of a row, delivered to the
    // window that draws the rows, as the mouse delivers it.
    static void ClickCheck(CTipListCtrl* pList, int nRow) {
        wxRect rc;
        ASSERT_TRUE(pList->GetSubItemRect(nRow, 0, rc, wxLIST_RECT_ICON));
        wxWindow* pRows = pList->GetRowsWindow();
        const wxPoint pt = rc.GetPosition() + wxPoint(rc.width / 2, rc.height / 2) -
                           (pRows == pList ? wxPoint() : pRows->GetPosition());
        int nFlags = 0;
        ASSERT_EQ(pList->HitTest(pt, nFlags), nRow);
        ASSERT_TRUE(nFlags & wxLIST_HITTEST_ONITEMICON);
        wxMouseEvent down(wxEVT_LEFT_DOWN);
        down.SetPosition(pt);
        down.m_leftDown = true;
        down.SetEventObject(pRows);
        pRows->GetEventHandler()->ProcessEvent(down);
        wxMouseEvent up(wxEVT_LEFT_UP);
        up.SetPosition(pt);
        up.SetEventObject(pRows);
        pRows->GetEventHandler()->ProcessEvent(up);
    }
    static void ClickHeader(wxListCtrl* pList, int nCol) {
        wxListEvent event(wxEVT_LIST_COL_CLICK, pList->GetId());
        event.m_col = nCol;
        event.SetEventObject(pList);
        pList->GetEventHandler()->ProcessEvent(event);
    }
    static void PressSpace(CTipListCtrl* pList) {
        wxWindow* pRows = pList->GetRowsWindow();
        wxKeyEvent key(wxEVT_KEY_DOWN);
        key.m_keyCode = WXK_SPACE;
        key.SetEventObject(pRows);
        pRows->GetEventHandler()->ProcessEvent(key);
    }
    static std::vector<std::string> Column(wxListCtrl* pList, int nCol) {
        std::vector<std::string> ar;
        for (int i = 0; i < pList->GetItemCount(); ++i)
            ar.push_back(std::string(pList->GetItemText(i, nCol).utf8_str()));
        return ar;
    }
    static int CheckImage(wxListCtrl* pList, int nRow) {
        wxListItem item;
        item.SetId(nRow);
        item.SetMask(wxLIST_MASK_IMAGE);
        pList->GetItem(item);
        return item.GetImage();
    }

    CTempDir m_dir;
    std::string m_strWork;
    std::string m_strSource;
    std::vector<CAsked> m_arAsked;
};

using Strings = std::vector<std::string>;

TEST_F(BackupBinDlgTest, RestoreTheSecondOfThreeThenEmptyTheRest) {
    CTmpDirScope tmp(m_dir.Path());
    CBackupBinDlg dlg(nullptr);
    CTipListCtrl* pList = nullptr;
    wxStaticText* pCount = nullptr;

    CDialogDriver driver(dlg, {
        [&] {
            pList = dynamic_cast<CTipListCtrl*>(dlg.FindWindow(CBackupBinDlg::IDC_BACKUP_LIST));
            pCount = dynamic_cast<wxStaticText*>(dlg.FindWindow(CBackupBinDlg::IDC_COUNT));
            ASSERT_NE(pList, nullptr);
            ASSERT_NE(pCount, nullptr);
            EXPECT_EQ(dlg.GetTitle(), "Backup Bin");
            ExpectTextsWhole(dlg);
            EXPECT_EQ(dlg.GetWorkDir(), m_strWork);
            EXPECT_EQ(pList->GetBackgroundColour(), wxColour(251, 254, 226));
            ASSERT_EQ(pList->GetColumnCount(), 4);
            EXPECT_EQ(pList->GetColumnWidth(3), 0);
            EXPECT_EQ(Column(pList, 0), (Strings{"1", "2", "3"}));
            EXPECT_EQ(Column(pList, 1), (Strings{"first.exe", "second.doc", "third.xls"}));
            EXPECT_EQ(Column(pList, 2), (Strings{m_strSource, m_strSource, m_strSource}));
            EXPECT_EQ(Column(pList, 3), (Strings{"00000001.Vxe", "00000002.Voc", "00000003.Vls"}));
            EXPECT_EQ(pCount->GetLabel(), "3");
            EXPECT_TRUE(dlg.FindWindow(CBackupBinDlg::IDC_RESTORE)->IsEnabled());
            EXPECT_TRUE(dlg.FindWindow(CBackupBinDlg::IDC_EMPTY)->IsEnabled());

            // Restore with nothing ticked only says so.
            Press(dlg, CBackupBinDlg::IDC_RESTORE);
            ASSERT_EQ(m_arAsked.size(), 1u);
            EXPECT_EQ(m_arAsked[0].strText, wxString::FromUTF8("복원할 파일을 선택하세요."));
            EXPECT_EQ(m_arAsked[0].strCaption, wxString::FromUTF8("복원 오류"));
            EXPECT_EQ(m_arAsked[0].nStyle, wxOK | wxICON_INFORMATION);
            EXPECT_EQ(pList->GetItemCount(), 3);

            // Header 0 clears first, then ticks every row; other headers
            // do nothing.
            ClickCheck(pList, 0);
            ClickHeader(pList, 2);
            EXPECT_EQ(CheckImage(pList, 0), 1);
            ClickHeader(pList, 0);
            EXPECT_EQ(CheckImage(pList, 0), 0);
            ClickHeader(pList, 0);
            for (int i = 0; i < 3; ++i) {
                EXPECT_EQ(CheckImage(pList, i), 1) << i;
            }
            ClickHeader(pList, 0);
            EXPECT_FALSE(dlg.GetBin().HasChecked());
            EXPECT_EQ(CheckImage(pList, 2), 0);

            // A click on the second row's box ticks it; Space on that row,
            // now focused, clears and ticks it again.
            ClickCheck(pList, 1);
            EXPECT_TRUE(dlg.GetBin().IsChecked(1));
            EXPECT_EQ(CheckImage(pList, 1), 1);
            EXPECT_EQ(CheckImage(pList, 0), 0);
            PressSpace(pList);
            EXPECT_FALSE(dlg.GetBin().IsChecked(1));
            EXPECT_EQ(CheckImage(pList, 1), 0);
            PressSpace(pList);
            EXPECT_TRUE(dlg.GetBin().IsChecked(1));
            EXPECT_FALSE(dlg.GetBin().IsChecked(0));
            EXPECT_FALSE(dlg.GetBin().IsChecked(2));
        },
        [] {},  // paint the tick before the picture
        [&] {
            EXPECT_TRUE(SaveWindowShot(&dlg, "backup_bin.png"));
            m_arAsked.clear();
            Press(dlg, CBackupBinDlg::IDC_RESTORE);
            ASSERT_EQ(m_arAsked.size(), 1u);
            EXPECT_EQ(m_arAsked[0].strText, wxString::FromUTF8("선택된 파일을 복원하시겠습니까?"));
            EXPECT_EQ(m_arAsked[0].strCaption, wxString::FromUTF8("Torvane™ Lite"));
            EXPECT_EQ(m_arAsked[0].nStyle, wxYES_NO | wxICON_QUESTION);

            EXPECT_EQ(CTempDir::ReadFile(m_strSource + "/second.doc"), "infected second.doc");
            EXPECT_FALSE(Exists(m_strWork + "/00000002.Voc"));
            EXPECT_EQ(Column(pList, 0), (Strings{"1", "2"}));
            EXPECT_EQ(Column(pList, 1), (Strings{"first.exe", "third.xls"}));
            EXPECT_EQ(Column(pList, 3), (Strings{"00000001.Vxe", "00000003.Vls"}));
            EXPECT_EQ(CheckImage(pList, 0), 0);
            EXPECT_EQ(CheckImage(pList, 1), 0);
            EXPECT_EQ(pCount->GetLabel(), "2");
            EXPECT_TRUE(dlg.FindWindow(CBackupBinDlg::IDC_RESTORE)->IsEnabled());
            EXPECT_TRUE(dlg.FindWindow(CBackupBinDlg::IDC_EMPTY)->IsEnabled());
            EXPECT_TRUE(dlg.FindWindow(CBackupBinDlg::IDC_EXIT)->IsEnabled());
        },
        [&] {
            m_arAsked.clear();
            Press(dlg, CBackupBinDlg::IDC_EMPTY);
            ASSERT_EQ(m_arAsked.size(), 1u);
            EXPECT_EQ(m_arAsked[0].strText, wxString::FromUTF8("휴지통에 있는 모든 파일을 비우시겠습니까?"));
            EXPECT_EQ(m_arAsked[0].strCaption, wxString::FromUTF8("Torvane™ Lite"));
            EXPECT_EQ(m_arAsked[0].nStyle, wxYES_NO | wxICON_QUESTION);

            EXPECT_EQ(pList->GetItemCount(), 0);
            EXPECT_EQ(pCount->GetLabel(), "0");
            EXPECT_FALSE(Exists(m_strWork + "/00000001.Vxe"));
            EXPECT_FALSE(Exists(m_strWork + "/00000003.Vls"));
            EXPECT_TRUE(Exists(m_strWork + "/notes.txt"));
            EXPECT_EQ(CTempDir::ReadFile(m_strSource + "/first.exe"), "infected first.exe");
            EXPECT_FALSE(dlg.FindWindow(CBackupBinDlg::IDC_RESTORE)->IsEnabled());
            EXPECT_FALSE(dlg.FindWindow(CBackupBinDlg::IDC_EMPTY)->IsEnabled());
            EXPECT_TRUE(dlg.FindWindow(CBackupBinDlg::IDC_EXIT)->IsEnabled());
        },
        [&] { Press(dlg, CBackupBinDlg::IDC_EXIT); },
    });
    EXPECT_EQ(dlg.ShowModal(), wxID_CANCEL);
}

TEST_F(BackupBinDlgTest, AFailedRestoreKeepsItsRowAndIsReported) {
    // The source folder turns into a link: the store will not write
    // through it, so the restore fails and the backup stays.
    const std::string strMoved = m_dir / "moved";
    ASSERT_EQ(rename(m_strSource.c_str(), strMoved.c_str()), 0);
    ASSERT_EQ(symlink(strMoved.c_str(), m_strSource.c_str()), 0);
    CTmpDirScope tmp(m_dir.Path());
    CBackupBinDlg dlg(nullptr);
    CDialogDriver driver(dlg, {
        [&] {
            auto* pList = dynamic_cast<CTipListCtrl*>(dlg.FindWindow(CBackupBinDlg::IDC_BACKUP_LIST));
            ASSERT_NE(pList, nullptr);
            ClickCheck(pList, 0);
            Press(dlg, CBackupBinDlg::IDC_RESTORE);
            ASSERT_EQ(m_arAsked.size(), 2u);
            EXPECT_EQ(m_arAsked[1].strCaption, wxString::FromUTF8("복원 오류"));
            EXPECT_EQ(m_arAsked[1].nStyle, wxOK | wxICON_EXCLAMATION);
            EXPECT_EQ(pList->GetItemCount(), 3);
            EXPECT_EQ(CheckImage(pList, 0), 1);
            EXPECT_TRUE(Exists(m_strWork + "/00000001.Vxe"));
            EXPECT_TRUE(dlg.FindWindow(CBackupBinDlg::IDC_RESTORE)->IsEnabled());
            EXPECT_TRUE(dlg.FindWindow(CBackupBinDlg::IDC_EXIT)->IsEnabled());
        },
        [&] { Press(dlg, CBackupBinDlg::IDC_EXIT); },
    });
    EXPECT_EQ(dlg.ShowModal(), wxID_CANCEL);
}

}  // namespace
