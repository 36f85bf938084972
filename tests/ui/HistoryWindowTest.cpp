// The history window: newest first, opened at the scan asked for, and a
// scan's record shown when the user moves to its row.

#include <gtest/gtest.h>

#include <wx/listctrl.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "ui/HistoryDlg.h"
#include "bin/DialogDriver.h"

namespace {

SHISTORYRECORD Record(const std::string& strId, const std::string& strFound) {
    SHISTORYRECORD rec;
    rec.strId = strId;
    rec.arTargets = {"/home/ann"};
    rec.nScanned = 7;
    rec.arFindings.push_back(SHISTORYFINDING{strFound, STATE_UNREPAIRABLE, "EICAR-Test-File"});
    rec.nExit = 1;
    return rec;
}

std::string Details(wxDialog& dlg) {
    return std::string(
        static_cast<wxTextCtrl*>(dlg.FindWindow(CHistoryDlg::IDC_HISTORY_DETAILS))->GetValue().utf8_str());
}

}  // namespace

TEST(HistoryWindowTest, OpensAtTheScanAskedForAndShowsTheRecordOfTheRowMovedTo) {
    CHistoryDlg dlg(nullptr, {Record("1-1", "/home/ann/oldest.com"), Record("2-2", "/home/ann/middle.com"),
                              Record("3-3", "/home/ann/newest.com")},
                    "2-2");
    auto* pList = static_cast<wxListCtrl*>(dlg.FindWindow(CHistoryDlg::IDC_HISTORY_LIST));
    ASSERT_NE(pList, nullptr);
    std::string strOpened, strMoved;
    CDialogDriver driver(dlg, {
        [&] {
            ASSERT_EQ(pList->GetItemCount(), 3);
            EXPECT_EQ(dlg.GetRecord(0).strId, "3-3");
            EXPECT_EQ(pList->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED), 1);
            strOpened = Details(dlg);
            dlg.Raise();
            pList->SetFocus();
        },
        [] {},
        [] {
            wxUIActionSimulator sim;
            sim.Char(WXK_DOWN);
        },
        [&] { strMoved = Details(dlg); },
        [] {
            wxUIActionSimulator sim;
            sim.Char(WXK_ESCAPE);
        },
    });
    EXPECT_EQ(dlg.ShowModal(), wxID_CANCEL);
    EXPECT_NE(strOpened.find("Scan 2-2 (command line)"), std::string::npos) << strOpened;
    EXPECT_NE(strOpened.find("  Found: /home/ann/middle.com\tEICAR-Test-File\tUnrepairable\n"), std::string::npos);
    EXPECT_NE(strMoved.find("/home/ann/oldest.com"), std::string::npos) << strMoved;
}
