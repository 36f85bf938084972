#include "scan/ResultRows.h"

#include <cstdlib>

#include "scan/ScanTypes.h"

void CResultRows::AddResultRow(int nNum, const std::string& strPath, const std::string& strVirus,
                               int nCode) {
    m_arRows.push_back(CResultRow{nNum, strPath, strVirus, GetStateText(nCode), false});
}

void CResultRows::SetItemText(int nRow, int nCol, const std::string& strText) {
    if (nRow < 0 || static_cast<size_t>(nRow) >= m_arRows.size())
        return;
    CResultRow& row = m_arRows[nRow];
    switch (nCol) {
    case RESULT_COL_NUM: row.nNum = std::atoi(strText.c_str()); break;
    case RESULT_COL_PATH: row.strPath = strText; break;
    case RESULT_COL_VIRUS: row.strVirus = strText; break;
    case RESULT_COL_STATUS: row.strStatus = strText; break;
    default: break;
    }
}
