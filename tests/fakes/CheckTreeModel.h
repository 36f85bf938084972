// The folder tree's rules said the plainest way, over the nodes of a fake
// namespace: what the property test and the fuzz target hold the real tree
// to. Items are named by their namespace node; every rule is written from
// its definition (all boxed children checked -> checked, and so on), not
// from the bit operations the tree uses.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "FakeFolderNamespace.h"
#include "FakeTreeItems.h"
#include "tree/CheckTree.h"

class CCheckTreeModel {
public:
    struct SItem {
        int nParent = -1;  // node of the parent item, -1 at the top
        std::vector<int> arChildren;  // nodes, display order
        int nCheck = CHECK_NONE;
        // Ticked by the user, itself or through a ticked ancestor; an item
        // checked only because all its boxed children are is not.
        bool bPicked = false;
        bool bFilled = false;
        bool bTimedOut = false;  // expanded, did not answer: shows one note
    };

    explicit CCheckTreeModel(const CFakeFolderNamespace& ns) : m_ns(ns) {}

    void FillRoot() {
        m_mapItems.clear();
        m_arTop.clear();
        m_nSecondTop = -1;
        for (int nNode : m_ns.m_arNodes[0].arChildren) {
            uint32_t nAttributes = m_ns.m_arNodes[nNode].nAttributes;
            if (!(nAttributes & NSATTR_FILESYSANCESTOR) || !(nAttributes & NSATTR_FOLDER))
                continue;
            m_arTop.push_back(nNode);
            // The second top-level item has no box.
            m_mapItems[nNode].nCheck = m_arTop.size() == 2 ? CHECK_NONE : CHECK_OFF;
            if (m_arTop.size() == 2)
                m_nSecondTop = nNode;
        }
        Sort(m_arTop);
        if (!m_arTop.empty())
            Expand(m_arTop[0]);
    }

    void Expand(int nNode) {
        SItem& item = m_mapItems.at(nNode);
        int nResult = m_ns.m_arNodes[nNode].nResult;
        if (item.bFilled)
            return;
        item.bTimedOut = nResult == ENUM_TIMEOUT;
        if (item.bTimedOut)
            return;
        item.bFilled = true;
        if (nResult != ENUM_OK)
            return;
        std::vector<int> arNew;
        for (int nChild : m_ns.m_arNodes[nNode].arChildren) {
            if (m_ns.m_arNodes[nChild].nAttributes & NSATTR_FOLDER)
                arNew.push_back(nChild);
        }
        // New children start checked under a checked item, else unchecked.
        int nStart = item.nCheck == CHECK_ON ? CHECK_ON : CHECK_OFF;
        if (nNode == m_nSecondTop) {
            // Its children have no box, and its first child (a placeholder)
            // goes once a second one is there.
            nStart = CHECK_NONE;
            if (arNew.size() >= 2)
                arNew.erase(arNew.begin());
        }
        for (int nChild : arNew) {
            SItem& child = m_mapItems[nChild];
            child.nParent = nNode;
            child.nCheck = nStart;
            child.bPicked = nStart == CHECK_ON;
        }
        Sort(arNew);
        m_mapItems.at(nNode).arChildren = arNew;
    }

    void Toggle(int nNode) {
        SItem& item = m_mapItems.at(nNode);
        if (item.nCheck == CHECK_NONE)
            return;
        int nNew = item.nCheck == CHECK_ON ? CHECK_OFF : CHECK_ON;
        SetSubtree(nNode, nNew);
        for (int nUp = item.nParent; nUp != -1; nUp = m_mapItems.at(nUp).nParent) {
            SItem& up = m_mapItems.at(nUp);
            if (up.nCheck == CHECK_NONE)
                break;
            bool bAllOn = true;
            bool bAllOff = true;
            for (int nChild : up.arChildren) {
                int nCheck = m_mapItems.at(nChild).nCheck;
                if (nCheck == CHECK_NONE)
                    continue;
                bAllOn = bAllOn && nCheck == CHECK_ON;
                bAllOff = bAllOff && nCheck == CHECK_OFF;
            }
            up.nCheck = bAllOn ? CHECK_ON : bAllOff ? CHECK_OFF : CHECK_PARTIAL;
            up.bPicked = false;
        }
    }

    // Picked items none of whose ancestors is picked, in display order.
    std::vector<int> CheckedRoots() const {
        std::vector<int> arRoots;
        for (int nNode : m_arTop)
            Collect(nNode, arRoots);
        return arRoots;
    }

