// What the check tree needs from the world: the items of a tree control and
// a namespace of folders to fill them from. Both are kept small so the check
// rules, the walk and the fill run over fakes in tests and without a window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// An item of the tree control; nullptr is "no item", and stands for the top
// of the tree where a parent is asked for or given.
using TreeItem = void*;

// Check box of an item, as its state-image index.
enum {
    CHECK_NONE = 0,  // no box
    CHECK_OFF = 1,
    CHECK_ON = 2,
    CHECK_PARTIAL = 3,  // some but not all inserted descendants checked
};

// Attributes of a namespace child, as bits of one mask.
constexpr uint32_t NSATTR_FILESYSANCESTOR = 0x10000000;  // file-system folders somewhere below
constexpr uint32_t NSATTR_FOLDER = 0x20000000;
constexpr uint32_t NSATTR_FILESYSTEM = 0x40000000;  // has a path on disk
constexpr uint32_t NSATTR_HASSUBFOLDER = 0x80000000;

// Small icons an item asks for; the window maps them to the desktop's images.
enum ENamespaceIcon : uint8_t {
    ICON_NONE,
    ICON_COMPUTER,
    ICON_NETWORK,
    ICON_NETWORK_PLACE,
    ICON_HOME,
    ICON_DRIVE_FIXED,
    ICON_DRIVE_REMOVABLE,
    ICON_DRIVE_REMOTE,
    ICON_DRIVE_CDROM,
    ICON_DRIVE_RAMDISK,
    ICON_FOLDER,
    ICON_FOLDER_OPEN,
    ICON_COUNT
};

// The record behind one tree item: its text and what the namespace needs to
// find it again. Kinds and paths are the namespace's own.
struct FOLDERITEM {
    int nKind = 0;
    uint32_t nAttributes = 0;
    std::string strName;  // the item's text, as bytes
    std::string strPath;  // on disk, as bytes; empty outside the file system
    bool bSlow = false;   // reads may block (a network mount, an automount point): never touched without a bound
    bool bFilled = false;  // children were read at a first expansion
    // A line of text in the tree, not a folder: no box, no path, never read
    // (what stands under a folder that did not answer).
    bool bNote = false;
    // Shown ticked only because every boxed child is: the user picked the
    // children, not the folder, so its own files are not scanned.
    bool bOnByChildren = false;
    uint8_t nIcon = ICON_NONE;
    uint8_t nOpenIcon = ICON_NONE;
};

// Results of reading a namespace folder.
enum EEnumResult {
    ENUM_OK = 0,
    ENUM_FAILED = 1,   // cannot be read (gone, no access): nothing to show
    ENUM_TIMEOUT = 2,  // did not answer in time; may be asked again later
};

class IFolderNamespace {
public:
    virtual ~IFolderNamespace() = default;
    // The children of pFolder (nullptr: the top level) in the namespace's
    // own order, each with its attributes, name, icons and path.
    virtual int EnumChildren(const FOLDERITEM* pFolder, std::vector<FOLDERITEM>& arChildren) = 0;
    // Display order of two children of one parent: negative, 0 or positive.
    virtual int CompareItems(const FOLDERITEM& item1, const FOLDERITEM& item2) = 0;
    // The item's path on disk; false outside the file system.
    virtual bool GetFileSystemPath(const FOLDERITEM& item, std::string& strPath) = 0;
    // True once after the drives may have changed (something was mounted or
    // unmounted); cheap, asked often. The folders whose children are drives
    // are then read again.
    virtual bool DrivesChanged() { return false; }
    // The folder's children are drives: they follow the mount table.
    virtual bool FollowsDrives(const FOLDERITEM& folder) {
        (void)folder;
        return false;
    }
    // Called every few milliseconds while a read that may be slow is
    // awaited, so the window keeps painting; it must not call back here.
    virtual void SetWaitServer(std::function<void()> fnServe) { (void)fnServe; }
};

using FnTreeCompare = int (*)(TreeItem hItem1, TreeItem hItem2, void* pContext);

// The tree control as the check tree drives it.
class ITreeItems {
public:
    virtual ~ITreeItems() = default;
    virtual TreeItem GetChildItem(TreeItem hParent) = 0;
    virtual TreeItem GetNextSiblingItem(TreeItem hItem) = 0;
    // nullptr for a top-level item.
    virtual TreeItem GetParentItem(TreeItem hItem) = 0;
    virtual int GetCheck(TreeItem hItem) = 0;
    virtual void SetCheck(TreeItem hItem, int nCheck) = 0;
    // The item's record, owned by the item; nullptr when it has none.
    virtual FOLDERITEM* GetRecord(TreeItem hItem) = 0;
    // Inserts under hParent after hAfter (first when nullptr), shown with
    // the record's name and icons, with an expand button when the record has
    // NSATTR_HASSUBFOLDER. nullptr when it could not be inserted.
    virtual TreeItem InsertItem(TreeItem hParent, TreeItem hAfter, FOLDERITEM&& item) = 0;
    // Deletes the item with everything below it, records included.
    virtual void DeleteItem(TreeItem hItem) = 0;
    virtual void DeleteAllItems() = 0;
    virtual void SetHasChildren(TreeItem hItem, bool bHasChildren) = 0;
    virtual void SortChildren(TreeItem hParent, FnTreeCompare pfnCompare, void* pContext) = 0;
    virtual void ExpandItem(TreeItem hItem) = 0;
    virtual void SelectItem(TreeItem hItem) = 0;
};
