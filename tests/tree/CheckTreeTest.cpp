// The check tree over an in-memory tree and namespace: the fill rules, the
// propagation of check boxes, the walk for checked items and item paths.

#include <gtest/gtest.h>

#include "fakes/FakeFolderNamespace.h"
#include "fakes/FakeTreeItems.h"
#include "tree/CheckTree.h"

namespace {

using NS = CFakeFolderNamespace;

// Computer (virtual): disk1 ("/"): system, Users: ann, bob; disk2 ("/data", empty);
//                     printers (virtual)
// Network (virtual, the second entry): Entire Network (virtual), srv1: share, srv2
// Places (on disk): Docs, Music
// plus a top-level item outside the file system's ancestors, and a plain
// entry that is no folder, neither of which is shown.
class CheckTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        int nComputer = m_ns.Add(0, "Computer");
        m_nNetwork = m_ns.Add(0, "Network");
        m_ns.Add(0, "Bin", NSATTR_FOLDER);  // no file-system ancestor
        m_nPlaces = m_ns.Add(0, "Places", NS::ON_DISK, "/places");
        m_nC = m_ns.Add(nComputer, "disk1", NS::ON_DISK, "/");
        m_ns.AddFolder(m_nC, "system");
        int nUsers = m_ns.AddFolder(m_nC, "Users");
        m_ns.AddFolder(nUsers, "ann");
        m_ns.AddFolder(nUsers, "bob");
        m_ns.Add(m_nC, "swap.img", NSATTR_FILESYSTEM);  // a file: never shown
        m_ns.Add(nComputer, "disk2", NS::ON_DISK, "/data");
        m_ns.Add(nComputer, "printers");
        m_ns.Add(m_nNetwork, "Entire Network");
        int nSrv1 = m_ns.Add(m_nNetwork, "srv1", NS::ON_DISK, "/net/srv1");
        m_ns.AddFolder(nSrv1, "share");
        m_ns.Add(m_nNetwork, "srv2", NS::ON_DISK | NSATTR_HASSUBFOLDER, "/net/srv2");
        m_ns.AddFolder(m_nPlaces, "Docs");
        m_ns.AddFolder(m_nPlaces, "Music");
    }

    TreeItem Item(const std::string& strTexts) {
        TreeItem h = m_items.Find(strTexts);
        EXPECT_NE(h, nullptr) << strTexts;
        return h;
    }
    int Check(const std::string& strTexts) {
        TreeItem h = Item(strTexts);
        return h ? m_items.GetCheck(h) : -1;
    }
    void Expand(const std::string& strTexts) { m_tree.ItemExpanding(Item(strTexts)); }
    void Toggle(const std::string& strTexts) { m_tree.ToggleCheck(Item(strTexts)); }
    std::vector<std::string> Walk() {
        std::vector<std::string> arFound;
        for (TreeItem h = m_tree.FirstCheckedItem(); h && arFound.size() < 100; h = m_tree.NextCheckedItem(h))
            arFound.push_back(m_tree.GetDisplayPath(h));
        return arFound;
    }

    NS m_ns;
    CFakeTreeItems m_items;
    CCheckTree m_tree{m_items, m_ns};
    int m_nNetwork = 0;
    int m_nPlaces = 0;
    int m_nC = 0;
};

using StringList = std::vector<std::string>;

