// The folder tree's namespace on Linux: "Computer" with the drives a user
// means, "Network" with the network mounts among them, and "Home"; below
// them, real sub-folders whose names do not begin with '.', without the
// system's own file systems (proc, sysfs...) mounted among them.
//
// Network mounts and automount points may hang. They are never touched while
// the top level or "Computer" is filled: their expand button is assumed.
// Reading a folder on one, known by its place or its device, runs on a
// helper thread that the window waits for only a bounded time; so does the
// first look at home, which may be a link into one.
#pragma once

#include "res/Strings.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/MountWatch.h"
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
    // password database). pWatch: what says the table changed (not owned;
    // nullptr watches the system's).
    explicit CLinuxNamespace(IDriveSource* pDrives = nullptr, std::string strHome = std::string(),
                             IMountWatch* pWatch = nullptr);
    ~CLinuxNamespace() override;
    CLinuxNamespace(const CLinuxNamespace&) = delete;
    CLinuxNamespace& operator=(const CLinuxNamespace&) = delete;

    int EnumChildren(const FOLDERITEM* pFolder, std::vector<FOLDERITEM>& arChildren) override;
    int CompareItems(const FOLDERITEM& item1, const FOLDERITEM& item2) override;
    bool GetFileSystemPath(const FOLDERITEM& item, std::string& strPath) override;
    bool DrivesChanged() override;
    bool FollowsDrives(const FOLDERITEM& folder) override;

    // The longest the window waits for a folder on a network mount.
    void SetSlowReadWait(int nMilliseconds) { m_nSlowWaitMs = nMilliseconds; }
    void SetWaitServer(std::function<void()> fnServe) override { m_fnServe = std::move(fnServe); }
    // Runs on the helper thread just before a slow folder is read, and
    // before home is first looked at, so tests can stand a folder in for a
    // mount that hangs.
    using FnSlowReadHook = std::function<void(const std::string& strPath)>;
    void SetSlowReadHook(FnSlowReadHook fnHook) { m_fnSlowReadHook = std::move(fnHook); }

    // Mounts a read must know of, by real path and by device.
    struct SMountSets {
        std::unordered_set<std::string> setSlowMounts;  // network and automount points
        std::unordered_set<uint64_t> setSlowDevs;
        std::unordered_set<std::string> setSystemMounts;  // proc, sysfs and every other non-storage type
        std::unordered_set<uint64_t> setSystemDevs;
    };
    // What one folder read needs; copied whole to a helper thread.
    struct SReadRequest {
        std::string strFolder;
        bool bFollowLink = false;  // the folder itself may be a link (home, a drive)
        bool bSlow = false;        // on a network mount: children are slow too
        SMountSets mounts;
    };
    // The sub-folders of one folder, each with a right has-sub-folders
    // attribute (assumed, never read, for network mounts). System mounts
    // among them are left out; slow ones are never opened.
    static int ReadSubfolders(const SReadRequest& req, std::vector<FOLDERITEM>& arChildren);

    static const char* TextComputer() { return LoadText(IDS_TREE_COMPUTER); }
    static const char* TextNetwork() { return LoadText(IDS_TREE_NETWORK); }
    static const char* TextHome() { return LoadText(IDS_TREE_HOME); }
    static const char* TextEntireNetwork() { return LoadText(IDS_TREE_ENTIRE_NETWORK); }

private:
    struct SSlowRead;

    using FnSlowWork = std::function<int(std::vector<FOLDERITEM>& arOut)>;

    void RefreshMounts();
    bool IsSlowPath(const std::string& strPath) const;
    std::string FindHome() const;
    bool MakeHome(FOLDERITEM& home);
    int ReadFolder(const FOLDERITEM& folder, std::vector<FOLDERITEM>& arChildren);
    // fnWork on a helper thread, waited for at most the slow-read wait; a
    // work under the same key still running is waited on, not started again.
    int RunBounded(const std::string& strKey, const std::string& strPath, FnSlowWork fnWork,
                   std::vector<FOLDERITEM>& arOut);
    FOLDERITEM MakeDrive(const CMount& mount, bool bSlow, bool bHasSubfolders) const;

    IDriveSource* m_pDrives;
    std::unique_ptr<IDriveSource> m_pOwnDrives;
    std::string m_strHome;
    IMountWatch* m_pWatch;
    std::unique_ptr<IMountWatch> m_pOwnWatch;
    std::vector<CMount> m_arDrives;  // the drives a user means, one per mount point, table order
    SMountSets m_mounts;
    int m_nSlowWaitMs = 3000;
    static constexpr int SERVE_SLICE_MS = 20;
    FnSlowReadHook m_fnSlowReadHook;
    std::function<void()> m_fnServe;
    // Reads on slow mounts that outlived their wait, by key: the next
    // expansion of the same folder waits on (or takes) the same read.
    std::map<std::string, std::shared_ptr<SSlowRead>> m_mapSlowReads;
};
