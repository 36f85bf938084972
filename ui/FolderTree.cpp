#include "ui/FolderTree.h"

#include <wx/evtloop.h>

#include <cstring>
#include <unordered_map>

#include <wx/artprov.h>
#include <wx/image.h>
#include <wx/utils.h>

#include "ui/DisplayText.h"
#include "res/TreeStates130.xpm"

namespace {

// Stands in until the program hands the tree its namespace.
class CNoNamespace : public IFolderNamespace {
public:
    int EnumChildren(const FOLDERITEM*, std::vector<FOLDERITEM>& arChildren) override {
        arChildren.clear();
        return ENUM_OK;
    }
    int CompareItems(const FOLDERITEM&, const FOLDERITEM&) override { return 0; }
    bool GetFileSystemPath(const FOLDERITEM&, std::string&) override { return false; }
};

// The record travels with the control's item and dies with it.
class CFolderItemData : public wxTreeItemData {
public:
    explicit CFolderItemData(FOLDERITEM&& item) : m_item(std::move(item)) {}
    FOLDERITEM m_item;
};

constexpr int ICON_SIZE = 16;
constexpr int STATE_IMAGES = 5;

// Names tried in turn: the icon theme's first, then the toolkit's own art.
const char* const g_arIconNames[ICON_COUNT][3] = {
    {nullptr, nullptr, nullptr},                             // ICON_NONE
    {"computer", "wxART_HARDDISK", nullptr},                 // ICON_COMPUTER
    {"network-workgroup", "network-server", "wxART_FOLDER"},  // ICON_NETWORK
    {"network-server", "network-workgroup", "wxART_FOLDER"},  // ICON_NETWORK_PLACE
    {"user-home", "wxART_GO_HOME", "wxART_FOLDER"},           // ICON_HOME
    {"drive-harddisk", "wxART_HARDDISK", nullptr},           // ICON_DRIVE_FIXED
    {"drive-removable-media", "wxART_REMOVABLE", "wxART_HARDDISK"},  // ICON_DRIVE_REMOVABLE
    {"folder-remote", "network-server", "wxART_HARDDISK"},   // ICON_DRIVE_REMOTE
    {"drive-optical", "wxART_CDROM", "wxART_HARDDISK"},      // ICON_DRIVE_CDROM
    {"media-flash", "drive-harddisk", "wxART_HARDDISK"},     // ICON_DRIVE_RAMDISK
    {"wxART_FOLDER", "folder", nullptr},                     // ICON_FOLDER
    {"wxART_FOLDER_OPEN", "folder-open", "wxART_FOLDER"},    // ICON_FOLDER_OPEN
};

wxBitmap LoadIconBitmap(int nIcon) {
    for (const char* pszName : g_arIconNames[nIcon]) {
        if (!pszName)
            break;
        wxBitmap bmp = wxArtProvider::GetBitmap(wxString::FromAscii(pszName), wxART_OTHER,
                                                wxSize(ICON_SIZE, ICON_SIZE));
        if (!bmp.IsOk())
            continue;
        if (bmp.GetWidth() != ICON_SIZE || bmp.GetHeight() != ICON_SIZE)
            bmp = wxBitmap(bmp.ConvertToImage().Rescale(ICON_SIZE, ICON_SIZE, wxIMAGE_QUALITY_HIGH));
        return bmp;
    }
    // Nothing in the theme: a clear square keeps the texts in line.
    wxImage img(ICON_SIZE, ICON_SIZE);
    img.InitAlpha();
    memset(img.GetAlpha(), 0, ICON_SIZE * ICON_SIZE);
    return wxBitmap(img);
}

}  // namespace

// The control as the check tree sees it. Stepping through siblings keeps a
// cursor per parent, because the control itself finds a next sibling by
// searching the parent's children, which would make walking a folder of
// 50,000 items quadratic.
class CFolderTree::CItems : public ITreeItems {
public:
    explicit CItems(CFolderTree& tree) : m_tree(tree) {}

