#include "tree/CheckTree.h"

#include <utility>

CCheckTree::CCheckTree(ITreeItems& items, IFolderNamespace& ns) : m_items(items), m_pNamespace(&ns) {}

void CCheckTree::FillRoot() {
    // Every item goes, so does everything that described them.
    m_items.DeleteAllItems();
    m_arTopNames.clear();
    m_hFirstEntry = nullptr;
    m_hSecondEntry = nullptr;
    m_nSecondEntryInserts = 0;

    FillChildren(nullptr, nullptr, CHECK_OFF, NSATTR_FILESYSANCESTOR);
    m_items.SortChildren(nullptr, CompareCallback, this);
    if (TreeItem hFirst = m_items.GetChildItem(nullptr)) {
        ItemExpanding(hFirst);
        m_items.ExpandItem(hFirst);
        m_items.SelectItem(hFirst);
    }
}

void CCheckTree::ItemExpanding(TreeItem hItem) {
    FOLDERITEM* pRecord = hItem ? m_items.GetRecord(hItem) : nullptr;
    if (!pRecord || pRecord->bFilled)
        return;
    int nCheck = m_items.GetCheck(hItem) == CHECK_ON ? CHECK_ON : CHECK_OFF;
    int nResult = FillChildren(pRecord, hItem, nCheck, NSATTR_FOLDER | NSATTR_HASSUBFOLDER);
    if (nResult != ENUM_TIMEOUT)
        pRecord->bFilled = true;
    m_items.SortChildren(hItem, CompareCallback, this);
    // Nothing to show after all (no access, gone, only hidden folders): the
    // expand button goes, as it would for a folder known to be empty.
    if (pRecord->bFilled && !m_items.GetChildItem(hItem))
        m_items.SetHasChildren(hItem, false);
}

int CCheckTree::FillChildren(const FOLDERITEM* pFolder, TreeItem hParent, int nCheck, uint32_t nMask) {
    std::vector<FOLDERITEM> arChildren;
    int nResult = m_pNamespace->EnumChildren(pFolder, arChildren);
    const bool bTop = hParent == nullptr;
    const bool bUnderSecond = hParent && hParent == m_hSecondEntry;

    TreeItem hPrev = nullptr;
    for (FOLDERITEM& child : arChildren) {
        if (!(child.nAttributes & nMask) || !(child.nAttributes & NSATTR_FOLDER))
            continue;
        TreeItem hDrop = nullptr;
        if (hPrev && bUnderSecond) {
            hDrop = m_items.GetChildItem(hParent);
            ++m_nSecondEntryInserts;
        }
        TreeItem hNew = m_items.InsertItem(hParent, hPrev, std::move(child));
        if (!hNew)
            break;  // what is in stays
        bool bSecondTop = false;
        if (bTop) {
            const FOLDERITEM* pNew = m_items.GetRecord(hNew);
            m_arTopNames.push_back(pNew ? pNew->strName : std::string());
            if (m_arTopNames.size() == 1)
                m_hFirstEntry = hNew;
            if (m_arTopNames.size() == 2) {
                m_hSecondEntry = hNew;
                bSecondTop = true;
            }
        }
        if (hDrop && m_nSecondEntryInserts == 1)
            m_items.DeleteItem(hDrop);
        m_items.SetCheck(hNew, bUnderSecond || bSecondTop ? CHECK_NONE : nCheck);
        hPrev = hNew;
    }
    return nResult;
}

void CCheckTree::ToggleCheck(TreeItem hItem) {
    if (!hItem)
        return;
    int nOld = m_items.GetCheck(hItem);
    int nNew;
    if (nOld == CHECK_OFF || nOld == CHECK_PARTIAL)
        nNew = CHECK_ON;
    else if (nOld == CHECK_ON)
        nNew = CHECK_OFF;
    else
        return;  // no box, nothing to toggle
    m_items.SetCheck(hItem, nNew);

    for (TreeItem hUp = m_items.GetParentItem(hItem); hUp; hUp = m_items.GetParentItem(hUp)) {
        int nUp = m_items.GetCheck(hUp);
        if (nUp == CHECK_NONE)
            break;
        // Children without a box add 0; 1 | 2 is 3, so mixed children make
        // the parent partial.
        int nOr = 0;
        for (TreeItem hChild = m_items.GetChildItem(hUp); hChild; hChild = m_items.GetNextSiblingItem(hChild))
            nOr |= m_items.GetCheck(hChild);
        if (nNew == CHECK_ON) {
            if (nUp != CHECK_ON)
                m_items.SetCheck(hUp, nOr == CHECK_ON ? CHECK_ON : CHECK_PARTIAL);
        } else {
            m_items.SetCheck(hUp, nOr == CHECK_OFF ? CHECK_OFF : CHECK_PARTIAL);
        }
    }
    SetSubtreeCheck(hItem, nNew);
}

