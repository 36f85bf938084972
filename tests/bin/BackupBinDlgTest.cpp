// The Backup Bin as a user meets it, over a real work folder: tick the
// second of three backups with a click on its box, Restore and answer Yes,
// then Empty and answer Yes. And `quillet --backup-bin`, the program itself
// on this display, showing the bin alone.

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <string>
#include <utility>
#include <vector>

#include <wx/button.h>
#include <wx/listctrl.h>
#include <wx/stattext.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include "DialogDriver.h"
#include "ui/MessageBox.h"
#include "ui/WindowTestSupport.h"
#include "fakes/TempDir.h"
#include "fakes/TestPaths.h"
#include "fakes/WriteNumbered.h"
#include "platform/BackupStore.h"
#include "ui/BackupBinDlg.h"

// Last: its macros would clash with names above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

extern char** environ;

namespace {

struct CAsked {
    wxString strText;
    wxString strCaption;
    long nStyle;
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
    CBackupStore store(m_strWork);
    CBackupBinDlg dlg(nullptr, store);
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
            EXPECT_EQ(pList->GetBackgroundColour(), wxColour(251, 254, 226));
            ASSERT_EQ(pList->GetColumnCount(), BIN_COL_COUNT);
            EXPECT_EQ(pList->GetColumnWidth(BIN_COL_FILE), 0);
            EXPECT_EQ(Column(pList, BIN_COL_NUM), (Strings{"1", "2", "3"}));
            EXPECT_EQ(Column(pList, BIN_COL_NAME), (Strings{"first.exe", "second.doc", "third.xls"}));
            EXPECT_EQ(Column(pList, BIN_COL_FOLDER), (Strings{m_strSource, m_strSource, m_strSource}));
            EXPECT_EQ(Column(pList, BIN_COL_KIND), (Strings{"backup", "backup", "backup"}));
            EXPECT_EQ(Column(pList, BIN_COL_FILE), (Strings{"00000001.Vxe", "00000002.Voc", "00000003.Vls"}));
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

            // Header 0 clears first, then ticks every row; the name's
            // header orders the rows (these are in name order already).
            ClickCheck(pList, 0);
            ClickHeader(pList, BIN_COL_NAME);
            EXPECT_EQ(Column(pList, BIN_COL_NAME), (Strings{"first.exe", "second.doc", "third.xls"}));
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
            EXPECT_EQ(m_arAsked[0].strCaption, "Torvane Professional");
            EXPECT_EQ(m_arAsked[0].nStyle, wxYES_NO | wxICON_QUESTION);

