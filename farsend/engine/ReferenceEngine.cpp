#include <algorithm>
#include "farsend/engine/ReferenceEngine.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "farsend/engine/InPlaceCut.h"

namespace farsend {

namespace {

constexpr int kOpenRead = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
constexpr int kOpenWrite = O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

void CloseQuietly(int nFd)
{
    // Linux releases the descriptor even when close reports EINTR; never retry.
    if (nFd >= 0)
        ::close(nFd);
}

// "FSTF{NN}" at the very start lets tests ask for any format code.
bool ForcedFormat(const char* p, std::size_t nLength, uint32_t* pnFormat)
{
    if (nLength < 8 || std::memcmp(p, "FSTF{", 5) != 0 || p[7] != '}')
        return false;
    if (p[5] < '0' || p[5] > '9' || p[6] < '0' || p[6] > '9')
        return false;
    *pnFormat = static_cast<uint32_t>((p[5] - '0') * 10 + (p[6] - '0'));
    return true;
}

bool ReadAllAt(int nFd, char* p, std::size_t nCount, off_t nAt)
{
    while (nCount > 0) {
        const ssize_t nGot = ::pread(nFd, p, nCount, nAt);
        if (nGot < 0 && errno == EINTR)
            continue;
        if (nGot <= 0)
            return false;
        p += nGot;
        nCount -= static_cast<std::size_t>(nGot);
        nAt += nGot;
    }
    return true;
}

} // namespace

CReferenceEngine& Engine()
{
    static CReferenceEngine s_engine;
    return s_engine;
}

CReferenceEngine::~CReferenceEngine()
{
    DropPending();
}

void CReferenceEngine::DropPending()
{
    if (m_nPendingFd < 0)
        return;
    CloseQuietly(m_nPendingFd);
    m_nPendingFd = -1;
    m_strPendingPath.clear();
}

void CReferenceEngine::TurnOn()
{
    DropPending();
}

void CReferenceEngine::TurnOff()
{
    DropPending();
    m_table.Clear();
}

uint32_t CReferenceEngine::GetFileFormat(const char* pszPath)
{
    DropPending();
    if (!pszPath || !*pszPath)
        return kFormatUnopenable;
    // O_NONBLOCK: opening a FIFO or a device must never wait.
    const int nFd = ::open(pszPath, kOpenRead);
    if (nFd < 0) {
        // A socket cannot be opened at all but is still "not a regular file".
        struct stat st;
        if (::stat(pszPath, &st) == 0 && !S_ISREG(st.st_mode))
            return kFormatNotRegular;
        return kFormatUnopenable;
    }
    struct stat st;
    if (::fstat(nFd, &st) != 0) {
        CloseQuietly(nFd);
        return kFormatUnopenable;
    }
    if (!S_ISREG(st.st_mode)) {
        CloseQuietly(nFd);
        return kFormatNotRegular;
    }
    // Described before the first byte is read.
    const bool bFileKnown = DescribeScannedFile(nFd, st, m_arPendingFile);
    if (!m_scanner.Begin(nFd, static_cast<uint64_t>(st.st_size))) {
        CloseQuietly(nFd);
        return kFormatUnopenable;
    }
    uint32_t nFormat = 0;
    ForcedFormat(m_scanner.Data(), m_scanner.DataLength(), &nFormat);
    if ((nFormat & 0xFFFFu) >= 10) {
        // No probe will follow; an idle descriptor could keep a volume busy.
        CloseQuietly(nFd);
        return nFormat;
    }
    m_nPendingFd = nFd;
    m_strPendingPath = pszPath;
    m_nPendingDevice = st.st_dev;
    m_nPendingInode = st.st_ino;
    m_bPendingFileKnown = bFileKnown;
    return nFormat;
}

uint32_t CReferenceEngine::AddUnreadable(const char* pszPath)
{
    CProbeRecord record;
    record.m_eKind = ERecordKind::Unreadable;
    record.m_strPath = pszPath;
    record.m_hit.m_nReport = kReportAccessDenied;
    return m_table.Add(std::move(record));
}

uint32_t CReferenceEngine::Probe(const char* pszPath)
{
    if (!pszPath || !*pszPath) {
        DropPending();
        return 0;
    }
    int nFd = -1;
    dev_t nDevice = 0;
    ino_t nInode = 0;
    m_bScannedKnown = false;
    if (m_nPendingFd >= 0 && m_strPendingPath == pszPath) {
        nFd = m_nPendingFd;
        nDevice = m_nPendingDevice;
        nInode = m_nPendingInode;
        m_bScannedKnown = m_bPendingFileKnown;
        std::copy(std::begin(m_arPendingFile), std::end(m_arPendingFile), m_arScanned);
        m_nPendingFd = -1;
        m_strPendingPath.clear();
    } else {
        DropPending();
        nFd = ::open(pszPath, kOpenRead);
        if (nFd < 0) {
            // A file we may not read is not a clean file.
            if (errno == EACCES || errno == EPERM)
                return AddUnreadable(pszPath);
            return 0;
        }
        struct stat st;
        if (::fstat(nFd, &st) != 0 || !S_ISREG(st.st_mode)) {
            CloseQuietly(nFd);
            return 0;
        }
        nDevice = st.st_dev;
        nInode = st.st_ino;
        m_bScannedKnown = DescribeScannedFile(nFd, st, m_arScanned);
        if (!m_scanner.Begin(nFd, static_cast<uint64_t>(st.st_size))) {
            CloseQuietly(nFd);
            return AddUnreadable(pszPath);
        }
    }
    CProbeRecord record;
    const EScan eScan = m_scanner.Finish(&record.m_hit);
    CloseQuietly(nFd);
    if (eScan == EScan::Clean)
        return 0;
    if (eScan == EScan::ReadError)
        return AddUnreadable(pszPath);
    record.m_eKind = ERecordKind::Signature;
    record.m_strPath = pszPath;
    record.m_nDevice = nDevice;
    record.m_nInode = nInode;
    return m_table.Add(std::move(record));
}

bool CReferenceEngine::GetScannedFile(uint64_t* parFile) const
{
    if (!m_bScannedKnown)
        return false;
    std::copy(std::begin(m_arScanned), std::end(m_arScanned), parFile);
    return true;
}

uint32_t CReferenceEngine::AddFaultRecord(const char* pszPath, int nEntry, int nKind)
{
    DropPending();
    CProbeRecord record;
    record.m_eKind = ERecordKind::Fault;
    record.m_strPath = pszPath;
    record.m_hit.m_eKind = EHitKind::Marker;
    record.m_hit.m_nReport = 0;
    record.m_hit.m_nOutcome = kOutcomeCleaned;
    record.m_hit.m_strName = "Fault.Test";
    record.m_nFaultEntry = nEntry;
    record.m_nFaultKind = nKind;
    return m_table.Add(std::move(record));
}

bool CReferenceEngine::CutSignature(const CProbeRecord& record)
{
    const int nFd = ::open(record.m_strPath.c_str(), kOpenWrite);
    if (nFd < 0)
        return false;
    const CScanHit& hit = record.m_hit;
    const std::size_t nLength = hit.m_strBytes.size();
    struct stat st;
    bool bSame = ::fstat(nFd, &st) == 0 && S_ISREG(st.st_mode) &&
                 st.st_dev == record.m_nDevice && st.st_ino == record.m_nInode &&
                 static_cast<uint64_t>(st.st_size) >= hit.m_nOffset + nLength;
    if (bSame) {
        char arFound[CSignatureScanner::kSignatureMax];
        bSame = nLength <= sizeof(arFound) &&
                ReadAllAt(nFd, arFound, nLength, static_cast<off_t>(hit.m_nOffset)) &&
                std::memcmp(arFound, hit.m_strBytes.data(), nLength) == 0;
    }
    const bool bCut = bSame && CutRange(nFd, hit.m_nOffset, nLength);
    CloseQuietly(nFd);
    return bCut;
}

int16_t CReferenceEngine::Recover(uint32_t hProbe)
{
    DropPending();
    CProbeRecord* pRecord = m_table.Find(hProbe);
    if (!pRecord)
        return kOutcomeNothing;
    switch (pRecord->m_eKind) {
    case ERecordKind::Unreadable:
        return kOutcomeNothing;
    case ERecordKind::Fault:
        // Fault files are infected by name only: nothing in them to remove.
        return kOutcomeCleaned;
    case ERecordKind::Signature:
        break;
    }
    if (pRecord->m_hit.m_eKind == EHitKind::Eicar)
        return kOutcomeFailed;
    if (pRecord->m_hit.m_nOutcome != kOutcomeCleaned)
        return static_cast<int16_t>(pRecord->m_hit.m_nOutcome);
    if (pRecord->m_bSpent || !CutSignature(*pRecord))
        return kOutcomeFailed;
    pRecord->m_bSpent = true;
    return kOutcomeCleaned;
}

int16_t CReferenceEngine::Report(uint32_t hProbe)
{
    DropPending();
    const CProbeRecord* pRecord = m_table.Find(hProbe);
    return pRecord ? static_cast<int16_t>(pRecord->m_hit.m_nReport) : kReportUnrepairable;
}

const char* CReferenceEngine::Name(uint32_t hProbe)
{
    DropPending();
    const CProbeRecord* pRecord = m_table.Find(hProbe);
    return pRecord ? pRecord->m_hit.m_strName.c_str() : "";
}

void CReferenceEngine::Close(uint32_t hProbe)
{
    DropPending();
    m_table.Remove(hProbe);
}

} // namespace farsend