void CCheckTree::SetSubtreeCheck(TreeItem hItem, int nCheck) {
    // Every inserted descendant, with a box or not; iterative, so depth
    // costs no stack.
    TreeItem h = m_items.GetChildItem(hItem);
    while (h) {
        m_items.SetCheck(h, nCheck);
        TreeItem hChild = m_items.GetChildItem(h);
        h = hChild ? hChild : NextAfterSubtree(h, hItem);
    }
}

TreeItem CCheckTree::NextAfterSubtree(TreeItem hItem, TreeItem hTop) {
    for (TreeItem h = hItem; h && h != hTop; h = m_items.GetParentItem(h)) {
        if (TreeItem hNext = m_items.GetNextSiblingItem(h))
            return hNext;
    }
    return nullptr;
}

TreeItem CCheckTree::NextWalkItem(TreeItem hItem) {
    if (!hItem)
        return nullptr;
    int nCheck = m_items.GetCheck(hItem);
    // Only inserted children are entered: an item that shows an expand
    // button but was never expanded is passed, not taken for the end.
    if (nCheck == CHECK_NONE || nCheck == CHECK_PARTIAL) {
        if (TreeItem hChild = m_items.GetChildItem(hItem))
            return hChild;
    }
    return NextAfterSubtree(hItem, nullptr);
}

TreeItem CCheckTree::FindChecked(TreeItem hItem, bool bLaterStep) {
    while (hItem) {
        int nCheck = m_items.GetCheck(hItem);
        if (nCheck == CHECK_ON)
            return hItem;
        if (nCheck == CHECK_NONE && bLaterStep)
            m_bFirstNoBoxStep = false;
        hItem = NextWalkItem(hItem);
    }
    return nullptr;
}

TreeItem CCheckTree::FirstCheckedItem() {
    return FindChecked(m_items.GetChildItem(nullptr), false);
}

TreeItem CCheckTree::NextCheckedItem(TreeItem hItem) {
    return FindChecked(NextWalkItem(hItem), true);
}

std::string CCheckTree::GetDisplayPath(TreeItem hItem) {
    std::string strPath;
    if (!hItem)
        return strPath;
    if (const FOLDERITEM* pRecord = m_items.GetRecord(hItem))
        strPath = pRecord->strName;
    for (TreeItem hUp = m_items.GetParentItem(hItem); hUp; hUp = m_items.GetParentItem(hUp)) {
        const FOLDERITEM* pRecord = m_items.GetRecord(hUp);
        std::string strText = pRecord ? pRecord->strName : std::string();
        if (strText.empty() || strText.back() != '/')
            strText += '/';
        strPath.insert(0, strText);
    }
    return strPath;
}

bool CCheckTree::GetItemPath(TreeItem hItem, std::string& strPath) {
    const FOLDERITEM* pRecord = hItem ? m_items.GetRecord(hItem) : nullptr;
    if (!pRecord)
        return false;
    if (!(pRecord->nAttributes & NSATTR_FILESYSTEM)) {
        strPath = GetDisplayPath(hItem);
        return false;
    }
    std::string strOnDisk;
    if (!m_pNamespace->GetFileSystemPath(*pRecord, strOnDisk))
        return false;
    strPath = std::move(strOnDisk);
    return true;
}

int CCheckTree::CompareItems(TreeItem hItem1, TreeItem hItem2) {
    const FOLDERITEM* pRecord1 = m_items.GetRecord(hItem1);
    const FOLDERITEM* pRecord2 = m_items.GetRecord(hItem2);
    if (!pRecord1 || !pRecord2)
        return 0;
    return m_pNamespace->CompareItems(*pRecord1, *pRecord2);
}

int CCheckTree::CompareCallback(TreeItem hItem1, TreeItem hItem2, void* pContext) {
    return static_cast<CCheckTree*>(pContext)->CompareItems(hItem1, hItem2);
}
