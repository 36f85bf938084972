#include "scan/ResultRows.h"

#include "scan/ScanTypes.h"
#include "controls/ListText.h"
#include "tree/NameOrder.h"

void CResultRows::AddResultRow(int nNum, const std::string& strPath, const std::string& strVirus,
                               EResultState eState) {
    m_arRows.push_back(CResultRow{nNum, strPath, strVirus, eState, false});
    if (m_pObserver)
        m_pObserver->OnRowAdded(static_cast<int>(m_arRows.size()) - 1);
}

void CResultRows::SetState(int nRow, EResultState eState) {
    if (IsRow(nRow)) {
        m_arRows[nRow].eState = eState;
        Changed(nRow);
    }
}

void CResultRows::SetVirusName(int nRow, const std::string& strVirus) {
    if (IsRow(nRow)) {
        m_arRows[nRow].strVirus = strVirus;
        Changed(nRow);
    }
}

std::string CResultRows::GetItemText(int nRow, int nCol) const {
    if (!IsRow(nRow))
        return std::string();
    const CResultRow& row = m_arRows[nRow];
    switch (nCol) {
    case RESULT_COL_NUM: return std::to_string(row.nNum);
    case RESULT_COL_PATH: return row.strPath;
    case RESULT_COL_VIRUS: return row.strVirus;
    case RESULT_COL_STATUS: return GetStateText(row.eState);
    default: return std::string();
    }
}

void CResultRows::SetCheck(int nRow, bool bChecked) {
    if (IsRow(nRow) && m_arRows[nRow].bChecked != bChecked) {
        m_arRows[nRow].bChecked = bChecked;
        Changed(nRow);
    }
}

std::vector<int> CResultRows::SortedOrder(int nCol, bool bDescending) const {
    return ::SortedOrder(
        GetItemCount(),
        [&](int a, int b) {
            if (nCol == RESULT_COL_NUM)
                return m_arRows[a].nNum - m_arRows[b].nNum;
            return CompareNames(GetItemText(a, nCol), GetItemText(b, nCol));
        },
        bDescending);
}
