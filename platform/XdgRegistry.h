// The registry as a file store in the XDG config folders: a key is a folder,
// a value a file holding its bytes. HKEY_CURRENT_USER is $XDG_CONFIG_HOME
// (~/.config), HKEY_LOCAL_MACHINE the first folder of $XDG_CONFIG_DIRS
// (/etc/xdg); "Software\A\B" is the folder A/B below it.
#pragma once

#include <string>
#include <vector>

#include "scan/EventLog.h"

class CXdgRegistry : public IRegistry {
public:
    // Bases from the environment, read once here.
    CXdgRegistry();
    // Explicit bases (absolute folders), as tests use them.
    CXdgRegistry(std::string strUserBase, std::string strMachineBase);

    bool QueryValue(EHive eHive, const std::string& strKey, const std::string& strName, size_t nMax,
                    std::string* pstrData) override;
    // Atomic: the bytes go to a temporary file in the key's folder, which is
    // then renamed over the value. A link in the value's place is replaced,
    // never followed. Missing folders are made, private on the user side.
    bool SetValue(EHive eHive, const std::string& strKey, const std::string& strName,
                  const std::string& strData) override;

    const std::string& GetBase(EHive eHive) const {
        return eHive == HIVE_LOCAL_MACHINE ? m_strMachineBase : m_strUserBase;
    }

    static std::string UserBaseFromEnv();
    static std::string MachineBaseFromEnv();
    // The folder names below the base; false for a key that names none
    // (empty, or a part that is empty, ".", "..", or holds '/' or NUL).
    static bool SplitKey(const std::string& strKey, std::vector<std::string>* parParts);
    static bool IsValidName(const std::string& strName);

private:
    // A descriptor of the key's folder, -1 when it cannot be had.
    int OpenKey(EHive eHive, const std::string& strKey, bool bCreate) const;

    std::string m_strUserBase;
    std::string m_strMachineBase;
};
