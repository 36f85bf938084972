#include "tree/CheckTree.h"

#include <utility>

#include "res/Strings.h"

namespace {

// The same drive or folder as the one shown: anything that changes how it
// is shown or read makes it another item.
bool IsSameEntry(const FOLDERITEM& item1, const FOLDERITEM& item2) {
    return item1.nKind == item2.nKind && item1.strPath == item2.strPath && item1.strName == item2.strName &&
           item1.nIcon == item2.nIcon && item1.bSlow == item2.bSlow && !item1.bNote && !item2.bNote;
}

}  // namespace

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
    if (!pRecord || pRecord->bFilled || pRecord->bNote)
        return;
    // The note of the last try that did not answer makes way for this one.
    for (TreeItem hChild = m_items.GetChildItem(hItem); hChild;) {
        TreeItem hNext = m_items.GetNextSiblingItem(hChild);
        const FOLDERITEM* pChild = m_items.GetRecord(hChild);
        if (pChild && pChild->bNote)
            m_items.DeleteItem(hChild);
        hChild = hNext;
    }
    int nCheck = m_items.GetCheck(hItem) == CHECK_ON ? CHECK_ON : CHECK_OFF;
    int nResult = FillChildren(pRecord, hItem, nCheck, NSATTR_FOLDER | NSATTR_HASSUBFOLDER);
    if (nResult != ENUM_TIMEOUT) {
        pRecord->bFilled = true;
    } else if (!m_items.GetChildItem(hItem)) {
        // Shown as empty it would look read; the note says why it is not.
        FOLDERITEM note;
        note.strName = LoadText(IDS_TREE_NOT_RESPONDING);
        note.bNote = true;
        if (TreeItem hNote = m_items.InsertItem(hItem, nullptr, std::move(note)))
            m_items.SetCheck(hNote, CHECK_NONE);
    }
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

void CCheckTree::FollowDrives() {
    if (!m_pNamespace->DrivesChanged())
        return;
    // Items never expanded read the drives fresh when they are.
    for (TreeItem hTop = m_items.GetChildItem(nullptr); hTop; hTop = m_items.GetNextSiblingItem(hTop)) {
        const FOLDERITEM* pRecord = m_items.GetRecord(hTop);
        if (pRecord && pRecord->bFilled && m_pNamespace->FollowsDrives(*pRecord))
            MergeChildren(hTop);
    }
}

void CCheckTree::MergeChildren(TreeItem hParent) {
    std::vector<FOLDERITEM> arNew;
    if (m_pNamespace->EnumChildren(m_items.GetRecord(hParent), arNew) != ENUM_OK)
        return;  // what is shown stays until a read answers
    std::erase_if(arNew, [](const FOLDERITEM& item) { return !(item.nAttributes & NSATTR_FOLDER); });
    const bool bUnderSecond = hParent == m_hSecondEntry;
    // As a first fill shows it: the placeholder only while it is alone.
    if (bUnderSecond && arNew.size() >= 2)
        arNew.erase(arNew.begin());

    std::vector<bool> arShown(arNew.size(), false);
    std::vector<TreeItem> arGone;
    for (TreeItem hChild = m_items.GetChildItem(hParent); hChild; hChild = m_items.GetNextSiblingItem(hChild)) {
        const FOLDERITEM* pOld = m_items.GetRecord(hChild);
        size_t i = 0;
        while (i < arNew.size() && (arShown[i] || !pOld || !IsSameEntry(*pOld, arNew[i])))
            ++i;
        if (i < arNew.size())
            arShown[i] = true;
        else
            arGone.push_back(hChild);
    }
    bool bChanged = !arGone.empty();
    for (TreeItem hGone : arGone)
        m_items.DeleteItem(hGone);
    // A drive that comes under a folder ticked only through its children
    // was not picked.
    const int nCheck = bUnderSecond                                                    ? CHECK_NONE
                       : m_items.GetCheck(hParent) == CHECK_ON && !IsOnByChildren(hParent) ? CHECK_ON
                                                                                           : CHECK_OFF;
    for (size_t i = 0; i < arNew.size(); ++i) {
        if (arShown[i])
            continue;
        TreeItem hNew = m_items.InsertItem(hParent, nullptr, std::move(arNew[i]));
        if (!hNew)
            break;
        m_items.SetCheck(hNew, nCheck);
        bChanged = true;
    }
    if (!bChanged)
        return;
    m_items.SortChildren(hParent, CompareCallback, this);
    m_items.SetHasChildren(hParent, m_items.GetChildItem(hParent) != nullptr);
    UpdateFromChildren(hParent);
}