    std::vector<int> Items() const {
        std::vector<int> arNodes;
        for (const auto& [nNode, item] : m_mapItems)
            arNodes.push_back(nNode);
        return arNodes;
    }

    // The real tree's item for a node, nullptr when it has none.
    static TreeItem FindItem(CFakeTreeItems& items, int nNode) {
        TreeItem h = items.GetChildItem(nullptr);
        while (h) {
            if (items.GetRecord(h)->nKind == nNode)
                return h;
            if (TreeItem hChild = items.GetChildItem(h)) {
                h = hChild;
                continue;
            }
            while (h && !items.GetNextSiblingItem(h))
                h = items.GetParentItem(h);
            h = h ? items.GetNextSiblingItem(h) : nullptr;
        }
        return nullptr;
    }

    // Empty when the real tree has the same items in the same order with the
    // same boxes, and its walk returns the same items; else what differs.
    std::string Compare(CFakeTreeItems& items, CCheckTree& tree) const {
        std::string strWhy = CompareLevel(items, nullptr, m_arTop, false);
        if (!strWhy.empty())
            return strWhy;
        std::vector<int> arWalk;
        for (TreeItem h = tree.FirstCheckedItem(); h; h = tree.NextCheckedItem(h)) {
            arWalk.push_back(items.GetRecord(h)->nKind);
            if (arWalk.size() > m_mapItems.size())
                return "walk does not end";
        }
        if (arWalk != CheckedRoots())
            return "walk returns " + Join(arWalk) + ", expected " + Join(CheckedRoots());
        return std::string();
    }

private:
    void SetSubtree(int nNode, int nCheck) {
        SItem& item = m_mapItems.at(nNode);
        item.nCheck = nCheck;
        item.bPicked = nCheck == CHECK_ON;
        for (int nChild : item.arChildren)
            SetSubtree(nChild, nCheck);
    }

    void Collect(int nNode, std::vector<int>& arRoots) const {
        const SItem& item = m_mapItems.at(nNode);
        if (item.bPicked) {
            arRoots.push_back(nNode);
            return;
        }
        for (int nChild : item.arChildren)
            Collect(nChild, arRoots);
    }

    void Sort(std::vector<int>& arNodes) const {
        std::sort(arNodes.begin(), arNodes.end(), [&](int n1, int n2) {
            const std::string& str1 = m_ns.m_arNodes[n1].strName;
            const std::string& str2 = m_ns.m_arNodes[n2].strName;
            return str1 != str2 ? str1 < str2 : n1 < n2;
        });
    }

    // A note is -1; bTimedOut: only a note without a box is expected.
    std::string CompareLevel(CFakeTreeItems& items, TreeItem hParent, const std::vector<int>& arExpected,
                             bool bTimedOut) const {
        std::vector<int> arActual;
        for (TreeItem h = items.GetChildItem(hParent); h; h = items.GetNextSiblingItem(h)) {
            const FOLDERITEM* pRecord = items.GetRecord(h);
            arActual.push_back(pRecord->bNote ? -1 : pRecord->nKind);
            if (pRecord->bNote && items.GetCheck(h) != CHECK_NONE)
                return "a note has a box";
        }
        std::string strWhere = hParent ? "under node " + std::to_string(items.GetRecord(hParent)->nKind) : "at the top";
        if (bTimedOut) {
            if (arActual != std::vector<int>{-1})
                return strWhere + ": items " + Join(arActual) + ", expected one note";
            return std::string();
        }
        if (arActual != arExpected)
            return strWhere + ": items " + Join(arActual) + ", expected " + Join(arExpected);
        TreeItem h = items.GetChildItem(hParent);
        for (int nNode : arExpected) {
            const SItem& item = m_mapItems.at(nNode);
            if (items.GetCheck(h) != item.nCheck)
                return "node " + std::to_string(nNode) + ": check " + std::to_string(items.GetCheck(h)) + ", expected " +
                       std::to_string(item.nCheck);
            std::string strWhy = CompareLevel(items, h, item.arChildren, item.bTimedOut);
            if (!strWhy.empty())
                return strWhy;
            h = items.GetNextSiblingItem(h);
        }
        return std::string();
    }

    static std::string Join(const std::vector<int>& arNodes) {
        std::string str = "[";
        for (size_t i = 0; i < arNodes.size(); ++i)
            str += (i ? " " : "") + std::to_string(arNodes[i]);
        return str + "]";
    }

    const CFakeFolderNamespace& m_ns;
    std::map<int, SItem> m_mapItems;
    std::vector<int> m_arTop;
    int m_nSecondTop = -1;
};