            EXPECT_EQ(CTempDir::ReadFile(m_strSource + "/second.doc"), "infected second.doc");
            EXPECT_FALSE(Exists(m_strWork + "/00000002.Voc"));
            EXPECT_EQ(Column(pList, 0), (Strings{"1", "2"}));
            EXPECT_EQ(Column(pList, 1), (Strings{"first.exe", "third.xls"}));
            EXPECT_EQ(Column(pList, BIN_COL_FILE), (Strings{"00000001.Vxe", "00000003.Vls"}));
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
            EXPECT_EQ(m_arAsked[0].strCaption, "Torvane Professional");
            EXPECT_EQ(m_arAsked[0].nStyle, wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION);

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
    CBackupStore store(m_strWork);
    CBackupBinDlg dlg(nullptr, store);
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

TEST_F(BackupBinDlgTest, TheListFollowsTheStoreAndEmptyDeletesOnlyWhatItShowed) {
    // Another program shares the work folder: a scan taking backups, or
    // quillet-bin restoring one.
    CBackupStore store(m_strWork), other(m_strWork);
    auto fnBackUp = [&](uint32_t nNumber, const char* pszName) {
        ASSERT_TRUE(CTempDir::WriteFile(m_strSource + "/" + pszName, "infected"));
        ASSERT_TRUE(WriteNumbered(other, nNumber, m_strSource, pszName));
    };
    CBackupBinDlg dlg(nullptr, store);
    // A tick of the Bin's own timer, at the moment the test chooses.
    wxTimer watch(&dlg, CBackupBinDlg::TIMER_STORE_WATCH);
    auto fnTick = [&] {
        wxTimerEvent event(watch);
        dlg.GetEventHandler()->ProcessEvent(event);
    };
    CDialogDriver driver(dlg, {
        [&] {
            auto* pList = dynamic_cast<CTipListCtrl*>(dlg.FindWindow(CBackupBinDlg::IDC_BACKUP_LIST));
            ASSERT_NE(pList, nullptr);
            ClickCheck(pList, 2);
            fnBackUp(4, "fourth.exe");
            fnTick();
            EXPECT_EQ(Column(pList, BIN_COL_FILE), (Strings{"00000001.Vxe", "00000002.Voc", "00000003.Vls", "00000004.Vxe"}));
            EXPECT_EQ(Column(pList, 0), (Strings{"1", "2", "3", "4"}));
            EXPECT_EQ(CheckImage(pList, 2), 1);
            EXPECT_EQ(CheckImage(pList, 3), 0);
            EXPECT_EQ(dynamic_cast<wxStaticText*>(dlg.FindWindow(CBackupBinDlg::IDC_COUNT))->GetLabel(), "4");

            // A backup is taken while the question is open (and the timer
            // ticks then): it was not shown, so it stays.
            SetMessageBoxHook([&](const wxString&, const wxString&, long) {
                fnBackUp(5, "fifth.exe");
                fnTick();
                return wxYES;
            });
            Press(dlg, CBackupBinDlg::IDC_EMPTY);
            EXPECT_EQ(CTempDir::Entries(m_strWork), (Strings{"00000005.Vxe", "notes.txt"}));
            EXPECT_EQ(Column(pList, BIN_COL_FILE), (Strings{"00000005.Vxe"}));

            // Restored by the other program: its row goes.
            ASSERT_EQ(other.Restore("00000005.Vxe"), RESTORE_OK);
            fnTick();
            EXPECT_EQ(pList->GetItemCount(), 0);
            EXPECT_FALSE(dlg.FindWindow(CBackupBinDlg::IDC_RESTORE)->IsEnabled());
            EXPECT_FALSE(dlg.FindWindow(CBackupBinDlg::IDC_EMPTY)->IsEnabled());
        },
        [&] { Press(dlg, CBackupBinDlg::IDC_EXIT); },
    });
    EXPECT_EQ(dlg.ShowModal(), wxID_CANCEL);
}

TEST_F(BackupBinDlgTest, DeleteFromTheMenuAsksWithNoAsDefaultThenDeletesTheTickedOnly) {
    // The menu from the real Menu key and "d"; the question's default is No,
    // No keeps everything, Yes deletes the ticked rows' backups only.
    int nAnswer = wxNO;
    SetMessageBoxHook([&](const wxString& strText, const wxString& strCaption, long nStyle) {
        m_arAsked.push_back(CAsked{strText, strCaption, nStyle});
        return nAnswer;
    });
    CBackupStore store(m_strWork);
    CBackupBinDlg dlg(nullptr, store);
    CBackupListCtrl* pList = nullptr;
    auto fnMenuKey = [&] {
        dlg.Raise();
        pList->SetFocus();
        pList->SetItemState(0, wxLIST_STATE_FOCUSED | wxLIST_STATE_SELECTED,
                            wxLIST_STATE_FOCUSED | wxLIST_STATE_SELECTED);
        wxUIActionSimulator sim;
        sim.Char(WXK_MENU);
    };
    // Sent once the menu is on the screen, so the key reaches it.
    auto fnDelete = [] {
        wxUIActionSimulator sim;
        sim.Char('d');
    };
    CStepper steps;
    steps.Add([&] { return dlg.IsShownOnScreen(); },
              [&] {
                  pList = dynamic_cast<CBackupListCtrl*>(dlg.FindWindow(CBackupBinDlg::IDC_BACKUP_LIST));
                  ASSERT_NE(pList, nullptr);
                  ClickCheck(pList, 1);
                  ClickCheck(pList, 2);
                  fnMenuKey();
              });
    steps.Add([&] { return dlg.GetOpenMenu() != nullptr; }, fnDelete);
    steps.Add([&] { return !dlg.GetOpenMenu() && m_arAsked.size() == 1; },
              [&] {
                  EXPECT_EQ(dlg.GetBin().GetCount(), 3);
                  nAnswer = wxYES;
                  fnMenuKey();
              });
    steps.Add([&] { return dlg.GetOpenMenu() != nullptr; }, fnDelete);
    steps.Add([&] { return !dlg.GetOpenMenu() && m_arAsked.size() == 2; },
              [&] {
                  EXPECT_EQ(dlg.GetBin().GetCount(), 1);
                  wxUIActionSimulator sim;
                  sim.Char(WXK_ESCAPE);
              });
    steps.Begin();
    EXPECT_EQ(dlg.ShowModal(), wxID_CANCEL);
    EXPECT_TRUE(steps.IsDone());
    CBackupStore after(m_strWork);
    const std::vector<CBackupBinItem> arLeft = after.ListBackups();
    ASSERT_EQ(arLeft.size(), 1u);
    EXPECT_EQ(arLeft[0].info.strName, "first.exe");
    ASSERT_EQ(m_arAsked.size(), 2u);
    for (const CAsked& asked : m_arAsked) {
        EXPECT_TRUE(asked.nStyle & wxNO_DEFAULT);
        EXPECT_NE(asked.strText.Find("2 file(s)"), wxNOT_FOUND);
    }
}

TEST_F(BackupBinDlgTest, EscapeStillClosesAfterARestoreOrAnEmptyFromTheKeyboard) {
    // The button pressed has the focus and is disabled while its pass runs;
    // the keys go on reaching the dialog.
    for (const auto& [nButton, nKey] : {std::pair{int(CBackupBinDlg::IDC_RESTORE), int(WXK_RETURN)},
                                        std::pair{int(CBackupBinDlg::IDC_EMPTY), int(WXK_SPACE)}}) {
        CBackupStore store(m_strWork);
        CBackupBinDlg dlg(nullptr, store);
        CDialogDriver driver(dlg, {
            [&] {
                auto* pList = dynamic_cast<CTipListCtrl*>(dlg.FindWindow(CBackupBinDlg::IDC_BACKUP_LIST));
                ASSERT_NE(pList, nullptr);
                ClickCheck(pList, 0);
                dlg.Raise();
                dlg.FindWindow(nButton)->SetFocus();
            },
            [] {},
            [nKey] {
                wxUIActionSimulator sim;
                sim.Char(nKey);
            },
            [] {},
            [&] {
                EXPECT_EQ(dlg.GetBin().GetCount(), nButton == CBackupBinDlg::IDC_RESTORE ? 2 : 0);
                wxUIActionSimulator sim;
                sim.Char(WXK_ESCAPE);
            },
        });
        EXPECT_EQ(dlg.ShowModal(), wxID_CANCEL) << nButton;
    }
}

// The top-level windows another program shows on this display, seen as the
// X server sees them.
class CXWindows {
public:
    CXWindows() : m_pDisplay(XOpenDisplay(nullptr)) {
        s_pDisplay = m_pDisplay;
        s_fnPrevious = XSetErrorHandler(OnError);
    }
    ~CXWindows() {
        XSetErrorHandler(s_fnPrevious);
        s_pDisplay = nullptr;
        if (m_pDisplay)
            XCloseDisplay(m_pDisplay);
    }
    bool IsOpen() const { return m_pDisplay != nullptr; }