TEST_F(CheckTreeTest, FillRootShowsTheTopLevelAndTheFirstItemsChildren) {
    m_tree.FillRoot();
    // Insertion order, not display order; "Bin" has no file-system ancestor.
    EXPECT_EQ(m_tree.GetTopNames(), (StringList{"Computer", "Network", "Places"}));
    EXPECT_EQ(m_items.ChildTexts(nullptr), (StringList{"Computer", "Network", "Places"}));
    EXPECT_EQ(m_items.ChildTexts(Item("Computer")), (StringList{"disk1", "disk2", "printers"}));
    EXPECT_EQ(m_items.ChildTexts(Item("Places")), StringList{});
    EXPECT_EQ(m_items.m_hSelected, Item("Computer"));
    EXPECT_TRUE(CFakeTreeItems::Node(Item("Computer"))->bExpanded);

    EXPECT_EQ(Check("Computer"), CHECK_OFF);
    EXPECT_EQ(Check("Network"), CHECK_NONE);
    EXPECT_EQ(Check("Places"), CHECK_OFF);
    EXPECT_EQ(Check("Computer/disk1"), CHECK_OFF);
    // Expand buttons before any child is read: from the namespace's flag.
    EXPECT_TRUE(CFakeTreeItems::Node(Item("Computer/disk1"))->bHasChildren);
    EXPECT_TRUE(CFakeTreeItems::Node(Item("Places"))->bHasChildren);
    EXPECT_FALSE(CFakeTreeItems::Node(Item("Computer/disk2"))->bHasChildren);

    // A second expansion reads nothing; the file is never shown.
    int nCalls = m_ns.m_nEnumCalls;
    Expand("Computer/disk1");
    Expand("Computer/disk1");
    EXPECT_EQ(m_ns.m_nEnumCalls, nCalls + 1);
    EXPECT_EQ(m_items.ChildTexts(Item("Computer/disk1")), (StringList{"Users", "system"}));
}

TEST_F(CheckTreeTest, NewChildrenStartCheckedOnlyUnderACheckedItem) {
    m_tree.FillRoot();
    Toggle("Computer/disk1");
    Expand("Computer/disk1");
    EXPECT_EQ(Check("Computer/disk1/Users"), CHECK_ON);
    EXPECT_EQ(Check("Computer/disk1/system"), CHECK_ON);
    Expand("Places");
    EXPECT_EQ(Check("Places/Docs"), CHECK_OFF);
    // An item marked partial before its first expansion gives unchecked children.
    Toggle("Computer/disk1/system");
    m_items.SetCheck(Item("Computer/disk1/Users"), CHECK_PARTIAL);
    Expand("Computer/disk1/Users");
    EXPECT_EQ(Check("Computer/disk1/Users/ann"), CHECK_OFF);
}

TEST_F(CheckTreeTest, ToggleIndexRules) {
    m_tree.FillRoot();
    Toggle("Computer/disk2");
    EXPECT_EQ(Check("Computer/disk2"), CHECK_ON);
    Toggle("Computer/disk2");
    EXPECT_EQ(Check("Computer/disk2"), CHECK_OFF);
    Toggle("Computer/disk2");
    EXPECT_EQ(Check("Computer"), CHECK_PARTIAL);
    Toggle("Computer");  // partial -> checked
    EXPECT_EQ(Check("Computer"), CHECK_ON);
    EXPECT_EQ(Check("Computer/printers"), CHECK_ON);
    // No box: nothing changes, below or above.
    Toggle("Network");
    EXPECT_EQ(Check("Network"), CHECK_NONE);
    EXPECT_EQ(Check("Computer"), CHECK_ON);
}

TEST_F(CheckTreeTest, CheckingAFolderChecksItsSubtreeAndSettlesItsAncestors) {
    m_tree.FillRoot();
    Expand("Computer/disk1");
    Expand("Computer/disk1/Users");
    Toggle("Computer/disk1");
    for (const char* psz : {"Computer/disk1", "Computer/disk1/system", "Computer/disk1/Users", "Computer/disk1/Users/ann",
                            "Computer/disk1/Users/bob"})
        EXPECT_EQ(Check(psz), CHECK_ON) << psz;
    EXPECT_EQ(Check("Computer"), CHECK_PARTIAL);  // disk2 and printers are not checked
    Toggle("Computer/disk2");
    Toggle("Computer/printers");
    EXPECT_EQ(Check("Computer"), CHECK_ON);

    // Unchecking the last checked child makes the parent unchecked again.
    Toggle("Computer/disk1");
    Toggle("Computer/disk2");
    EXPECT_EQ(Check("Computer"), CHECK_PARTIAL);
    Toggle("Computer/printers");
    EXPECT_EQ(Check("Computer"), CHECK_OFF);
    EXPECT_EQ(Check("Computer/disk1/Users/bob"), CHECK_OFF);
}

