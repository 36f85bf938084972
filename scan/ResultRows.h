// The rows of one scan, kept by core so any view (a console, a virtual list)
// can show them without holding copies of its own.
#pragma once

#include <string>
#include <vector>

#include "scan/ScanInterfaces.h"

struct CResultRow {
    int nNum = 0;
    std::string strPath;
    std::string strVirus;
    std::string strStatus;
    bool bChecked = false;
};

class CResultRows : public IResultList {
public:
    void AddResultRow(int nNum, const std::string& strPath, const std::string& strVirus,
                      int nCode) override;
    void SetItemText(int nRow, int nCol, const std::string& strText) override;

    size_t GetCount() const { return m_arRows.size(); }
    const CResultRow& GetRow(size_t i) const { return m_arRows[i]; }
    void SetCheck(size_t i, bool bChecked) { m_arRows[i].bChecked = bChecked; }

private:
    std::vector<CResultRow> m_arRows;
};
