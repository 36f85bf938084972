// The folder tree's rules apart from any window: tri-state check boxes that
// propagate up and down, the walk for checked items, the lazy fill from a
// namespace with its top-level rules, and the paths of items.
#pragma once

#include <string>
#include <vector>

#include "tree/TreeInterfaces.h"

class CCheckTree {
public:
    CCheckTree(ITreeItems& items, IFolderNamespace& ns);

    void SetNamespace(IFolderNamespace& ns) { m_pNamespace = &ns; }

    // Rebuilds the top level, sorts it, expands and selects its first item.
    void FillRoot();
    // Reads the item's children at its first expansion and sorts them; later
    // expansions read nothing. A folder that did not answer in time shows one
    // note saying so, and is read again at its next expansion.
    void ItemExpanding(TreeItem hItem);
    // When the namespace says the drives changed, reads again each expanded
    // top-level item whose children are drives: new ones go in their sorted
    // place, vanished ones go, every other item keeps its expansion and box.
    void FollowDrives();

    // 1 -> 2, 2 -> 1, 3 -> 2; an item without a box stays without one. The
    // whole inserted subtree takes the new state, the ancestors follow from
    // their children.
    void ToggleCheck(TreeItem hItem);

    // The checked items whose subtrees count as checked as a whole, in
    // display order: a checked item is returned, never its descendants. An
    // item ticked only because all its boxed children are is not one: its
    // children are returned instead, so its own files are not scanned.
    TreeItem FirstCheckedItem();
    TreeItem NextCheckedItem(TreeItem hItem);
    // One step of that walk: into an item without a box or a partial one,
    // past any other.
    TreeItem NextWalkItem(TreeItem hItem);

    // The item's path on disk (true), or for an item outside the file system
    // its display path (false). Without a record, or for a file-system item
    // the namespace cannot place, false and strPath is left as it was.
    bool GetItemPath(TreeItem hItem, std::string& strPath);
    // The texts from the top down to the item, joined by '/'.
    std::string GetDisplayPath(TreeItem hItem);
    // Display order of two siblings, by the namespace.
    int CompareItems(TreeItem hItem1, TreeItem hItem2);

    // Texts of the top-level items in the namespace's order (not sorted).
    const std::vector<std::string>& GetTopNames() const { return m_arTopNames; }
    // The first top-level item in the namespace's order: ticking it scans
    // every drive. Known by identity, never by its text.
    bool IsAllDrivesItem(TreeItem hItem) const { return hItem && hItem == m_hFirstEntry; }
    int GetSecondEntryInserts() const { return m_nSecondEntryInserts; }
    bool IsFirstNoBoxStepPending() const { return m_bFirstNoBoxStep; }

private:
    int FillChildren(const FOLDERITEM* pFolder, TreeItem hParent, int nCheck, uint32_t nMask);
    void MergeChildren(TreeItem hParent);
    // An item with a box takes its state from its boxed children, and so on up.
    void UpdateFromChildren(TreeItem hItem);
    void SetSubtreeCheck(TreeItem hItem, int nCheck);
    bool IsOnByChildren(TreeItem hItem);
    void SetOnByChildren(TreeItem hItem, bool bOn);
    // The next item after hItem's subtree that is still below hTop
    // (nullptr: anywhere in the tree).
    TreeItem NextAfterSubtree(TreeItem hItem, TreeItem hTop);
    TreeItem FindChecked(TreeItem hItem, bool bLaterStep);
    static int CompareCallback(TreeItem hItem1, TreeItem hItem2, void* pContext);

    ITreeItems& m_items;
    IFolderNamespace* m_pNamespace;

    std::vector<std::string> m_arTopNames;
    // Items inserted under the second top-level item after its first child.
    // The second one deletes that first child (a placeholder); the count
    // starts over only when the whole tree is rebuilt.
    int m_nSecondEntryInserts = 0;
    // The first top-level item itself, the one for all drives.
    TreeItem m_hFirstEntry = nullptr;
    // The second top-level item itself: it and its direct children carry no
    // box. Held by identity, so a folder that merely shares its text anywhere
    // else in the tree keeps its boxes and its first child.
    TreeItem m_hSecondEntry = nullptr;
    // Set until the first later walk step meets an item without a box. The
    // step taken there is the same on every walk, so the first scan of a run
    // gets the same targets as every later one.
    bool m_bFirstNoBoxStep = true;
};