TEST_F(CheckTreeTest, MixedChildrenMakeEveryAncestorPartial) {
    m_tree.FillRoot();
    Expand("Computer/disk1");
    Expand("Computer/disk1/Users");
    Toggle("Computer/disk1/Users/ann");
    EXPECT_EQ(Check("Computer/disk1/Users"), CHECK_PARTIAL);
    EXPECT_EQ(Check("Computer/disk1"), CHECK_PARTIAL);
    EXPECT_EQ(Check("Computer"), CHECK_PARTIAL);
    Toggle("Computer/disk1/Users/bob");
    EXPECT_EQ(Check("Computer/disk1/Users"), CHECK_ON);
    EXPECT_EQ(Check("Computer/disk1"), CHECK_PARTIAL);
    Toggle("Computer/disk1/Users/ann");
    EXPECT_EQ(Check("Computer/disk1/Users"), CHECK_PARTIAL);
    Toggle("Computer/disk1/Users/bob");
    EXPECT_EQ(Check("Computer/disk1/Users"), CHECK_OFF);
    EXPECT_EQ(Check("Computer"), CHECK_OFF);
}

TEST_F(CheckTreeTest, ItemsWithoutBoxStopPropagationUpAndAddNothing) {
    m_tree.FillRoot();
    Expand("Network");
    Expand("Network/srv1");
    Toggle("Network/srv1/share");
    EXPECT_EQ(Check("Network/srv1/share"), CHECK_ON);
    EXPECT_EQ(Check("Network/srv1"), CHECK_NONE);
    EXPECT_EQ(Check("Network"), CHECK_NONE);

    // A child without a box among boxed ones adds nothing to its parent...
    m_items.SetCheck(Item("Computer/printers"), CHECK_NONE);
    Toggle("Computer/disk1");
    Toggle("Computer/disk2");
    EXPECT_EQ(Check("Computer"), CHECK_ON);
    // ...but a subtree set from above takes every item, boxed or not.
    Toggle("Computer");
    EXPECT_EQ(Check("Computer/printers"), CHECK_OFF);
}

TEST_F(CheckTreeTest, SecondEntryAndItsChildrenHaveNoBoxAndItsPlaceholderGoes) {
    m_tree.FillRoot();
    Expand("Network");
    EXPECT_EQ(m_items.ChildTexts(Item("Network")), (StringList{"srv1", "srv2"}));
    EXPECT_EQ(m_tree.GetSecondEntryInserts(), 2);
    EXPECT_EQ(Check("Network/srv1"), CHECK_NONE);
    EXPECT_EQ(Check("Network/srv2"), CHECK_NONE);
    Expand("Network/srv1");
    EXPECT_EQ(Check("Network/srv1/share"), CHECK_OFF);
    EXPECT_EQ(m_tree.GetSecondEntryInserts(), 2);

    // Rebuilt, the tree removes the placeholder again.
    m_tree.FillRoot();
    Expand("Network");
    EXPECT_EQ(m_items.ChildTexts(Item("Network")), (StringList{"srv1", "srv2"}));
}

TEST_F(CheckTreeTest, PlaceholderStaysWhenItIsAlone) {
    m_ns.m_arNodes[m_nNetwork].arChildren.resize(1);
    m_tree.FillRoot();
    Expand("Network");
    EXPECT_EQ(m_items.ChildTexts(Item("Network")), StringList{"Entire Network"});
    EXPECT_EQ(m_tree.GetSecondEntryInserts(), 0);
}

