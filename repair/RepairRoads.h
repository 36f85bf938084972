// The Repair button's pass over the ticked rows and the double-click on one
// row: which rows are tried, what the user is told, which state goes back
// into the row. The scan's own automatic road lives with the scan.
#pragma once

#include <string>

#include "repair/RepairInterfaces.h"
#include "scan/Scanner.h"

extern const char* const g_szRepairCaption;          // "DovErad"
extern const char* const g_szRepairSelectItem;       // 189
extern const char* const g_szRepairSubmitAddress;    // the vendor's sample-submission address

// The notice text of a Status, or "" when that Status has none. Texts 238
// to 242 and 254, in the order the roads test them.
std::string GetRepairNotice(const std::string& strStatus);
std::string GetRepairQuestion();  // 253

class CRepairRoads {
public:
    // scanner: the finished scan whose rows, options, access test, backup
    // writer and engine are used.
    CRepairRoads(CScanner& scanner, IRepairView& view);

    // The Repair button: every ticked row in list order.
    void OnRepair();
    // A double-click: the first selected row, after a question.
    void OnDblclkResultList();
    // Clean-and-probe-again for one row; all outcomes go into the row.
    void RepairFile(int nRow, const std::string& strPath);

    // A pass is running: nothing may start another or close the dialog.
    bool IsBusy() const { return m_bBusy; }

private:
    CScanner& m_scanner;
    IRepairView& m_view;
    bool m_bBusy = false;
};
