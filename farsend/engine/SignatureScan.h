// Finds the first signature in a file: the antivirus test string or one of
// our own test markers FSTV{RR,O,Name}. Reads the file once, in fixed-size
// chunks, so memory stays bounded whatever the file size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "farsend/engine/EicarCode.h"

namespace farsend {

inline constexpr std::size_t kMarkerNameMax = 40;
// "FSTV{" RR "," O "," name "}"
inline constexpr std::size_t kMarkerMin = 12;
inline constexpr std::size_t kMarkerMax = 11 + kMarkerNameMax;

enum class EHitKind { None, Eicar, Marker };

struct CScanHit {
    EHitKind m_eKind = EHitKind::None;
    uint64_t m_nOffset = 0;
    int m_nReport = 0;
    int m_nOutcome = 0;
    std::string m_strName;
    // The signature bytes as found; cleaning re-reads them to be sure the
    // file still holds them at m_nOffset.
    std::string m_strBytes;
};

// Length of the well-formed marker at p (nAvail bytes readable), else 0.
std::size_t ParseMarker(const char* p, std::size_t nAvail, CScanHit* pHit);

enum class EScan { Clean, Found, ReadError };

class CSignatureScanner {
public:
    static constexpr std::size_t kChunkSize = 64 * 1024;
    static constexpr std::size_t kSignatureMax =
        kEicarLength > kMarkerMax ? kEicarLength : kMarkerMax;
    // Bytes carried from one chunk to the next so that a signature split by
    // the chunk boundary is still seen whole.
    static constexpr std::size_t kOverlap = kSignatureMax - 1;

    CSignatureScanner();
    CSignatureScanner(const CSignatureScanner&) = delete;
    CSignatureScanner& operator=(const CSignatureScanner&) = delete;

    // Reads the first chunk of nFd (positioned at 0). nSizeHint is the size
    // fstat gave, used to stop without a final empty read. false on a read
    // error. The descriptor stays owned by the caller.
    bool Begin(int nFd, uint64_t nSizeHint);
    const char* Data() const { return m_arBuffer; }
    std::size_t DataLength() const { return m_nLength; }

    // Scans from the start of the file, reading the rest as needed.
    EScan Finish(CScanHit* pHit);

private:
    bool Fill();
    bool FindInWindow(std::size_t nLimit, CScanHit* pHit) const;

    char m_arBuffer[kChunkSize + kOverlap];
    char m_arEicar[kEicarLength];
    std::size_t m_nLength = 0;
    uint64_t m_nBase = 0;
    uint64_t m_nRead = 0;
    uint64_t m_nSizeHint = 0;
    int m_nFd = -1;
    bool m_bEof = true;
};

} // namespace farsend
