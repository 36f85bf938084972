// Times the expansion of one folder for tree_bench.sh.
//
//   tree_fill_bench DIR RUNS          the fill alone: namespace + tree rules
//                                        over an in-memory tree
//   tree_fill_bench DIR RUNS --window the same expansion in a real tree
//                                        control (needs a display)
//
// Each run starts from a fresh tree. Before timing, the items and their
// expand buttons are checked against a plain read of the folder. Prints one
// line per run and "median SECONDS".

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "fakes/FakeTreeItems.h"
#include "platform/LinuxNamespace.h"
#include "tree/CheckTree.h"

#ifdef QUILLET_BENCH_WINDOW
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/init.h>

#include "ui/FolderTree.h"
#endif

namespace {

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

bool IsShownFolder(const std::string& strPath, const char* pszName) {
    struct stat st;
    return pszName[0] != '.' && lstat(strPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Name -> has a shown sub-folder, the slow and obvious way.
std::map<std::string, bool> PlainRead(const std::string& strDir) {
    std::map<std::string, bool> mapExpected;
    DIR* pDir = opendir(strDir.c_str());
    while (dirent* pEntry = pDir ? readdir(pDir) : nullptr) {
        std::string strChild = strDir + "/" + pEntry->d_name;
        if (!IsShownFolder(strChild, pEntry->d_name))
            continue;
        bool bHas = false;
        DIR* pSub = opendir(strChild.c_str());
        while (pSub && !bHas) {
            dirent* pSubEntry = readdir(pSub);
            if (!pSubEntry)
                break;
            bHas = IsShownFolder(strChild + "/" + pSubEntry->d_name, pSubEntry->d_name);
        }
        if (pSub)
            closedir(pSub);
        mapExpected[pEntry->d_name] = bHas;
    }
    if (pDir)
        closedir(pDir);
    return mapExpected;
}

FOLDERITEM FolderItem(const std::string& strDir) {
    FOLDERITEM folder;
    folder.nKind = CLinuxNamespace::NODE_FOLDER;
    folder.nAttributes = NSATTR_FILESYSTEM | NSATTR_FILESYSANCESTOR | NSATTR_FOLDER | NSATTR_HASSUBFOLDER;
    folder.strName = strDir;
    folder.strPath = strDir;
    return folder;
}

bool Verify(const std::map<std::string, bool>& mapExpected, const std::vector<std::pair<std::string, bool>>& arShown,
            const char* pszWhat) {
    std::map<std::string, bool> mapShown(arShown.begin(), arShown.end());
    size_t nWithSub = 0;
    for (const auto& [strName, bHas] : mapExpected)
        nWithSub += bHas;
    if (mapShown != mapExpected || mapShown.size() != arShown.size()) {
        printf("%s: MISMATCH: %zu items shown, %zu expected\n", pszWhat, arShown.size(), mapExpected.size());
        return false;
    }
    printf("%s: %zu items, %zu with sub-folders, all buttons right\n", pszWhat, arShown.size(), nWithSub);
    return true;
}

double CoreFill(const std::string& strDir, std::vector<std::pair<std::string, bool>>* parShown) {
    CLinuxNamespace ns;
    CFakeTreeItems items;
    CCheckTree tree(items, ns);
    TreeItem hFolder = items.InsertItem(nullptr, nullptr, FolderItem(strDir));
    auto t0 = std::chrono::steady_clock::now();
    tree.ItemExpanding(hFolder);
    double dSeconds = Seconds(t0);
    if (parShown) {
        for (TreeItem h = items.GetChildItem(hFolder); h; h = items.GetNextSiblingItem(h))
            parShown->emplace_back(items.GetRecord(h)->strName, CFakeTreeItems::Node(h)->bHasChildren);
    }
    return dSeconds;
}

#ifdef QUILLET_BENCH_WINDOW
// The Linux namespace with one top-level item: the folder to expand.
class CBenchNamespace : public IFolderNamespace {
public:
    explicit CBenchNamespace(std::string strDir) : m_strDir(std::move(strDir)) {}
    int EnumChildren(const FOLDERITEM* pFolder, std::vector<FOLDERITEM>& arChildren) override {
        if (pFolder)
            return m_ns.EnumChildren(pFolder, arChildren);
        arChildren.assign(1, FolderItem(m_strDir));
        return ENUM_OK;
    }
    int CompareItems(const FOLDERITEM& item1, const FOLDERITEM& item2) override {
        return m_ns.CompareItems(item1, item2);
    }
    bool GetFileSystemPath(const FOLDERITEM& item, std::string& strPath) override {
        return m_ns.GetFileSystemPath(item, strPath);
    }

private:
    CLinuxNamespace m_ns;
    std::string m_strDir;
};

class CBenchApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

// FillRoot expands the folder: read, insert, sort, lay out. The first paint
// is timed apart.
double WindowFill(const std::string& strDir, double* pdPaint, std::vector<std::pair<std::string, bool>>* parShown) {
    CBenchNamespace ns(strDir);
    auto* pFrame = new wxFrame(nullptr, wxID_ANY, "bench", wxDefaultPosition, wxSize(500, 700));
    auto* pTree = new CFolderTree(pFrame);
    pTree->SetNamespace(ns);
    pTree->InitImageLists();
    pFrame->Show();
    wxYield();
    auto t0 = std::chrono::steady_clock::now();
    pTree->FillRoot();
    double dSeconds = Seconds(t0);
    t0 = std::chrono::steady_clock::now();
    pTree->Update();
    *pdPaint = Seconds(t0);
    if (parShown) {
        wxTreeItemIdValue cookie;
        wxTreeItemId folder = pTree->GetFirstChild(pTree->GetRootItem(), cookie);
        wxTreeItemIdValue cookieChild;
        for (wxTreeItemId item = pTree->GetFirstChild(folder, cookieChild); item.IsOk();
             item = pTree->GetNextChild(folder, cookieChild)) {
            std::string strPath;
            pTree->GetItemPath(item, strPath);
            parShown->emplace_back(strPath.substr(strPath.rfind('/') + 1), pTree->ItemHasChildren(item));
        }
    }
    pFrame->Destroy();
    wxTheApp->ProcessIdle();
    return dSeconds;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: %s DIR RUNS [--window]\n", argv[0]);
        return 64;
    }
    std::string strDir = argv[1];
    int nRuns = std::max(1, atoi(argv[2]));
    bool bWindow = argc > 3 && strcmp(argv[3], "--window") == 0;
    std::map<std::string, bool> mapExpected = PlainRead(strDir);

    std::vector<double> arTimes;
    if (!bWindow) {
        std::vector<std::pair<std::string, bool>> arShown;
        CoreFill(strDir, &arShown);
        if (!Verify(mapExpected, arShown, "fill"))
            return 1;
        for (int i = 0; i < nRuns; ++i) {
            arTimes.push_back(CoreFill(strDir, nullptr));
            printf("run %d: %.3f s\n", i + 1, arTimes.back());
        }
    } else {
#ifdef QUILLET_BENCH_WINDOW
        wxApp::SetInstance(new CBenchApp());
        if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) {
            fprintf(stderr, "cannot start the window system\n");
            return 1;
        }
        std::vector<std::pair<std::string, bool>> arShown;
        double dPaint = 0;
        WindowFill(strDir, &dPaint, &arShown);
        bool bOk = Verify(mapExpected, arShown, "window");
        for (int i = 0; bOk && i < nRuns; ++i) {
            arTimes.push_back(WindowFill(strDir, &dPaint, nullptr));
            printf("run %d: %.3f s (then first paint %.3f s)\n", i + 1, arTimes.back(), dPaint);
        }
        wxTheApp->OnExit();
        wxEntryCleanup();
        if (!bOk)
            return 1;
#else
        fprintf(stderr, "built without the window program\n");
        return 1;
#endif
    }
    std::sort(arTimes.begin(), arTimes.end());
    printf("median %.4f\n", arTimes[arTimes.size() / 2]);
    return 0;
}