TEST_F(CheckTreeTest, FolderThatSharesTheSecondEntrysTextKeepsBoxesAndChildren) {
    int nFolder = m_ns.AddFolder(m_nPlaces, "Network");
    m_ns.AddFolder(nFolder, "a");
    m_ns.AddFolder(nFolder, "b");
    m_tree.FillRoot();
    Expand("Places");
    Expand("Places/Network");
    EXPECT_EQ(m_items.ChildTexts(Item("Places/Network")), (StringList{"a", "b"}));
    EXPECT_EQ(Check("Places/Network/a"), CHECK_OFF);
    // The real second entry still loses its placeholder afterwards.
    Expand("Network");
    EXPECT_EQ(m_items.ChildTexts(Item("Network")), (StringList{"srv1", "srv2"}));
}

TEST_F(CheckTreeTest, OnlyTheFirstTopLevelItemStandsForAllDrives) {
    m_ns.AddFolder(m_nPlaces, "Computer");
    m_tree.FillRoot();
    Expand("Places");
    EXPECT_TRUE(m_tree.IsAllDrivesItem(Item("Computer")));
    EXPECT_FALSE(m_tree.IsAllDrivesItem(Item("Places/Computer")));
    EXPECT_FALSE(m_tree.IsAllDrivesItem(Item("Places")));
}

TEST_F(CheckTreeTest, WithOneTopLevelItemEveryItemHasABox) {
    m_ns.m_arNodes[0].arChildren = {m_nPlaces};
    m_tree.FillRoot();
    EXPECT_EQ(m_tree.GetTopNames(), StringList{"Places"});
    EXPECT_EQ(Check("Places"), CHECK_OFF);
    EXPECT_EQ(Check("Places/Docs"), CHECK_OFF);
}

TEST_F(CheckTreeTest, UnreadableFolderLosesItsButtonAndALateOneIsAskedAgain) {
    m_ns.m_arNodes[m_nPlaces].nResult = ENUM_FAILED;
    m_ns.m_arNodes[m_nNetwork].nResult = ENUM_TIMEOUT;
    m_tree.FillRoot();
    Expand("Places");
    EXPECT_FALSE(CFakeTreeItems::Node(Item("Places"))->bHasChildren);
    Expand("Network");
    EXPECT_TRUE(CFakeTreeItems::Node(Item("Network"))->bHasChildren);
    // One note says why nothing shows, however often it is asked.
    EXPECT_EQ(m_items.ChildTexts(Item("Network")), StringList{"(not responding)"});
    Expand("Network");
    EXPECT_EQ(m_items.ChildTexts(Item("Network")), StringList{"(not responding)"});
    // It never gets a box, and the walk passes it by.
    m_ns.m_arNodes[m_items.GetRecord(Item("Computer/disk2"))->nKind].nResult = ENUM_TIMEOUT;
    Expand("Computer/disk2");
    Toggle("Computer/disk2");
    EXPECT_EQ(Check("Computer/disk2/(not responding)"), CHECK_NONE);
    EXPECT_EQ(Walk(), StringList{"Computer/disk2"});
    m_ns.m_arNodes[m_nNetwork].nResult = ENUM_OK;
    Expand("Network");
    EXPECT_EQ(m_items.ChildTexts(Item("Network")), (StringList{"srv1", "srv2"}));
}

