#include "farsend/engine/SignatureScan.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace farsend {

namespace {

constexpr char kMarkerLead[] = "FSTV{";
constexpr std::size_t kMarkerLeadLength = sizeof(kMarkerLead) - 1;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsNameChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || IsDigit(c) ||
           c == '.' || c == '_' || c == '-';
}

} // namespace

std::size_t ParseMarker(const char* p, std::size_t nAvail, CScanHit* pHit)
{
    if (nAvail < kMarkerMin || std::memcmp(p, kMarkerLead, kMarkerLeadLength) != 0)
        return 0;
    if (!IsDigit(p[5]) || !IsDigit(p[6]) || p[7] != ',' || !IsDigit(p[8]) || p[9] != ',')
        return 0;
    const std::size_t nNameStart = 10;
    std::size_t nEnd = nNameStart;
    const std::size_t nNameLimit = nNameStart + kMarkerNameMax;
    while (nEnd < nAvail && nEnd < nNameLimit && IsNameChar(p[nEnd]))
        ++nEnd;
    if (nEnd == nNameStart || nEnd >= nAvail || p[nEnd] != '}')
        return 0;
    const std::size_t nLength = nEnd + 1;
    if (pHit) {
        pHit->m_eKind = EHitKind::Marker;
        pHit->m_nReport = (p[5] - '0') * 10 + (p[6] - '0');
        pHit->m_nOutcome = p[8] - '0';
        pHit->m_strName.assign(p + nNameStart, nEnd - nNameStart);
        pHit->m_strBytes.assign(p, nLength);
    }
    return nLength;
}

CSignatureScanner::CSignatureScanner()
{
    DecodeEicar(m_arEicar);
}

bool CSignatureScanner::Begin(int nFd, uint64_t nSizeHint)
{
    m_nFd = nFd;
    m_nSizeHint = nSizeHint;
    m_nLength = 0;
    m_nBase = 0;
    m_nRead = 0;
    m_bEof = false;
    return Fill();
}

bool CSignatureScanner::Fill()
{
    const std::size_t nRoom = sizeof(m_arBuffer) - m_nLength;
    ssize_t nGot;
    do {
        nGot = ::read(m_nFd, m_arBuffer + m_nLength, nRoom);
    } while (nGot < 0 && errno == EINTR);
    if (nGot < 0) {
        m_bEof = true;
        return false;
    }
    m_nLength += static_cast<std::size_t>(nGot);
    m_nRead += static_cast<uint64_t>(nGot);
    // A short read that reaches the size fstat gave is the end: saves the
    // extra empty read on every small file.
    if (nGot == 0 || (static_cast<std::size_t>(nGot) < nRoom && m_nSizeHint > 0 &&
                      m_nRead >= m_nSizeHint))
        m_bEof = true;
    return true;
}

bool CSignatureScanner::FindInWindow(std::size_t nLimit, CScanHit* pHit) const
{
    // Every signature starting before nLimit lies wholly inside the buffer.
    std::size_t nEicarAt = nLimit;
    const void* pEicar = ::memmem(m_arBuffer, m_nLength, m_arEicar, kEicarLength);
    if (pEicar)
        nEicarAt = static_cast<std::size_t>(static_cast<const char*>(pEicar) - m_arBuffer);

    // Only a marker that starts before the test string can come first.
    const std::size_t nMarkerEnd = nEicarAt < nLimit ? nEicarAt : nLimit;
    std::size_t nPos = 0;
    while (nPos < nMarkerEnd) {
        // Search just far enough for the lead to start before nMarkerEnd.
        std::size_t nSpan = nMarkerEnd - nPos + kMarkerLeadLength - 1;
        if (nSpan > m_nLength - nPos)
            nSpan = m_nLength - nPos;
        const void* pLead = ::memmem(m_arBuffer + nPos, nSpan, kMarkerLead, kMarkerLeadLength);
        if (!pLead)
            break;
        const std::size_t nAt = static_cast<std::size_t>(static_cast<const char*>(pLead) - m_arBuffer);
        if (ParseMarker(m_arBuffer + nAt, m_nLength - nAt, pHit)) {
            pHit->m_nOffset = m_nBase + nAt;
            return true;
        }
        nPos = nAt + 1;
    }
    if (nEicarAt < nLimit) {
        pHit->m_eKind = EHitKind::Eicar;
        pHit->m_nOffset = m_nBase + nEicarAt;
        pHit->m_nReport = 1;
        pHit->m_nOutcome = 3;
        pHit->m_strName = "EICAR-Test-File";
        pHit->m_strBytes.assign(m_arEicar, kEicarLength);
        return true;
    }
    return false;
}

EScan CSignatureScanner::Finish(CScanHit* pHit)
{
    for (;;) {
        if (!m_bEof && m_nLength < sizeof(m_arBuffer) && !Fill())
            return EScan::ReadError;
        std::size_t nLimit = m_nLength;
        if (!m_bEof)
            nLimit = m_nLength > kOverlap ? m_nLength - kOverlap : 0;
        if (nLimit > 0 && FindInWindow(nLimit, pHit))
            return EScan::Found;
        if (m_bEof)
            return EScan::Clean;
        const std::size_t nKeep = m_nLength - nLimit;
        std::memmove(m_arBuffer, m_arBuffer + nLimit, nKeep);
        m_nBase += nLimit;
        m_nLength = nKeep;
    }
}

} // namespace farsend
