// A path as a folder and a name. Paths are bytes: the folder is everything
// before the last '/', the name everything after it.
#pragma once

#include <string>

// "/a/b" -> "/a", "b"; "/b" -> "", "b" (the root is the empty folder).
void SplitPath(const std::string& strPath, std::string* pstrFolder, std::string* pstrName);
std::string JoinPath(const std::string& strFolder, const std::string& strName);
