// The history's file, $XDG_STATE_HOME/quillet/history (default
// ~/.local/state/quillet/history). One record is one write() under a lock
// of its folder, so a crash leaves a whole record or a torn one that
// readers skip, and two scans ending at once never mix; pruning writes a
// new file and renames it in under the same lock, so no append is lost to
// it. Never read or written through a link, never waited on as a FIFO, and
// only its newest part is ever read.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "scan/History.h"

// A reader takes in at most the last this many bytes, and of those the
// newest records up to the count: a file grown huge by hand or by another
// program costs no more than this.
constexpr size_t HISTORY_READ_BYTES = 8u << 20;
constexpr size_t HISTORY_READ_RECORDS = 1000;

class CHistoryFile : public IScanHistory {
public:
    CHistoryFile() : m_strPath(PathFromEnv()) {}
    explicit CHistoryFile(std::string strPath) : m_strPath(std::move(strPath)) {}
    // "" when there is no home folder to keep it in.
    static std::string PathFromEnv();
    const std::string& GetPath() const { return m_strPath; }

    // Appends the record (nNow: the clock's time, for pruning) and prunes.
    // False with why when it was not written.
    bool Append(const SHISTORYRECORD& rec, int64_t nNow, std::string* pstrWhy) override;
    // The newest records, oldest first (file order). A missing file is an
    // empty history; false with why when the file cannot be read.
    bool Read(std::vector<SHISTORYRECORD>* parRecords, std::string* pstrWhy,
              size_t nMaxRecords);
    bool Read(std::vector<SHISTORYRECORD>* parRecords, std::string* pstrWhy) override {
        return Read(parRecords, pstrWhy, HISTORY_READ_RECORDS);
    }
    std::string GetLocation() const override { return m_strPath; }

    SHISTORYPRUNE m_limits;
    // Bytes the last Read took in.
    size_t m_nLastReadBytes = 0;
    // Tests act at an exact moment of Append: "prune" once the file is
    // read for pruning, before the new file takes its name.
    std::function<void(const char* pszStage)> m_fnTestHook;

private:
    const std::string m_strPath;
};
