// A private temporary folder for one test, removed with everything in it,
// however deep: the removal walks by descriptors, never by long paths.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

class CTempDir {
public:
    // pszBase: where to make it; default $TMPDIR, else /tmp.
    explicit CTempDir(const char* pszBase = nullptr) {
        if (!pszBase)
            pszBase = getenv("TMPDIR");
        std::string strTemplate = std::string(pszBase && *pszBase ? pszBase : "/tmp") + "/quillet-test-XXXXXX";
        std::vector<char> arBuf(strTemplate.begin(), strTemplate.end());
        arBuf.push_back('\0');
        if (mkdtemp(arBuf.data()))
            m_strPath = arBuf.data();
    }
    ~CTempDir() { RemoveTree(m_strPath); }
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::string& Path() const { return m_strPath; }
    std::string operator/(const std::string& strName) const { return m_strPath + "/" + strName; }

    static bool WriteFile(const std::string& strPath, const std::string& strContent, mode_t nMode = 0644) {
        int nFd = open(strPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, nMode);
        if (nFd < 0)
            return false;
        bool bOk = write(nFd, strContent.data(), strContent.size()) == static_cast<ssize_t>(strContent.size());
        close(nFd);
        return bOk;
    }
    // Every name in a folder but "." and "..", dot names included, sorted.
    static std::vector<std::string> Entries(const std::string& strFolder) {
        std::vector<std::string> ar;
        DIR* pDir = opendir(strFolder.c_str());
        while (dirent* p = pDir ? readdir(pDir) : nullptr)
            if (strcmp(p->d_name, ".") && strcmp(p->d_name, ".."))
                ar.push_back(p->d_name);
        if (pDir)
            closedir(pDir);
        std::sort(ar.begin(), ar.end());
        return ar;
    }
    static std::string ReadFile(const std::string& strPath) {
        std::string strOut;
        int nFd = open(strPath.c_str(), O_RDONLY | O_CLOEXEC);
        if (nFd < 0)
            return strOut;
        char arBuf[65536];
        ssize_t n;
        while ((n = read(nFd, arBuf, sizeof arBuf)) > 0)
            strOut.append(arBuf, static_cast<size_t>(n));
        close(nFd);
        return strOut;
    }

    static void RemoveTree(const std::string& strPath) {
        if (strPath.empty())
            return;
        int nFd = open(strPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (nFd < 0) {
            unlink(strPath.c_str());
            return;
        }
        std::vector<std::string> arNames;
        for (;;) {
            fchmod(nFd, 0700);
            std::string strSub;
            int nDup = dup(nFd);
            DIR* pDir = nDup >= 0 ? fdopendir(nDup) : nullptr;
            if (pDir) {
                while (dirent* pEntry = readdir(pDir)) {
                    if (!strcmp(pEntry->d_name, ".") || !strcmp(pEntry->d_name, ".."))
                        continue;
                    struct stat st;
                    if (fstatat(nFd, pEntry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
                        if (strSub.empty())
                            strSub = pEntry->d_name;
                    } else {
                        unlinkat(nFd, pEntry->d_name, 0);
                    }
                }
                closedir(pDir);
            }
            if (!strSub.empty()) {
                int nChild = openat(nFd, strSub.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (nChild >= 0) {
                    close(nFd);
                    nFd = nChild;
                    arNames.push_back(strSub);
                    continue;
                }
                unlinkat(nFd, strSub.c_str(), AT_REMOVEDIR);
                continue;
            }
            if (arNames.empty())
                break;
            int nParent = openat(nFd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            close(nFd);
            if (nParent < 0)
                return;
            nFd = nParent;
            unlinkat(nFd, arNames.back().c_str(), AT_REMOVEDIR);
            arNames.pop_back();
        }
        close(nFd);
        rmdir(strPath.c_str());
    }

private:
    std::string m_strPath;
};
