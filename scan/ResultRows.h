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
    EResultState eState = STATE_REPAIRABLE;
    bool bChecked = false;
};

// Told of every change, so a view over the rows repaints just that row.
class IResultRowsObserver {
public:
    virtual ~IResultRowsObserver() = default;
    virtual void OnRowAdded(int nRow) = 0;
    virtual void OnRowChanged(int nRow) = 0;
};

class CResultRows : public IResultList {
public:
    void SetObserver(IResultRowsObserver* pObserver) { m_pObserver = pObserver; }
    void AddResultRow(int nNum, const std::string& strPath, const std::string& strVirus,
                      EResultState eState) override;
    int GetItemCount() const override { return static_cast<int>(m_arRows.size()); }
    EResultState GetState(int nRow) const override { return IsRow(nRow) ? m_arRows[nRow].eState : STATE_OK; }
    void SetState(int nRow, EResultState eState) override;
    std::string GetPath(int nRow) const override { return IsRow(nRow) ? m_arRows[nRow].strPath : std::string(); }
    std::string GetVirusName(int nRow) const override {
        return IsRow(nRow) ? m_arRows[nRow].strVirus : std::string();
    }
    void SetVirusName(int nRow, const std::string& strVirus) override;
    std::string GetItemText(int nRow, int nCol) const override;
    bool GetCheck(int nRow) const override { return IsRow(nRow) && m_arRows[nRow].bChecked; }
    void SetCheck(int nRow, bool bChecked) override;
    int GetFirstSelected() const override { return m_nSelected; }
    void SetSelected(int nRow) { m_nSelected = IsRow(nRow) ? nRow : -1; }

    // The rows' indices in the order of column nCol (a header click): file
    // names and virus names as a file manager orders names, states by their
    // text; rows that compare equal keep the scan's order.
    std::vector<int> SortedOrder(int nCol, bool bDescending) const;

    size_t GetCount() const { return m_arRows.size(); }
    const CResultRow& GetRow(size_t i) const { return m_arRows[i]; }

private:
    bool IsRow(int nRow) const { return nRow >= 0 && static_cast<size_t>(nRow) < m_arRows.size(); }

    void Changed(int nRow) {
        if (m_pObserver)
            m_pObserver->OnRowChanged(nRow);
    }

    std::vector<CResultRow> m_arRows;
    int m_nSelected = -1;
    IResultRowsObserver* m_pObserver = nullptr;
};
