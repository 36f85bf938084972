// The windows' sizes between runs: $XDG_STATE_HOME/quillet/windows (default
// ~/.local/state/quillet/windows), "name = WxH" lines, replaced whole by a
// rename so a crash leaves the old file or the new one.
#pragma once

#include <string>

#include "controls/WindowSizes.h"

class CWindowSizesFile : public IWindowSizes {
public:
    // The path from the environment ("" without a home: nothing is kept).
    CWindowSizesFile() : m_strPath(PathFromEnv()) {}
    explicit CWindowSizesFile(std::string strPath) : m_strPath(std::move(strPath)) {}
    static std::string PathFromEnv();

    bool Load(const std::string& strName, CWindowSize* pSize) override;
    bool Save(const std::string& strName, const CWindowSize& size) override;
    const std::string& GetPath() const { return m_strPath; }

private:
    std::string ReadText() const;

    std::string m_strPath;
};
