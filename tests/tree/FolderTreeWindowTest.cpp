// The folder tree as a user drives it, on a real control: a click on a
// state icon, a click on a label, Space, and a key the control keeps; drives
// that come and go while it is shown, and a folder that does not answer.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/stopwatch.h>

#include "fakes/FakeFolderNamespace.h"
#include "ui/FolderTree.h"

namespace {

wxTreeItemId FindChild(CFolderTree& tree, const wxTreeItemId& parent, const wxString& strText) {
    wxTreeItemIdValue cookie;
    for (wxTreeItemId item = tree.GetFirstChild(parent, cookie); item.IsOk(); item = tree.GetNextChild(parent, cookie)) {
        if (tree.GetItemText(item) == strText)
            return item;
    }
    return wxTreeItemId();
}

// A point the control itself places on the item's state icon.
wxPoint StateIconPoint(CFolderTree& tree, const wxTreeItemId& item) {
    wxRect rcLabel;
    if (!tree.GetBoundingRect(item, rcLabel, true))
        return wxDefaultPosition;
    const int y = rcLabel.y + rcLabel.height / 2;
    for (int x = rcLabel.x; x >= 0; --x) {
        int nFlags = 0;
        if (tree.HitTest(wxPoint(x, y), nFlags) == item && (nFlags & wxTREE_HITTEST_ONITEMSTATEICON))
            return wxPoint(x, y);
    }
    return wxDefaultPosition;
}

wxPoint LabelPoint(CFolderTree& tree, const wxTreeItemId& item) {
    wxRect rcLabel;
    tree.GetBoundingRect(item, rcLabel, true);
    return wxPoint(rcLabel.x + rcLabel.width / 2, rcLabel.y + rcLabel.height / 2);
}

void Click(CFolderTree& tree, const wxPoint& pt) {
    for (wxEventType type : {wxEVT_LEFT_DOWN, wxEVT_LEFT_UP}) {
        wxMouseEvent event(type);
        event.SetPosition(pt);
        event.SetLeftDown(type == wxEVT_LEFT_DOWN);
        event.SetEventObject(&tree);
        tree.GetEventHandler()->ProcessEvent(event);
    }
}

// As the toolkit does: a key down that nobody keeps turns into a character.
void PressKey(CFolderTree& tree, int nKey) {
    wxKeyEvent down(wxEVT_KEY_DOWN);
    down.m_keyCode = nKey;
    down.SetEventObject(&tree);
    if (tree.GetEventHandler()->ProcessEvent(down))
        return;
    wxKeyEvent chr(wxEVT_CHAR);
    chr.m_keyCode = nKey;
    chr.SetEventObject(&tree);
    tree.GetEventHandler()->ProcessEvent(chr);
}

TEST(FolderTreeWindowTest, StateIconClickLabelClickAndSpace) {
    CFakeFolderNamespace ns;
    int nComputer = ns.Add(0, "Computer");
    ns.Add(0, "Network");
    int nC = ns.Add(nComputer, "disk1", CFakeFolderNamespace::ON_DISK, "/c");
    ns.AddFolder(nC, "Users");
    ns.Add(nComputer, "disk2", CFakeFolderNamespace::ON_DISK, "/d");

    auto* pFrame = new wxFrame(nullptr, wxID_ANY, "tree", wxDefaultPosition, wxSize(400, 300));
    auto* pTree = new CFolderTree(pFrame);
    CFolderTree& tree = *pTree;
    tree.SetNamespace(ns);
    tree.InitImageLists();
    tree.FillRoot();
    pFrame->Show();
    pFrame->SendSizeEvent();
    tree.Update();
    wxYield();

    int nTreeKeyDowns = 0;
    int nActivations = 0;
    pFrame->Bind(wxEVT_TREE_KEY_DOWN, [&](wxTreeEvent& event) {
        ++nTreeKeyDowns;
        event.Skip();
    });
    pFrame->Bind(wxEVT_TREE_ITEM_ACTIVATED, [&](wxTreeEvent& event) {
        ++nActivations;
        event.Skip();
    });

    wxTreeItemId computer = FindChild(tree, tree.GetRootItem(), "Computer");
    wxTreeItemId network = FindChild(tree, tree.GetRootItem(), "Network");
    wxTreeItemId driveC = FindChild(tree, computer, "disk1");
    wxTreeItemId driveD = FindChild(tree, computer, "disk2");
    ASSERT_TRUE(driveC.IsOk() && driveD.IsOk() && network.IsOk());
    EXPECT_TRUE(tree.ItemHasChildren(driveC));

    // The state icon toggles, and the click selects the item.
    wxPoint ptBox = StateIconPoint(tree, driveC);
    ASSERT_NE(ptBox, wxDefaultPosition);
    Click(tree, ptBox);
    EXPECT_EQ(tree.GetCheck(driveC), CHECK_ON);
    EXPECT_EQ(tree.GetCheck(computer), CHECK_PARTIAL);
    EXPECT_EQ(tree.GetSelection(), driveC);

    // Space toggles the selected item and goes no further.
    PressKey(tree, WXK_SPACE);
    EXPECT_EQ(tree.GetCheck(driveC), CHECK_OFF);
    EXPECT_EQ(tree.GetCheck(computer), CHECK_OFF);
    EXPECT_EQ(nTreeKeyDowns, 0);
    EXPECT_EQ(nActivations, 0);

    // Other keys keep their usual meaning.
    PressKey(tree, WXK_DOWN);
    EXPECT_EQ(nTreeKeyDowns, 1);
    EXPECT_EQ(tree.GetSelection(), driveD);

    // The label toggles too; an item without a box only gets selected.
    Click(tree, LabelPoint(tree, driveD));
    EXPECT_EQ(tree.GetCheck(driveD), CHECK_ON);
    Click(tree, LabelPoint(tree, network));
    EXPECT_EQ(tree.GetCheck(network), CHECK_NONE);
    EXPECT_EQ(tree.GetSelection(), network);

    // Expanding through the control reads the children, checked from their parent.
    PressKey(tree, WXK_UP);
    PressKey(tree, WXK_UP);
    ASSERT_EQ(tree.GetSelection(), driveC);
    PressKey(tree, WXK_SPACE);
    tree.Expand(driveC);
    wxTreeItemId users = FindChild(tree, driveC, "Users");
    ASSERT_TRUE(users.IsOk());
    EXPECT_EQ(tree.GetCheck(users), CHECK_ON);
    std::string strPath;
    EXPECT_TRUE(tree.GetItemPath(users, strPath));
    EXPECT_EQ(strPath, "/c/Users");

    // Both drives ticked one by one show Computer ticked, yet what is
    // scanned is the two drives, not every drive.
    EXPECT_EQ(tree.GetCheck(computer), CHECK_ON);
    EXPECT_EQ(tree.FirstCheckedItem(), driveC);
    EXPECT_EQ(tree.NextCheckedItem(driveC), driveD);
    EXPECT_FALSE(tree.NextCheckedItem(driveD).IsOk());

    pFrame->Destroy();
    wxTheApp->ProcessIdle();
}

std::vector<std::string> ChildTexts(CFolderTree& tree, const wxTreeItemId& parent) {
    std::vector<std::string> arTexts;
    wxTreeItemIdValue cookie;
    for (wxTreeItemId item = tree.GetFirstChild(parent, cookie); item.IsOk(); item = tree.GetNextChild(parent, cookie))
        arTexts.push_back(tree.GetItemText(item).utf8_string());
    return arTexts;
}

// Serves the window's events until fnDone holds or nMs have passed.
bool ServeUntil(const std::function<bool()>& fnDone, int nMs) {
    wxStopWatch watch;
    while (!fnDone()) {
        if (watch.Time() > nMs)
            return false;
        wxYield();
        wxMilliSleep(10);
    }
    return true;
}

TEST(FolderTreeWindowTest, DrivesFollowTheTableAndASilentFolderSaysSo) {
    CFakeFolderNamespace ns;
    int nComputer = ns.Add(0, "Computer");
    ns.Add(0, "Network");
    int nDisk1 = ns.Add(nComputer, "disk1", CFakeFolderNamespace::ON_DISK, "/c");
    ns.AddFolder(nDisk1, "Users");
    int nSilent = ns.AddFolder(nDisk1, "share");
    ns.AddFolder(nSilent, "docs");
    ns.m_arNodes[nSilent].nResult = ENUM_TIMEOUT;
    int nDisk3 = ns.Add(nComputer, "disk3", CFakeFolderNamespace::ON_DISK, "/e");
    ns.m_setFollowsDrives = {nComputer};

    auto* pFrame = new wxFrame(nullptr, wxID_ANY, "tree", wxDefaultPosition, wxSize(400, 300));
    auto* pTree = new CFolderTree(pFrame);
    CFolderTree& tree = *pTree;
    tree.SetNamespace(ns);
    tree.InitImageLists();
    tree.FillRoot();
    pFrame->Show();
    wxYield();

    wxTreeItemId computer = FindChild(tree, tree.GetRootItem(), "Computer");
    wxTreeItemId disk1 = FindChild(tree, computer, "disk1");
    ASSERT_TRUE(disk1.IsOk());
    tree.Expand(disk1);
    wxTreeItemId users = FindChild(tree, disk1, "Users");
    tree.ToggleCheck(users);

    // A folder that does not answer shows one note, without a box, until a
    // later expansion gets an answer.
    wxTreeItemId share = FindChild(tree, disk1, "share");
    tree.Expand(share);
    EXPECT_EQ(ChildTexts(tree, share), std::vector<std::string>{"(not responding)"});
    EXPECT_EQ(tree.GetCheck(tree.GetLastChild(share)), CHECK_NONE);
    tree.Collapse(share);
    ns.m_arNodes[nSilent].nResult = ENUM_OK;
    tree.Expand(share);
    EXPECT_EQ(ChildTexts(tree, share), std::vector<std::string>{"docs"});

    // A disk mounted while the tree is shown takes its place in the order
    // within 2 s; one unmounted goes; the rest stays as the user left it.
    ns.Add(nComputer, "disk2", CFakeFolderNamespace::ON_DISK, "/d");  // listed last
    ns.m_bDrivesChanged = true;
    EXPECT_TRUE(ServeUntil([&] { return ChildTexts(tree, computer).size() == 3; }, 2000));
    EXPECT_EQ(ChildTexts(tree, computer), (std::vector<std::string>{"disk1", "disk2", "disk3"}));
    auto& arDrives = ns.m_arNodes[nComputer].arChildren;
    arDrives.erase(std::find(arDrives.begin(), arDrives.end(), nDisk3));
    ns.m_bDrivesChanged = true;
    EXPECT_TRUE(ServeUntil([&] { return ChildTexts(tree, computer).size() == 2; }, 2000));
    EXPECT_EQ(ChildTexts(tree, computer), (std::vector<std::string>{"disk1", "disk2"}));
    EXPECT_TRUE(tree.IsExpanded(disk1));
    EXPECT_TRUE(tree.IsExpanded(share));
    EXPECT_EQ(tree.GetCheck(users), CHECK_ON);
    EXPECT_EQ(tree.GetCheck(computer), CHECK_PARTIAL);

    pFrame->Destroy();
    wxTheApp->ProcessIdle();
}

}  // namespace
