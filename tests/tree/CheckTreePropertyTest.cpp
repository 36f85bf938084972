// Random trees, random expansions and toggles: after every step the tree's
// items, boxes and walk match the plain model of the rules. The walk runs
// after every step, so the first walk of each tree is held to it too.

#include <gtest/gtest.h>

#include <random>

#include "fakes/CheckTreeModel.h"

namespace {

// Few names, so siblings share texts and the second top-level item's text
// turns up deeper in the tree.
const char* const g_arNames[] = {"a", "b", "B", "net", "c", "a"};

int Pick(std::mt19937& rng, int nCount) {
    return static_cast<int>(rng() % static_cast<unsigned>(nCount));
}

void AddRandomChildren(std::mt19937& rng, CFakeFolderNamespace& ns, int nParent, int nDepth) {
    int nChildren = nDepth >= 4 ? 0 : Pick(rng, 5);
    for (int i = 0; i < nChildren; ++i) {
        // Now and then an entry that is no folder, or one that cannot be read.
        uint32_t nAttributes = Pick(rng, 8) == 0 ? NSATTR_FILESYSTEM : CFakeFolderNamespace::ON_DISK;
        int nChild = ns.Add(nParent, g_arNames[Pick(rng, 6)], nAttributes, "/x");
        if (Pick(rng, 12) == 0)
            ns.m_arNodes[nChild].nResult = Pick(rng, 2) ? ENUM_FAILED : ENUM_TIMEOUT;
        AddRandomChildren(rng, ns, nChild, nDepth + 1);
    }
}

void BuildRandomNamespace(std::mt19937& rng, CFakeFolderNamespace& ns) {
    int nTop = 1 + Pick(rng, 4);
    for (int i = 0; i < nTop; ++i) {
        // Some top-level entries are no file-system ancestors: not shown.
        uint32_t nAttributes = Pick(rng, 6) == 0 ? NSATTR_FOLDER : CFakeFolderNamespace::VIRTUAL;
        int nNode = ns.Add(0, i == 1 ? "net" : g_arNames[Pick(rng, 6)], nAttributes);
        AddRandomChildren(rng, ns, nNode, 1);
    }
}

TEST(CheckTreePropertyTest, RandomToggleAndExpandMatchTheModel) {
    for (unsigned nSeed = 1; nSeed <= 500; ++nSeed) {
        std::mt19937 rng(nSeed);
        CFakeFolderNamespace ns;
        BuildRandomNamespace(rng, ns);
        CFakeTreeItems items;
        CCheckTree tree(items, ns);
        CCheckTreeModel model(ns);
        tree.FillRoot();
        model.FillRoot();
        ASSERT_EQ(model.Compare(items, tree), "") << "seed " << nSeed << " after FillRoot";

        for (int nStep = 0; nStep < 60; ++nStep) {
            std::vector<int> arNodes = model.Items();
            if (arNodes.empty())
                break;
            int nNode = arNodes[Pick(rng, static_cast<int>(arNodes.size()))];
            TreeItem hItem = CCheckTreeModel::FindItem(items, nNode);
            ASSERT_NE(hItem, nullptr) << "seed " << nSeed << " node " << nNode;
            if (Pick(rng, 3) == 0) {
                tree.ItemExpanding(hItem);
                model.Expand(nNode);
            } else {
                tree.ToggleCheck(hItem);
                model.Toggle(nNode);
            }
            ASSERT_EQ(model.Compare(items, tree), "") << "seed " << nSeed << " step " << nStep << " node " << nNode;
        }
    }
}

}  // namespace
