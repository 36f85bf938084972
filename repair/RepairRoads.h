// The Repair button's pass over the ticked rows and the double-click on one
// row: which rows are tried, what the user is told, which state goes back
// into the row. The scan's own automatic road lives with the scan.
#pragma once

#include <string>
#include <vector>

#include "repair/RepairInterfaces.h"
#include "scan/Scanner.h"

// The notice text of a state, or "" when that state has none. Texts 238 to
// 242 and 254, in the order the roads test them.
std::string GetRepairNotice(EResultState eState);

class CRepairRoads {
public:
    // scanner: the finished scan whose rows, options, access test, backup
    // writer and engine are used.
    CRepairRoads(CScanner& scanner, IRepairView& view);

    // The Repair button: every ticked row in list order.
    void OnRepair();
    // The same pass over these rows (the results menu's Repair on several).
    void RepairRows(const std::vector<int>& arRows);
    // A double-click: the first selected row, after a question.
    void OnDblclkResultList();
    // Clean-and-probe-again for one row; all outcomes go into the row.
    void RepairFile(int nRow, const std::string& strPath);

    // A pass is running: nothing may start another or close the dialog.
    bool IsBusy() const { return m_bBusy; }

    // A row whose file may go into the Backup Bin: a finding still in place
    // (rows repaired, quarantined, Ok or deleted are not offered).
    bool CanQuarantine(int nRow) const;
    // Every row that cannot be repaired: still infected, and not repairable.
    std::vector<int> GetUnrepairableRows() const;
    // Moves the files of these rows into the Backup Bin; each row (and every
    // other row of the same file) says how it went. How many files went.
    int QuarantineRows(const std::vector<int>& arRows);

    // A finding still in place that the user may say is false.
    bool CanAllow(int nRow) const;
    // Adds the content and virus name of these rows to the allow-list; each
    // row allowed (and every other row of the same file and finding) shows
    // "Allowed"; a failure is said with its reason. How many were allowed.
    int AllowRows(const std::vector<int>& arRows);

private:
    // QuarantineRows' work, for a pass that is already running.
    int MoveRowsToBin(const std::vector<int>& arRows);

    CScanner& m_scanner;
    IRepairView& m_view;
    bool m_bBusy = false;
};