    TreeItem GetChildItem(TreeItem hParent) override {
        wxTreeItemId parent = hParent ? wxTreeItemId(hParent) : m_tree.GetRootItem();
        if (!parent.IsOk())
            return nullptr;
        wxTreeItemIdValue cookie;
        wxTreeItemId child = m_tree.GetFirstChild(parent, cookie);
        if (!child.IsOk())
            return nullptr;
        m_mapCursors[parent.GetID()] = SCursor{child.GetID(), cookie};
        return child.GetID();
    }

    TreeItem GetNextSiblingItem(TreeItem hItem) override {
        wxTreeItemId parent = m_tree.GetItemParent(wxTreeItemId(hItem));
        if (!parent.IsOk())
            return nullptr;
        SCursor& cursor = m_mapCursors[parent.GetID()];
        if (cursor.hItem != hItem) {
            // Not where the cursor stands: find the item once, from the start.
            cursor.hItem = nullptr;
            wxTreeItemId child = m_tree.GetFirstChild(parent, cursor.cookie);
            while (child.IsOk() && child.GetID() != hItem)
                child = m_tree.GetNextChild(parent, cursor.cookie);
            if (!child.IsOk())
                return nullptr;
            cursor.hItem = hItem;
        }
        wxTreeItemId next = m_tree.GetNextChild(parent, cursor.cookie);
        if (!next.IsOk()) {
            cursor.hItem = nullptr;
            return nullptr;
        }
        cursor.hItem = next.GetID();
        return next.GetID();
    }

    TreeItem GetParentItem(TreeItem hItem) override {
        wxTreeItemId parent = m_tree.GetItemParent(wxTreeItemId(hItem));
        if (!parent.IsOk() || parent == m_tree.GetRootItem())
            return nullptr;
        return parent.GetID();
    }

    int GetCheck(TreeItem hItem) override {
        int nState = m_tree.GetItemState(wxTreeItemId(hItem));
        return nState < 0 ? CHECK_NONE : nState;
    }

    void SetCheck(TreeItem hItem, int nCheck) override {
        // Index 0 is "no image", so image 0 of the list is never shown.
        int nState = nCheck == CHECK_NONE ? wxTREE_ITEMSTATE_NONE : nCheck;
        wxTreeItemId item(hItem);
        if (m_tree.GetItemState(item) != nState)
            m_tree.SetItemState(item, nState);
    }

    FOLDERITEM* GetRecord(TreeItem hItem) override {
        auto* pData = static_cast<CFolderItemData*>(m_tree.GetItemData(wxTreeItemId(hItem)));
        return pData ? &pData->m_item : nullptr;
    }

    TreeItem InsertItem(TreeItem hParent, TreeItem hAfter, FOLDERITEM&& item) override {
        wxTreeItemId parent = hParent ? wxTreeItemId(hParent) : m_tree.GetRootItem();
        if (!parent.IsOk())
            parent = m_tree.AddRoot(wxString());
        int nImage = item.nIcon < ICON_COUNT ? m_tree.m_arIconImage[item.nIcon] : -1;
        int nOpenImage = item.nOpenIcon < ICON_COUNT ? m_tree.m_arIconImage[item.nOpenIcon] : -1;
        const bool bHasSubfolders = (item.nAttributes & NSATTR_HASSUBFOLDER) != 0;
        const wxString strText = ToDisplay(item.strName);
        auto* pData = new CFolderItemData(std::move(item));

        // Fills insert after the last item inserted, which is the last child:
        // append, since inserting after a named item searches for it first.
        wxTreeItemId id;
        if (hAfter && m_tree.GetLastChild(parent).GetID() == hAfter) {
            id = m_tree.AppendItem(parent, strText, nImage, nOpenImage, pData);
        } else {
            id = hAfter ? m_tree.wxTreeCtrl::InsertItem(parent, wxTreeItemId(hAfter), strText, nImage, nOpenImage, pData)
                        : m_tree.PrependItem(parent, strText, nImage, nOpenImage, pData);
            m_mapCursors.clear();
        }
        if (!id.IsOk()) {
            delete pData;
            return nullptr;
        }
        if (bHasSubfolders)
            m_tree.SetItemHasChildren(id, true);
        return id.GetID();
    }

    void DeleteItem(TreeItem hItem) override {
        m_mapCursors.clear();
        m_tree.Delete(wxTreeItemId(hItem));
    }

