// A folder namespace held in memory: nodes with names, attributes, paths
// and children in enumeration order. A record's kind is its node number.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tree/TreeInterfaces.h"

class CFakeFolderNamespace : public IFolderNamespace {
public:
    struct SNode {
        std::string strName;
        uint32_t nAttributes = 0;
        std::string strPath;
        int nParent = -1;
        std::vector<int> arChildren;
        int nResult = ENUM_OK;  // what reading this node answers
    };

    static constexpr uint32_t VIRTUAL = NSATTR_FILESYSANCESTOR | NSATTR_FOLDER;
    static constexpr uint32_t ON_DISK = NSATTR_FILESYSTEM | NSATTR_FILESYSANCESTOR | NSATTR_FOLDER;

    std::vector<SNode> m_arNodes;  // [0] is the top, above the top-level items
    int m_nEnumCalls = 0;
    bool m_bDrivesChanged = false;     // DrivesChanged answers it once
    std::set<int> m_setFollowsDrives;  // nodes whose children are drives

    CFakeFolderNamespace() { m_arNodes.emplace_back(); }

    // A child at the end of nParent's children; the parent gets the
    // has-sub-folders attribute when the child is a folder.
    int Add(int nParent, const std::string& strName, uint32_t nAttributes = VIRTUAL, const std::string& strPath = "") {
        SNode node;
        node.strName = strName;
        node.nAttributes = nAttributes;
        node.strPath = strPath;
        node.nParent = nParent;
        m_arNodes.push_back(node);
        int nId = static_cast<int>(m_arNodes.size()) - 1;
        m_arNodes[nParent].arChildren.push_back(nId);
        if (nAttributes & NSATTR_FOLDER)
            m_arNodes[nParent].nAttributes |= NSATTR_HASSUBFOLDER;
        return nId;
    }
    // A file-system folder below a file-system parent (or a root path).
    int AddFolder(int nParent, const std::string& strName) {
        const std::string& strBase = m_arNodes[nParent].strPath;
        std::string strPath = strBase.empty() ? "/" + strName
                              : strBase.back() == '/' ? strBase + strName
                                                      : strBase + "/" + strName;
        return Add(nParent, strName, ON_DISK, strPath);
    }

    int EnumChildren(const FOLDERITEM* pFolder, std::vector<FOLDERITEM>& arChildren) override {
        ++m_nEnumCalls;
        arChildren.clear();
        int nNode = pFolder ? pFolder->nKind : 0;
        if (nNode < 0 || nNode >= static_cast<int>(m_arNodes.size()))
            return ENUM_FAILED;
        const SNode& node = m_arNodes[nNode];
        if (node.nResult != ENUM_OK)
            return node.nResult;
        for (int nChild : node.arChildren) {
            const SNode& child = m_arNodes[nChild];
            FOLDERITEM item;
            item.nKind = nChild;
            item.nAttributes = child.nAttributes;
            item.strName = child.strName;
            item.strPath = child.strPath;
            item.nIcon = ICON_FOLDER;
            item.nOpenIcon = ICON_FOLDER_OPEN;
            arChildren.push_back(item);
        }
        return ENUM_OK;
    }

    // By name bytes, then by node, so equal names keep one order.
    int CompareItems(const FOLDERITEM& item1, const FOLDERITEM& item2) override {
        int n = item1.strName.compare(item2.strName);
        if (n == 0)
            n = item1.nKind - item2.nKind;
        return n < 0 ? -1 : n > 0 ? 1 : 0;
    }

    bool DrivesChanged() override { return std::exchange(m_bDrivesChanged, false); }
    bool FollowsDrives(const FOLDERITEM& folder) override { return m_setFollowsDrives.count(folder.nKind) != 0; }

    bool GetFileSystemPath(const FOLDERITEM& item, std::string& strPath) override {
        if (!(item.nAttributes & NSATTR_FILESYSTEM) || item.strPath.empty())
            return false;
        strPath = item.strPath;
        return true;
    }
};