    // Titles of the process's mapped top-level windows, with their ids.
    std::vector<std::pair<std::string, Window>> Shown(pid_t pid) {
        std::vector<std::pair<std::string, Window>> ar;
        Window root, parent, *pChildren = nullptr;
        unsigned nChildren = 0;
        if (!XQueryTree(m_pDisplay, DefaultRootWindow(m_pDisplay), &root, &parent, &pChildren, &nChildren))
            return ar;
        for (unsigned i = 0; i < nChildren; ++i) {
            XWindowAttributes attr;
            if (XGetWindowAttributes(m_pDisplay, pChildren[i], &attr) && attr.map_state == IsViewable &&
                Property(pChildren[i], "_NET_WM_PID", XA_CARDINAL) == std::to_string(pid))
                ar.emplace_back(Property(pChildren[i], "_NET_WM_NAME", XInternAtom(m_pDisplay, "UTF8_STRING", False)),
                                pChildren[i]);
        }
        XFree(pChildren);
        return ar;
    }
    // Waits up to 30 s for a window of that title; 0 when none came.
    Window WaitFor(pid_t pid, const std::string& strTitle) {
        for (int i = 0; i < 1500; ++i, wxMilliSleep(20))
            for (const auto& [strShown, window] : Shown(pid))
                if (strShown == strTitle)
                    return window;
        return 0;
    }
    // The keys that follow go to this window.
    void Focus(Window window) {
        XSetInputFocus(m_pDisplay, window, RevertToPointerRoot, CurrentTime);
        XSync(m_pDisplay, False);
    }

private:
    // The other program's windows come and go while we look: an error on
    // our own connection only means one went. The toolkit's go on as before.
    static int OnError(Display* pDisplay, XErrorEvent* pEvent) {
        if (pDisplay == s_pDisplay || !s_fnPrevious)
            return 0;
        return s_fnPrevious(pDisplay, pEvent);
    }
    static inline Display* s_pDisplay = nullptr;
    static inline XErrorHandler s_fnPrevious = nullptr;

