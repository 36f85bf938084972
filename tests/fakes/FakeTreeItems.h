// A tree control held in memory: the check tree's items for tests, the
// benchmark and the fuzz target.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "tree/TreeInterfaces.h"

class CFakeTreeItems : public ITreeItems {
public:
    struct SNode {
        SNode* pParent = nullptr;
        SNode* pFirst = nullptr;
        SNode* pLast = nullptr;
        SNode* pNext = nullptr;
        SNode* pPrev = nullptr;
        int nCheck = CHECK_NONE;
        bool bHasChildren = false;
        bool bExpanded = false;
        FOLDERITEM item;
    };

    int m_nInserts = 0;
    int m_nDeletes = 0;
    int m_nSorts = 0;
    TreeItem m_hSelected = nullptr;
    std::vector<TreeItem> m_arExpanded;

    CFakeTreeItems() = default;
    CFakeTreeItems(const CFakeTreeItems&) = delete;
    CFakeTreeItems& operator=(const CFakeTreeItems&) = delete;

    static SNode* Node(TreeItem h) { return static_cast<SNode*>(h); }
    SNode* NodeOrRoot(TreeItem h) { return h ? Node(h) : &m_root; }

    TreeItem GetChildItem(TreeItem hParent) override { return NodeOrRoot(hParent)->pFirst; }
    TreeItem GetNextSiblingItem(TreeItem hItem) override { return Node(hItem)->pNext; }
    TreeItem GetParentItem(TreeItem hItem) override {
        SNode* pParent = Node(hItem)->pParent;
        return pParent == &m_root ? nullptr : pParent;
    }
    int GetCheck(TreeItem hItem) override { return Node(hItem)->nCheck; }
    void SetCheck(TreeItem hItem, int nCheck) override { Node(hItem)->nCheck = nCheck; }
    FOLDERITEM* GetRecord(TreeItem hItem) override { return &Node(hItem)->item; }

    TreeItem InsertItem(TreeItem hParent, TreeItem hAfter, FOLDERITEM&& item) override {
        SNode* pParent = NodeOrRoot(hParent);
        auto pOwned = std::make_unique<SNode>();
        SNode* pNode = pOwned.get();
        pNode->item = std::move(item);
        pNode->bHasChildren = (pNode->item.nAttributes & NSATTR_HASSUBFOLDER) != 0;
        pNode->pParent = pParent;
        SNode* pAfter = static_cast<SNode*>(hAfter);
        pNode->pPrev = pAfter;
        pNode->pNext = pAfter ? pAfter->pNext : pParent->pFirst;
        (pNode->pPrev ? pNode->pPrev->pNext : pParent->pFirst) = pNode;
        (pNode->pNext ? pNode->pNext->pPrev : pParent->pLast) = pNode;
        m_mapOwned.emplace(pNode, std::move(pOwned));
        ++m_nInserts;
        return pNode;
    }

    void DeleteItem(TreeItem hItem) override {
        SNode* pNode = Node(hItem);
        SNode* pParent = pNode->pParent;
        (pNode->pPrev ? pNode->pPrev->pNext : pParent->pFirst) = pNode->pNext;
        (pNode->pNext ? pNode->pNext->pPrev : pParent->pLast) = pNode->pPrev;
        ++m_nDeletes;
        Free(pNode);
    }

    void DeleteAllItems() override {
        while (m_root.pFirst)
            DeleteItem(m_root.pFirst);
    }

    void SetHasChildren(TreeItem hItem, bool bHasChildren) override { Node(hItem)->bHasChildren = bHasChildren; }

    void SortChildren(TreeItem hParent, FnTreeCompare pfnCompare, void* pContext) override {
        SNode* pParent = NodeOrRoot(hParent);
        std::vector<SNode*> arChildren;
        for (SNode* p = pParent->pFirst; p; p = p->pNext)
            arChildren.push_back(p);
        std::stable_sort(arChildren.begin(), arChildren.end(),
                         [&](SNode* p1, SNode* p2) { return pfnCompare(p1, p2, pContext) < 0; });
        pParent->pFirst = pParent->pLast = nullptr;
        SNode* pPrev = nullptr;
        for (SNode* p : arChildren) {
            p->pPrev = pPrev;
            p->pNext = nullptr;
            (pPrev ? pPrev->pNext : pParent->pFirst) = p;
            pPrev = p;
        }
        pParent->pLast = pPrev;
        ++m_nSorts;
    }

    void ExpandItem(TreeItem hItem) override {
        Node(hItem)->bExpanded = true;
        m_arExpanded.push_back(hItem);
    }
    void SelectItem(TreeItem hItem) override { m_hSelected = hItem; }

    // Test helpers: items by their texts from the top ("Computer/Disk").
    TreeItem Find(const std::string& strPath) {
        SNode* pNode = &m_root;
        size_t nStart = 0;
        while (nStart <= strPath.size()) {
            size_t nSlash = strPath.find('/', nStart);
            std::string strPart = strPath.substr(nStart, nSlash == std::string::npos ? std::string::npos : nSlash - nStart);
            SNode* pChild = pNode->pFirst;
            while (pChild && pChild->item.strName != strPart)
                pChild = pChild->pNext;
            if (!pChild)
                return nullptr;
            pNode = pChild;
            if (nSlash == std::string::npos)
                break;
            nStart = nSlash + 1;
        }
        return pNode == &m_root ? nullptr : pNode;
    }
    std::vector<std::string> ChildTexts(TreeItem hParent) {
        std::vector<std::string> arTexts;
        for (SNode* p = NodeOrRoot(hParent)->pFirst; p; p = p->pNext)
            arTexts.push_back(p->item.strName);
        return arTexts;
    }
    size_t CountItems() const { return m_mapOwned.size(); }

private:
    void Free(SNode* pNode) {
        for (SNode* pChild = pNode->pFirst; pChild;) {
            SNode* pNext = pChild->pNext;
            Free(pChild);
            pChild = pNext;
        }
        m_mapOwned.erase(pNode);
    }

    SNode m_root;
    std::unordered_map<SNode*, std::unique_ptr<SNode>> m_mapOwned;
};
