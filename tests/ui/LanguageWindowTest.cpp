// The windows in the user's language, from the build's catalogs through
// wx's own lookup (no system locale needed): Korean keeps every text as it
// always was, German translates, the C locale reads the Bin in English; and
// Enter on "empty the Bin?", a real key on the real question, keeps every
// backup.

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include <wx/checkbox.h>
#include <wx/listctrl.h>
#include <wx/stattext.h>
#include <wx/timer.h>
#include <wx/translation.h>
#include <wx/uiaction.h>

#include "bin/DialogDriver.h"
#include "fakes/TempDir.h"
#include "fakes/WriteNumbered.h"
#include "platform/BackupStore.h"
#include "platform/HostEngine.h"
#include "platform/UserLanguage.h"
#include "res/Strings.h"
#include "ui/BackupBinDlg.h"
#include "ui/MainDlg.h"
#include "ui/MessageBox.h"
#include "ui/TempServices.h"
#include "ui/WindowLanguage.h"

// Last: its macros would clash with names above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

using Strings = std::vector<std::string>;

// A wrapped label's text as one line again.
std::string Unwrapped(wxString str) {
    str.Replace("\n", " ");
    return std::string(str.utf8_str());
}

class LanguageWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_strWork = m_dir / "Palisar";
        ASSERT_EQ(mkdir(m_strWork.c_str(), 0700), 0);
        CBackupStore store(m_strWork);
        for (uint32_t n = 1; n <= 3; ++n) {
            const std::string strName = "file" + std::to_string(n) + ".exe";
            ASSERT_TRUE(CTempDir::WriteFile(m_dir / strName, "infected"));
            ASSERT_TRUE(WriteNumbered(store, n, m_dir.Path(), strName));
        }
        SetMessageBoxHook([this](const wxString& strText, const wxString& strCaption, long nStyle) {
            m_arAsked.push_back(std::string(strCaption.utf8_str()) + "|" + std::string(strText.utf8_str()));
            m_arStyles.push_back(nStyle);
            return wxNO;
        });
    }
    void TearDown() override {
        SetMessageBoxHook(nullptr);
        TranslateTexts(nullptr, nullptr);
        wxTranslations::Set(nullptr);
    }

    // The Bin's column titles and explanation as shown, and what Restore
    // with nothing ticked and Empty ask (both answered No).
    void ReadBin(Strings* parColumns, std::string* pstrExplanation) {
        CBackupStore store(m_strWork);
        CBackupBinDlg dlg(nullptr, store);
        CDialogDriver driver(dlg, {
            [&] {
                auto* pList = dynamic_cast<wxListCtrl*>(dlg.FindWindow(CBackupBinDlg::IDC_BACKUP_LIST));
                ASSERT_NE(pList, nullptr);
                for (int i = 0; i < pList->GetColumnCount(); ++i) {
                    wxListItem item;
                    item.SetMask(wxLIST_MASK_TEXT);
                    pList->GetColumn(i, item);
                    parColumns->push_back(std::string(item.GetText().utf8_str()));
                }
                for (wxWindow* pChild : dlg.GetChildren())
                    if (auto* pText = dynamic_cast<wxStaticText*>(pChild); pText && pText->GetLabelText().length() > 100)
                        *pstrExplanation = Unwrapped(pText->GetLabelText());
                for (int nId : {int(CBackupBinDlg::IDC_RESTORE), int(CBackupBinDlg::IDC_EMPTY)}) {
                    wxCommandEvent event(wxEVT_BUTTON, nId);
                    event.SetEventObject(dlg.FindWindow(nId));
                    dlg.FindWindow(nId)->GetEventHandler()->ProcessEvent(event);
                }
                dlg.EndModal(wxID_CANCEL);
            },
        });
        EXPECT_EQ(dlg.ShowModal(), wxID_CANCEL);
    }

    CTempDir m_dir;
    std::string m_strWork;
    Strings m_arAsked;
    std::vector<long> m_arStyles;
};

TEST_F(LanguageWindowTest, KoreanKeepsEveryTextByteForByte) {
    UseWindowLanguage("ko_KR", TextCatalogDir());
    for (int nId = 0; nId < QUILLET_TEXT_ID_END; ++nId)
        ASSERT_STREQ(LoadText(static_cast<EStringId>(nId)), LoadSourceText(static_cast<EStringId>(nId))) << nId;
    Strings arColumns;
    std::string strExplanation;
    ReadBin(&arColumns, &strExplanation);
    EXPECT_EQ(arColumns, (Strings{"순번", "파일명", LoadSourceText(IDS_BIN_COL_DATE), "디렉토리명",
                                  LoadSourceText(IDS_BIN_COL_KIND), LoadSourceText(IDS_BIN_COL_VIRUS), "실제 파일명"}));
    EXPECT_EQ(strExplanation, LoadSourceText(IDS_BIN_EXPLANATION));
    EXPECT_EQ(m_arAsked, (Strings{"복원 오류|복원할 파일을 선택하세요.",
                                  "Torvane Professional|휴지통에 있는 모든 파일을 비우시겠습니까?"}));
}