    void DeleteAllItems() override {
        m_mapCursors.clear();
        m_tree.DeleteAllItems();
        m_tree.AddRoot(wxString());
    }

    void SetHasChildren(TreeItem hItem, bool bHasChildren) override {
        m_tree.SetItemHasChildren(wxTreeItemId(hItem), bHasChildren);
    }

    void SortChildren(TreeItem hParent, FnTreeCompare pfnCompare, void* pContext) override {
        wxTreeItemId parent = hParent ? wxTreeItemId(hParent) : m_tree.GetRootItem();
        if (!parent.IsOk())
            return;
        m_mapCursors.clear();
        m_tree.m_pfnSort = pfnCompare;
        m_tree.m_pSortContext = pContext;
        m_tree.wxTreeCtrl::SortChildren(parent);
        m_tree.m_pfnSort = nullptr;
        m_tree.m_pSortContext = nullptr;
    }

    void ExpandItem(TreeItem hItem) override { m_tree.Expand(wxTreeItemId(hItem)); }
    void SelectItem(TreeItem hItem) override { m_tree.wxTreeCtrl::SelectItem(wxTreeItemId(hItem)); }

private:
    struct SCursor {
        TreeItem hItem = nullptr;  // the child the cookie stands after
        wxTreeItemIdValue cookie = nullptr;
    };
    CFolderTree& m_tree;
    std::unordered_map<TreeItem, SCursor> m_mapCursors;
};

wxBEGIN_EVENT_TABLE(CFolderTree, wxTreeCtrl)
    EVT_LEFT_DOWN(CFolderTree::OnLButtonDown)
    EVT_KEY_DOWN(CFolderTree::OnKeyDown)
    EVT_TREE_ITEM_EXPANDING(wxID_ANY, CFolderTree::OnItemExpanding)
    EVT_TIMER(TIMER_FOLLOW_DRIVES, CFolderTree::OnTimer)
wxEND_EVENT_TABLE()

CFolderTree::CFolderTree() {
    Init();
}

CFolderTree::CFolderTree(wxWindow* pParent, wxWindowID nId, const wxPoint& pos, const wxSize& size, long nStyle) {
    Init();
    Create(pParent, nId, pos, size, nStyle);
}

void CFolderTree::Init() {
    for (int& nImage : m_arIconImage)
        nImage = -1;
    m_pNoNamespace = std::make_unique<CNoNamespace>();
    m_pItems = std::make_unique<CItems>(*this);
    m_pCheckTree = std::make_unique<CCheckTree>(*m_pItems, *m_pNoNamespace);
}

bool CFolderTree::Create(wxWindow* pParent, wxWindowID nId, const wxPoint& pos, const wxSize& size, long nStyle) {
    if (!wxTreeCtrl::Create(pParent, nId, pos, size, nStyle))
        return false;
    AddRoot(wxString());
    return true;
}

CFolderTree::~CFolderTree() {
    m_timerDrives.Stop();
    // The records go with the items, before the lists they point into.
    DeleteAllItems();
    SetStateImageList(nullptr);
    SetImageList(nullptr);
}

void CFolderTree::SetNamespace(IFolderNamespace& ns) {
    m_pCheckTree->SetNamespace(ns);
    // While a slow folder is awaited the window repaints, but takes no
    // input: nothing may reach the tree before its read is done.
    ns.SetWaitServer([] {
        if (wxEventLoopBase* pLoop = wxEventLoopBase::GetActive())
            pLoop->YieldFor(wxEVT_CATEGORY_UI);
    });
}

void CFolderTree::InitImageLists() {
    wxBitmap bmpStates(TreeStates130_xpm);
    m_ilState.Create(ICON_SIZE, ICON_SIZE, true, STATE_IMAGES);
    m_ilState.RemoveAll();
    for (int i = 0; i < STATE_IMAGES; ++i)
        m_ilState.Add(bmpStates.GetSubBitmap(wxRect(i * ICON_SIZE, 0, ICON_SIZE, ICON_SIZE)), *wxWHITE);
    SetStateImageList(&m_ilState);

    m_ilIcons.Create(ICON_SIZE, ICON_SIZE, true, ICON_COUNT);
    m_ilIcons.RemoveAll();
    for (int nIcon = ICON_NONE + 1; nIcon < ICON_COUNT; ++nIcon)
        m_arIconImage[nIcon] = m_ilIcons.Add(LoadIconBitmap(nIcon));
    SetImageList(&m_ilIcons);
}

