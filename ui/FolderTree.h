// The folder tree control: folders of the namespace, read at their first
// expansion, each with a tri-state check box drawn as a state image. A click
// on the box or the text toggles it, so does Space on the selected item.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <wx/imaglist.h>
#include <wx/timer.h>
#include <wx/treectrl.h>

#include "tree/CheckTree.h"

enum {
    IDC_FOLDER_TREE = 1000,
    IDB_TREE_STATES = 130,  // five 16x16 check-box images, white as mask colour
};

// How often the tree asks whether drives came or went.
enum {
    TIMER_FOLLOW_DRIVES = 1,
    FOLLOW_DRIVES_MS = 500,
};

class CFolderTree : public wxTreeCtrl {
public:
    // Buttons and lines at root; the root itself is hidden so the top level
    // can hold several items.
    static constexpr long DEFAULT_STYLE = wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT | wxTR_HIDE_ROOT | wxTR_SINGLE;

    CFolderTree();
    CFolderTree(wxWindow* pParent, wxWindowID nId = IDC_FOLDER_TREE, const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxDefaultSize, long nStyle = DEFAULT_STYLE);
    bool Create(wxWindow* pParent, wxWindowID nId = IDC_FOLDER_TREE, const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxDefaultSize, long nStyle = DEFAULT_STYLE);
    ~CFolderTree() override;

    // The namespace shown (not owned), set before FillRoot; the tree is
    // empty until one is.
    void SetNamespace(IFolderNamespace& ns);

    // State images from bitmap 130 and the small icons of the namespace.
    void InitImageLists();
    // The top level, sorted, with its first item expanded and selected;
    // from then on the drives follow the mount table.
    void FillRoot();

    void ToggleCheck(const wxTreeItemId& item);
    // CHECK_NONE .. CHECK_PARTIAL.
    int GetCheck(const wxTreeItemId& item);
    wxTreeItemId FirstCheckedItem();
    wxTreeItemId NextCheckedItem(const wxTreeItemId& item);
    // Bytes: the path on disk (true) or, outside the file system, the texts
    // from the top joined by '/' (false).
    bool GetItemPath(const wxTreeItemId& item, std::string& strPath);
    std::string GetDisplayPath(const wxTreeItemId& item);
    // Top-level texts in the namespace's order.
    const std::vector<std::string>& GetTopNames() const;
    // The item that stands for every drive (the first top-level item).
    bool IsAllDrivesItem(const wxTreeItemId& item) const;

    // The tree handles its own expansions; a parent that gets the event
    // too may pass it here again, which reads nothing twice.
    void OnItemExpanding(wxTreeEvent& event);

protected:
    int OnCompareItems(const wxTreeItemId& item1, const wxTreeItemId& item2) override;

private:
    class CItems;
    friend class CItems;

    void Init();
    void OnLButtonDown(wxMouseEvent& event);
    void OnKeyDown(wxKeyEvent& event);
    void OnTimer(wxTimerEvent& event);
    TreeItem ToHandle(const wxTreeItemId& item) const;

    wxImageList m_ilState;
    wxImageList m_ilIcons;
    int m_arIconImage[ICON_COUNT];
    std::unique_ptr<IFolderNamespace> m_pNoNamespace;
    std::unique_ptr<CItems> m_pItems;
    std::unique_ptr<CCheckTree> m_pCheckTree;
    wxTimer m_timerDrives{this, TIMER_FOLLOW_DRIVES};
    // The sort in progress: the control's comparison hands over to it.
    FnTreeCompare m_pfnSort = nullptr;
    void* m_pSortContext = nullptr;

    wxDECLARE_EVENT_TABLE();
};