TEST_F(CheckTreeTest, WalkReturnsCheckedRootsInDisplayOrder) {
    m_tree.FillRoot();
    EXPECT_EQ(m_tree.FirstCheckedItem(), nullptr);
    Expand("Computer/disk1");
    Expand("Computer/disk1/Users");
    Expand("Places");
    Toggle("Computer/disk1/Users/bob");
    Toggle("Computer/disk2");
    Toggle("Places/Music");
    EXPECT_EQ(Walk(), (StringList{"Computer/disk1/Users/bob", "Computer/disk2", "Places/Music"}));

    // A checked folder is returned, never its checked descendants.
    Toggle("Computer/disk1");
    EXPECT_EQ(Walk(), (StringList{"Computer/disk1", "Computer/disk2", "Places/Music"}));
    // Every child ticked shows the parent ticked, but the user picked the
    // children: they are walked, never the parent's own files. The parent
    // ticked itself is the parent.
    Toggle("Computer/printers");
    EXPECT_EQ(Check("Computer"), CHECK_ON);
    EXPECT_EQ(Walk(), (StringList{"Computer/disk1", "Computer/disk2", "Computer/printers", "Places/Music"}));
    Toggle("Computer/disk2");
    Toggle("Computer/disk2");
    EXPECT_EQ(Walk(), (StringList{"Computer/disk1", "Computer/disk2", "Computer/printers", "Places/Music"}));
    Toggle("Computer");
    Toggle("Computer");
    EXPECT_EQ(Walk(), (StringList{"Computer", "Places/Music"}));
}

TEST_F(CheckTreeTest, WalkFindsCheckedFoldersBelowItemsWithoutBox) {
    m_tree.FillRoot();
    Expand("Network");
    Expand("Network/srv1");
    Toggle("Network/srv1/share");
    Toggle("Computer/disk2");
    EXPECT_EQ(Walk(), (StringList{"Computer/disk2", "Network/srv1/share"}));
}

// Meeting an item without a box must not change what a walk finds, on the
// first walk of a run or any later one: an unexpanded "Network" does not end
// the walk, and a checked, expanded item after it comes back as itself, not
// as its children.
TEST_F(CheckTreeTest, FirstWalkOfARunFindsWhatLaterWalksFind) {
    m_tree.FillRoot();
    Expand("Places");
    Toggle("Computer/disk2");
    Toggle("Places");  // checked and expanded: itself, not Docs and Music
    const StringList arExpected{"Computer/disk2", "Places"};
    EXPECT_TRUE(m_tree.IsFirstNoBoxStepPending());
    EXPECT_EQ(Walk(), arExpected);
    EXPECT_FALSE(m_tree.IsFirstNoBoxStepPending());
    EXPECT_EQ(Walk(), arExpected);

    // Expanded "Network" whose children are never expanded: the walk passes
    // them instead of ending.
    Expand("Network");
    EXPECT_EQ(Walk(), arExpected);
    // The first checked item right after an item without a box is that item.
    Toggle("Computer/disk2");
    EXPECT_EQ(Walk(), StringList{"Places"});
}

TEST_F(CheckTreeTest, ItemPaths) {
    m_tree.FillRoot();
    Expand("Computer/disk1");
    std::string strPath = "unchanged";
    EXPECT_TRUE(m_tree.GetItemPath(Item("Computer/disk1"), strPath));
    EXPECT_EQ(strPath, "/");
    EXPECT_TRUE(m_tree.GetItemPath(Item("Computer/disk1/Users"), strPath));
    EXPECT_EQ(strPath, "/Users");

    // Outside the file system: the display path, and false.
    EXPECT_FALSE(m_tree.GetItemPath(Item("Computer"), strPath));
    EXPECT_EQ(strPath, "Computer");
    EXPECT_FALSE(m_tree.GetItemPath(Item("Computer/printers"), strPath));
    EXPECT_EQ(strPath, "Computer/printers");
    // A parent text ending in '/' gets no second one.
    TreeItem hUsers = Item("Computer/disk1/Users");
    m_items.GetRecord(Item("Computer/disk1"))->strName = "/";
    EXPECT_EQ(m_tree.GetDisplayPath(hUsers), "Computer//Users");

    // A file-system item the namespace cannot place, or no item: unchanged.
    strPath = "unchanged";
    m_tree.GetItemPath(nullptr, strPath);
    EXPECT_EQ(strPath, "unchanged");
    m_items.GetRecord(Item("Computer/disk2"))->strPath.clear();
    EXPECT_FALSE(m_tree.GetItemPath(Item("Computer/disk2"), strPath));
    EXPECT_EQ(strPath, "unchanged");
}

}  // namespace
