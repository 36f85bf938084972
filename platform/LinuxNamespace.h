// The folder tree's namespace on Linux: "Computer" with the mounted drives,
// "Network" with the network mounts, and "Home"; below them, real
// sub-folders whose names do not begin with '.'.
//
// Network mounts may hang. They are never touched while the top level or
// "Computer" is filled: their expand button is assumed. Reading a folder on
// one runs on a helper thread that the window waits for only a bounded time.
#pragma once

#include "res/Strings.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "scan/ScanInterfaces.h"
#include "tree/TreeInterfaces.h"

class CLinuxNamespace : public IFolderNamespace {
public:
    enum ENodeKind {
        NODE_COMPUTER = 1,
        NODE_NETWORK,
        NODE_HOME,
        NODE_PLACEHOLDER,
        NODE_DRIVE,
        NODE_FOLDER,
    };

    // pDrives: where mounts come from (not owned; nullptr reads the system's
    // mount table). strHome: the home folder ("" takes $HOME, else the
    // password database).
    explicit CLinuxNamespace(IDriveSource* pDrives = nullptr, std::string strHome = std::string());
    ~CLinuxNamespace() override;
    CLinuxNamespace(const CLinuxNamespace&) = delete;
    CLinuxNamespace& operator=(const CLinuxNamespace&) = delete;

    int EnumChildren(const FOLDERITEM* pFolder, std::vector<FOLDERITEM>& arChildren) override;
    int CompareItems(const FOLDERITEM& item1, const FOLDERITEM& item2) override;
    bool GetFileSystemPath(const FOLDERITEM& item, std::string& strPath) override;

    // The longest the window waits for a folder on a network mount.
    void SetSlowReadWait(int nMilliseconds) { m_nSlowWaitMs = nMilliseconds; }
    // Runs on the helper thread just before a slow folder is read, so tests
    // can stand a folder in for a mount that hangs.
    using FnSlowReadHook = std::function<void(const std::string& strPath)>;
    void SetSlowReadHook(FnSlowReadHook fnHook) { m_fnSlowReadHook = std::move(fnHook); }

    // What one folder read needs; copied whole to a helper thread.
    struct SReadRequest {
        std::string strFolder;
        bool bFollowLink = false;  // the folder itself may be a link (home, a drive)
        bool bSlow = false;        // on a network mount: children are slow too
        std::unordered_set<std::string> setSlowMounts;
    };
    // The sub-folders of one folder, each with a right has-sub-folders
    // attribute (assumed, never read, for network mounts).
    static int ReadSubfolders(const SReadRequest& req, std::vector<FOLDERITEM>& arChildren);

    static const char* TextComputer() { return LoadText(IDS_TREE_COMPUTER); }
    static const char* TextNetwork() { return LoadText(IDS_TREE_NETWORK); }
    static const char* TextHome() { return LoadText(IDS_TREE_HOME); }
    static const char* TextEntireNetwork() { return LoadText(IDS_TREE_ENTIRE_NETWORK); }

private:
    struct SSlowRead;

    void RefreshMounts();
    bool IsSlowPath(const std::string& strPath) const;
    std::string FindHome() const;
    int ReadFolder(const FOLDERITEM& folder, std::vector<FOLDERITEM>& arChildren);
    int ReadSlowFolder(const SReadRequest& req, std::vector<FOLDERITEM>& arChildren);
    FOLDERITEM MakeDrive(const CMount& mount, bool bSlow, bool bHasSubfolders) const;

    IDriveSource* m_pDrives;
    std::unique_ptr<IDriveSource> m_pOwnDrives;
    std::string m_strHome;
    std::vector<CMount> m_arDrives;  // walkable, one per mount point, table order
    std::unordered_set<std::string> m_setSlowMounts;
    int m_nSlowWaitMs = 3000;
    FnSlowReadHook m_fnSlowReadHook;
    // Reads on network mounts that outlived their wait, by folder: the next
    // expansion of the same folder waits on (or takes) the same read.
    std::map<std::string, std::shared_ptr<SSlowRead>> m_mapSlowReads;
};
