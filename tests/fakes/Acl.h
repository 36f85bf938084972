// ACLs as the kernel keeps them, for tests that give files one.
#pragma once

#include <sys/xattr.h>

#include <cstdint>
#include <initializer_list>
#include <string>

struct CAclEntry {
    uint16_t nTag;
    uint16_t nPerm;
    uint32_t nId;
};

// An ACL as the kernel stores it in its extended attribute: version 2, then
// tag, permissions and id of each entry, little-endian.
inline std::string AclValue(std::initializer_list<CAclEntry> arEntries) {
    std::string str;
    auto fnPut = [&](uint32_t n, int nBytes) {
        for (int i = 0; i < nBytes; ++i)
            str.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
    };
    fnPut(2, 4);
    for (const CAclEntry& e : arEntries) {
        fnPut(e.nTag, 2);
        fnPut(e.nPerm, 2);
        fnPut(e.nId, 4);
    }
    return str;
}
inline constexpr uint32_t NO_ID = 0xFFFFFFFF;

// The access ACL of a file; "" when it has none.
inline std::string AclOf(const std::string& strPath) {
    char arBuf[1024];
    ssize_t n = getxattr(strPath.c_str(), "system.posix_acl_access", arBuf, sizeof arBuf);
    return n > 0 ? std::string(arBuf, static_cast<size_t>(n)) : std::string();
}
