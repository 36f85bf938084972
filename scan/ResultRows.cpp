#include "scan/ResultRows.h"

#include <cstdlib>

#include "scan/ScanTypes.h"

void CResultRows::AddResultRow(int nNum, const std::string& strPath, const std::string& strVirus,
                               int nCode) {
    m_arRows.push_back(CResultRow{nNum, strPath, strVirus, GetStateText(nCode), false});
    if (m_pObserver)
        m_pObserver->OnRowAdded(static_cast<int>(m_arRows.size()) - 1);
}

void CResultRows::SetItemText(int nRow, int nCol, const std::string& strText) {
    if (!IsRow(nRow))
        return;
    CResultRow& row = m_arRows[nRow];
    switch (nCol) {
    case RESULT_COL_NUM: row.nNum = std::atoi(strText.c_str()); break;
    case RESULT_COL_PATH: row.strPath = strText; break;
    case RESULT_COL_VIRUS: row.strVirus = strText; break;
    case RESULT_COL_STATUS: row.strStatus = strText; break;
    default: return;
    }
    Changed(nRow);
}

std::string CResultRows::GetItemText(int nRow, int nCol) const {
    if (!IsRow(nRow))
        return std::string();
    const CResultRow& row = m_arRows[nRow];
    switch (nCol) {
    case RESULT_COL_NUM: return std::to_string(row.nNum);
    case RESULT_COL_PATH: return row.strPath;
    case RESULT_COL_VIRUS: return row.strVirus;
    case RESULT_COL_STATUS: return row.strStatus;
    default: return std::string();
    }
}

void CResultRows::SetCheck(int nRow, bool bChecked) {
    if (IsRow(nRow) && m_arRows[nRow].bChecked != bChecked) {
        m_arRows[nRow].bChecked = bChecked;
        Changed(nRow);
    }
}