TEST_F(LanguageWindowTest, CLocaleReadsTheBinInEnglish) {
    UseWindowLanguage("", TextCatalogDir());
    Strings arColumns;
    std::string strExplanation;
    ReadBin(&arColumns, &strExplanation);
    EXPECT_EQ(arColumns, (Strings{"Num", "File name", "Date", "Folder", "Kind", "Virus name", "Backup file"}));
    // The sentence the table keeps cut is whole.
    EXPECT_TRUE(strExplanation.ends_with("This function can be activated in Configuration.")) << strExplanation;
    EXPECT_EQ(m_arAsked, (Strings{"Restore error|Please select the files to restore.",
                                  "Torvane Professional|Delete every file in the Bin for good?"}));
    // English texts of the table stay as they are.
    EXPECT_STREQ(LoadText(IDS_MAIN_SCAN_NOW), "Scan Now");
}

TEST_F(LanguageWindowTest, GermanTranslatesTheMainDialog) {
    UseWindowLanguage("de_DE", TextCatalogDir());
    SHostOptions options;
    options.strHostPath = m_dir / "no-host";
    CHostEngine missing(options);
    CTempServices services(m_dir.Path());
    CScanServices scanServices = services.Get();
    scanServices.pEngine = &missing;
    CScanSession session(scanServices);
    CMainDlg dlg(nullptr, session);
    EXPECT_EQ(static_cast<wxCheckBox*>(dlg.FindWindow(CMainDlg::IDC_ALL_FILES))->GetLabel(),
              wxString::FromUTF8("Alle Dateien"));
    EXPECT_EQ(static_cast<wxCheckBox*>(dlg.FindWindow(CMainDlg::IDC_SUBFOLDERS))->GetLabel(),
              wxString::FromUTF8("Unterordner einbeziehen"));
    // A Korean text German lacks comes in English, not in Korean.
    EXPECT_STREQ(LoadText(IDS_ABOUT_RIGHTS), "Copyright (C) 2001 Kestrum. Alle Rechte vorbehalten.");
    EXPECT_STREQ(LoadText(IDS_MAKER_LINE_1), "Kestrum develops antivirus software,");
}

// Presses a key on the first top-level window of this process that the X
// server shows with that title, once it is there.
class CKeyOnWindow : public wxTimer {
public:
    CKeyOnWindow(const std::string& strTitle, int nKey)
        : m_pDisplay(XOpenDisplay(nullptr)), m_strTitle(strTitle), m_nKey(nKey) {}
    ~CKeyOnWindow() override {
        if (m_pDisplay)
            XCloseDisplay(m_pDisplay);
    }
    bool IsSent() const { return m_bSent; }
    void Notify() override {
        const Window window = Find();
        if (!window)
            return;
        Stop();
        XSetInputFocus(m_pDisplay, window, RevertToPointerRoot, CurrentTime);
        XSync(m_pDisplay, False);
        wxUIActionSimulator sim;
        sim.Char(m_nKey);
        m_bSent = true;
    }

private:
    Window Find() {
        Window root, parent, *pChildren = nullptr, found = 0;
        unsigned nChildren = 0;
        if (!m_pDisplay || !XQueryTree(m_pDisplay, DefaultRootWindow(m_pDisplay), &root, &parent, &pChildren, &nChildren))
            return 0;
        for (unsigned i = 0; i < nChildren && !found; ++i) {
            XWindowAttributes attr;
            if (XGetWindowAttributes(m_pDisplay, pChildren[i], &attr) && attr.map_state == IsViewable &&
                Property(pChildren[i], "_NET_WM_PID", XA_CARDINAL) == std::to_string(getpid()) &&
                Property(pChildren[i], "_NET_WM_NAME", XInternAtom(m_pDisplay, "UTF8_STRING", False)) == m_strTitle)
                found = pChildren[i];
        }
        XFree(pChildren);
        return found;
    }
    std::string Property(Window window, const char* pszName, Atom type) {
        Atom actual;
        int nFormat;
        unsigned long nItems, nAfter;
        unsigned char* pData = nullptr;
        std::string str;
        if (XGetWindowProperty(m_pDisplay, window, XInternAtom(m_pDisplay, pszName, False), 0, 1024, False, type,
                               &actual, &nFormat, &nItems, &nAfter, &pData) == Success && pData)
            str = nFormat == 32 ? std::to_string(*reinterpret_cast<long*>(pData))
                                : std::string(reinterpret_cast<char*>(pData), nItems * (nFormat / 8));
        if (pData)
            XFree(pData);
        return str;
    }

    Display* m_pDisplay;
    std::string m_strTitle;
    int m_nKey;
    bool m_bSent = false;
};

TEST_F(LanguageWindowTest, EnterOnEmptyTheBinAnswersNo) {
    // The real question box, answered by a key on the keyboard.
    SetMessageBoxHook(nullptr);
    UseWindowLanguage("", TextCatalogDir());
    CBackupStore store(m_strWork);
    CBackupBinDlg dlg(nullptr, store);
    CKeyOnWindow enter("Torvane Professional", WXK_RETURN);
    CDialogDriver driver(dlg, {
        [&] {
            enter.Start(20);
            wxCommandEvent event(wxEVT_BUTTON, CBackupBinDlg::IDC_EMPTY);
            event.SetEventObject(dlg.FindWindow(CBackupBinDlg::IDC_EMPTY));
            dlg.FindWindow(CBackupBinDlg::IDC_EMPTY)->GetEventHandler()->ProcessEvent(event);
            EXPECT_TRUE(enter.IsSent());
            EXPECT_EQ(dlg.GetBin().GetCount(), 3);
            dlg.EndModal(wxID_CANCEL);
        },
    });
    EXPECT_EQ(dlg.ShowModal(), wxID_CANCEL);
    EXPECT_EQ(CBackupStore(m_strWork).ListBackups().size(), 3u);
}

}  // namespace