void CFolderTree::FillRoot() {
    m_pCheckTree->FillRoot();
    m_timerDrives.Start(FOLLOW_DRIVES_MS);
}

void CFolderTree::OnTimer(wxTimerEvent&) {
    m_pCheckTree->FollowDrives();
}

TreeItem CFolderTree::ToHandle(const wxTreeItemId& item) const {
    if (!item.IsOk() || item == GetRootItem())
        return nullptr;
    return item.GetID();
}

void CFolderTree::ToggleCheck(const wxTreeItemId& item) {
    TreeItem hItem = ToHandle(item);
    if (!hItem)
        return;
    // One repaint for a whole subtree, however large.
    Freeze();
    m_pCheckTree->ToggleCheck(hItem);
    Thaw();
}

int CFolderTree::GetCheck(const wxTreeItemId& item) {
    TreeItem hItem = ToHandle(item);
    return hItem ? m_pItems->GetCheck(hItem) : CHECK_NONE;
}

wxTreeItemId CFolderTree::FirstCheckedItem() {
    return wxTreeItemId(m_pCheckTree->FirstCheckedItem());
}

wxTreeItemId CFolderTree::NextCheckedItem(const wxTreeItemId& item) {
    TreeItem hItem = ToHandle(item);
    return hItem ? wxTreeItemId(m_pCheckTree->NextCheckedItem(hItem)) : wxTreeItemId();
}

bool CFolderTree::GetItemPath(const wxTreeItemId& item, std::string& strPath) {
    TreeItem hItem = ToHandle(item);
    return hItem && m_pCheckTree->GetItemPath(hItem, strPath);
}

std::string CFolderTree::GetDisplayPath(const wxTreeItemId& item) {
    TreeItem hItem = ToHandle(item);
    return hItem ? m_pCheckTree->GetDisplayPath(hItem) : std::string();
}

const std::vector<std::string>& CFolderTree::GetTopNames() const {
    return m_pCheckTree->GetTopNames();
}

bool CFolderTree::IsAllDrivesItem(const wxTreeItemId& item) const {
    return m_pCheckTree->IsAllDrivesItem(ToHandle(item));
}

void CFolderTree::OnItemExpanding(wxTreeEvent& event) {
    event.Skip();  // the parent may watch expansions too; none is vetoed
    TreeItem hItem = ToHandle(event.GetItem());
    const FOLDERITEM* pRecord = hItem ? m_pItems->GetRecord(hItem) : nullptr;
    if (!pRecord || pRecord->bFilled)
        return;
    wxBusyCursor wait;
    m_pCheckTree->ItemExpanding(hItem);
}

int CFolderTree::OnCompareItems(const wxTreeItemId& item1, const wxTreeItemId& item2) {
    if (m_pfnSort)
        return m_pfnSort(item1.GetID(), item2.GetID(), m_pSortContext);
    return wxTreeCtrl::OnCompareItems(item1, item2);
}

void CFolderTree::OnLButtonDown(wxMouseEvent& event) {
    int nFlags = 0;
    wxTreeItemId item = HitTest(event.GetPosition(), nFlags);
    if (ToHandle(item)) {
        if (nFlags & (wxTREE_HITTEST_ONITEMSTATEICON | wxTREE_HITTEST_ONITEMLABEL))
            ToggleCheck(item);
        wxTreeCtrl::SelectItem(item);
    } else {
        Unselect();
    }
    event.Skip();  // expand buttons, focus and the rest as usual
}

void CFolderTree::OnKeyDown(wxKeyEvent& event) {
    if (event.GetKeyCode() != WXK_SPACE) {
        event.Skip();
        return;
    }
    // Space is ours alone: passed on, the control would also activate the item.
    ToggleCheck(GetSelection());
}
