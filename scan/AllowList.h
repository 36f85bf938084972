// The allow-list: findings the user has said are false. One entry is a
// file's content (its SHA-256) together with the virus name the engine gave
// it; a later finding of the same name in the same content gives no row. A
// file whose content changed is found again.
//
// The list is plain text, one entry a line: 64 hex digits, a tab, the virus
// name escaped as the command-line tools escape fields. '#' comment lines
// and blank lines are ignored.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "base/FileId.h"

// The inverse of EscapeField; false on an escape EscapeField never writes.
bool UnescapeField(std::string_view str, std::string* pstrOut);

class CAllowList {
public:
    // Replaces the list with the entries of strText. A line not understood
    // is skipped; the first one is said through Diagnose with strName and
    // its line number, and how many there were. Returns how many.
    int Parse(std::string_view strText, const std::string& strName);
    void Clear() { m_mapByVirus.clear(); }
    bool IsEmpty() const { return m_mapByVirus.empty(); }
    // Some entry names this virus: only then is a file worth hashing.
    bool HasVirus(const std::string& strVirus) const { return m_mapByVirus.count(strVirus) != 0; }
    // strSha256: hex, either case.
    bool IsAllowed(const std::string& strSha256, const std::string& strVirus) const;
    // Takes the entry in; returns its line, newline ended, to append to the
    // file ("" when the hash is not 64 hex digits).
    std::string Add(const std::string& strSha256, const std::string& strVirus);

private:
    std::unordered_map<std::string, std::unordered_set<std::string>> m_mapByVirus;  // name -> hashes
};

// What the scan asks of the allow-list, and what the roads that allow a
// finding call. Every call is safe from several threads.
class IAllowList {
public:
    virtual ~IAllowList() = default;
    // The list is read again at the next question: a scan calls this as it
    // begins, so each scan reads it once.
    virtual void Reload() = 0;
    // The regular file at strPath (a link there is not followed; when id is
    // set, only that very file) has content the list allows with strVirus.
    virtual bool IsAllowed(const std::string& strPath, const CFileId& id, const std::string& strVirus) = 0;
    // Adds the file's content with strVirus to the list; false with the
    // reason in *pstrWhy when it cannot.
    virtual bool Allow(const std::string& strPath, const CFileId& id, const std::string& strVirus,
                       std::string* pstrWhy) = 0;
};
