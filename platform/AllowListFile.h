// The allow-list's file, $XDG_CONFIG_HOME/quillet/allow.list (default
// ~/.config/quillet/allow.list): read once per scan, never blocking and
// never through a link, and appended to atomically under a lock of its
// folder so two programs allowing at once both keep their entry.
#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "scan/AllowList.h"

// A list larger than this is not read: no hand-made list comes near it, and
// a scan must not take in an arbitrary file.
constexpr size_t MAX_ALLOW_LIST_BYTES = 16u << 20;

// The SHA-256 of the regular file at strPath, lower-case hex, read without
// following a link there and without blocking; when id is set, only of that
// very file. False with *pnErr = errno, or NOT_REGULAR_FILE, or ESTALE for
// another file than id.
bool HashRegularFile(const std::string& strPath, const CFileId& id, std::string* pstrHex, int* pnErr);

class CAllowListFile : public IAllowList {
public:
    CAllowListFile() : m_strPath(PathFromEnv()) {}
    explicit CAllowListFile(std::string strPath) : m_strPath(std::move(strPath)) {}
    // "" when there is no configuration folder at all.
    static std::string PathFromEnv();
    const std::string& GetPath() const { return m_strPath; }

    void Reload() override;
    bool IsAllowed(const std::string& strPath, const CFileId& id, const std::string& strVirus) override;
    bool Allow(const std::string& strPath, const CFileId& id, const std::string& strVirus,
               std::string* pstrWhy) override;

    // Tests act at an exact moment of Allow: "lock" just before the list's
    // folder is locked, "read" once the list is read under the lock and
    // before the new list takes its name.
    std::function<void(const char* pszStage)> m_fnTestHook;

private:
    void LoadLocked();

    const std::string m_strPath;
    std::mutex m_mtx;  // guards what follows; workers ask at once
    bool m_bLoaded = false;
    CAllowList m_list;
};