void CCheckTree::UpdateFromChildren(TreeItem hItem) {
    for (TreeItem hUp = hItem; hUp; hUp = m_items.GetParentItem(hUp)) {
        int nUp = m_items.GetCheck(hUp);
        if (nUp == CHECK_NONE)
            break;
        int nOr = 0;
        for (TreeItem hChild = m_items.GetChildItem(hUp); hChild; hChild = m_items.GetNextSiblingItem(hChild))
            nOr |= m_items.GetCheck(hChild);
        // No boxed child left: a checked item stays checked, as its
        // unexpanded children would be.
        int nNew = nOr != 0 ? nOr : nUp == CHECK_PARTIAL ? CHECK_OFF : nUp;
        if (nNew == nUp)
            break;
        m_items.SetCheck(hUp, nNew);
        SetOnByChildren(hUp, nNew == CHECK_ON);
    }
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
    SetOnByChildren(hItem, false);

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
            if (nUp != CHECK_ON) {
                m_items.SetCheck(hUp, nOr == CHECK_ON ? CHECK_ON : CHECK_PARTIAL);
                SetOnByChildren(hUp, nOr == CHECK_ON);
            }
        } else {
            m_items.SetCheck(hUp, nOr == CHECK_OFF ? CHECK_OFF : CHECK_PARTIAL);
            SetOnByChildren(hUp, false);
        }
    }
    SetSubtreeCheck(hItem, nNew);
}

void CCheckTree::SetSubtreeCheck(TreeItem hItem, int nCheck) {
    // Every inserted descendant, with a box or not; iterative, so depth
    // costs no stack.
    TreeItem h = m_items.GetChildItem(hItem);
    while (h) {
        FOLDERITEM* pRecord = m_items.GetRecord(h);
        if (!pRecord || !pRecord->bNote)
            m_items.SetCheck(h, nCheck);
        if (pRecord)
            pRecord->bOnByChildren = false;
        TreeItem hChild = m_items.GetChildItem(h);
        h = hChild ? hChild : NextAfterSubtree(h, hItem);
    }
}

bool CCheckTree::IsOnByChildren(TreeItem hItem) {
    const FOLDERITEM* pRecord = m_items.GetRecord(hItem);
    return pRecord && pRecord->bOnByChildren;
}

void CCheckTree::SetOnByChildren(TreeItem hItem, bool bOn) {
    if (FOLDERITEM* pRecord = m_items.GetRecord(hItem))
        pRecord->bOnByChildren = bOn;
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
    // button but was never expanded is passed, not taken for the end. One
    // ticked only through its children is walked as them.
    if (nCheck == CHECK_NONE || nCheck == CHECK_PARTIAL || (nCheck == CHECK_ON && IsOnByChildren(hItem))) {
        if (TreeItem hChild = m_items.GetChildItem(hItem))
            return hChild;
    }
    return NextAfterSubtree(hItem, nullptr);
}

TreeItem CCheckTree::FindChecked(TreeItem hItem, bool bLaterStep) {
    while (hItem) {
        int nCheck = m_items.GetCheck(hItem);
        if (nCheck == CHECK_ON && !IsOnByChildren(hItem))
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