    std::string Property(Window window, const char* pszName, Atom type) {
        Atom actual;
        int nFormat;
        unsigned long nItems, nAfter;
        unsigned char* pData = nullptr;
        std::string str;
        if (XGetWindowProperty(m_pDisplay, window, XInternAtom(m_pDisplay, pszName, False), 0, 1024, False, type,
                               &actual, &nFormat, &nItems, &nAfter, &pData) == Success && pData) {
            // A number (32-bit items arrive as longs) in decimal, a text as it is.
            str = nFormat == 32 ? std::to_string(*reinterpret_cast<long*>(pData))
                                : std::string(reinterpret_cast<char*>(pData), nItems * (nFormat / 8));
        }
        if (pData)
            XFree(pData);
        return str;
    }

    Display* m_pDisplay;
};

// Exit status, or -1 when it is still running after 30 s (it is then
// killed).
int WaitExit(pid_t pid) {
    int nStatus = 0;
    for (int i = 0; i < 1500; ++i, wxMilliSleep(20))
        if (waitpid(pid, &nStatus, WNOHANG) == pid)
            return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128 + WTERMSIG(nStatus);
    kill(pid, SIGKILL);
    waitpid(pid, &nStatus, 0);
    return -1;
}

TEST_F(BackupBinDlgTest, QuilletBackupBinShowsTheBinAloneOverTheWorkFolder) {
    CXWindows x;
    ASSERT_TRUE(x.IsOpen());
    const std::string strProgram = BinDir() + "/quillet";
    // In the C locale: the Bin's Korean texts come from the English catalog.
    // Its kept size goes into the test's folder, not the user's.
    std::vector<std::string> arEnv{"TMPDIR=" + m_dir.Path(), "LC_ALL=C", "XDG_STATE_HOME=" + m_dir / "state"};
    for (char** pp = environ; *pp; ++pp)
        if (strncmp(*pp, "TMPDIR=", 7) != 0 && strncmp(*pp, "LC_ALL=", 7) != 0 &&
            strncmp(*pp, "XDG_STATE_HOME=", 15) != 0)
            arEnv.push_back(*pp);
    std::vector<char*> arEnvp;
    for (std::string& str : arEnv)
        arEnvp.push_back(str.data());
    arEnvp.push_back(nullptr);
    char* arArgv[] = {const_cast<char*>(strProgram.c_str()), const_cast<char*>("--backup-bin"), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, strProgram.c_str(), nullptr, nullptr, arArgv, arEnvp.data()), 0);

    const Window bin = x.WaitFor(pid, "Backup Bin");
    EXPECT_NE(bin, 0u);
    // The bin is the only window: no main dialog behind it.
    EXPECT_EQ(x.Shown(pid).size(), 1u);
    wxUIActionSimulator sim;
    if (bin) {
        // Restore is the default button and enabled only when the work
        // folder's backups are listed; with none ticked it only says so.
        x.Focus(bin);
        sim.Char(WXK_RETURN);
        const Window box = x.WaitFor(pid, "Restore error");
        EXPECT_NE(box, 0u);
        if (box) {
            x.Focus(box);
            sim.Char(WXK_RETURN);
        }
        for (int i = 0; i < 1500 && x.Shown(pid).size() > 1; ++i)
            wxMilliSleep(20);
        x.Focus(bin);
        sim.Char(WXK_ESCAPE);
    }
    EXPECT_EQ(WaitExit(pid), 0);
    EXPECT_TRUE(Exists(m_strWork + "/00000001.Vxe"));
    EXPECT_TRUE(Exists(m_strWork + "/00000002.Voc"));
    EXPECT_TRUE(Exists(m_strWork + "/00000003.Vls"));
}

}  // namespace
