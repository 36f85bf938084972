#include "farsend/engine/FaultInjection.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace farsend {

namespace {

struct CNamed {
    const char* m_pszName;
    int m_nValue;
};

constexpr CNamed kEntries[] = {
    {"format", static_cast<int>(EFaultEntry::Format)},
    {"probe", static_cast<int>(EFaultEntry::Probe)},
    {"recover", static_cast<int>(EFaultEntry::Recover)},
    {"report", static_cast<int>(EFaultEntry::Report)},
    {"name", static_cast<int>(EFaultEntry::Name)},
    {"close", static_cast<int>(EFaultEntry::Close)},
    {"version", static_cast<int>(EFaultEntry::Version)},
    {"turnon", static_cast<int>(EFaultEntry::TurnOn)},
    {"turnoff", static_cast<int>(EFaultEntry::TurnOff)},
};

constexpr CNamed kKinds[] = {
    {"crash", static_cast<int>(EFaultKind::Crash)},
    {"abort", static_cast<int>(EFaultKind::Abort)},
    {"hang", static_cast<int>(EFaultKind::Hang)},
    {"exit", static_cast<int>(EFaultKind::Exit)},
};

// Matches one of the names at *ppsz; advances past it.
template <std::size_t N>
int MatchName(const char** ppsz, const CNamed (&arNames)[N])
{
    for (const CNamed& named : arNames) {
        const std::size_t nLength = std::strlen(named.m_pszName);
        if (std::strncmp(*ppsz, named.m_pszName, nLength) == 0) {
            *ppsz += nLength;
            return named.m_nValue;
        }
    }
    return 0;
}

// "<entry>-<kind>" at the start of psz; bExact demands nothing after it.
bool ParseFault(const char* psz, bool bExact, CFault* pFault)
{
    const int nEntry = MatchName(&psz, kEntries);
    if (nEntry == 0 || *psz != '-')
        return false;
    ++psz;
    const int nKind = MatchName(&psz, kKinds);
    if (nKind == 0 || (bExact && *psz != '\0'))
        return false;
    pFault->m_eEntry = static_cast<EFaultEntry>(nEntry);
    pFault->m_eKind = static_cast<EFaultKind>(nKind);
    return true;
}

// Read through a volatile so the compiler cannot see the null and replace
// the store with a trap instruction: the host must see a real SIGSEGV.
int* volatile g_pNowhere = nullptr;

__attribute__((no_sanitize("address", "undefined"))) void WriteThroughNull()
{
    *static_cast<volatile int*>(g_pNowhere) = 1;
}

} // namespace

bool FaultFromPath(const char* pszPath, CFault* pFault)
{
    if (!pszPath)
        return false;
    const char* pszSlash = std::strrchr(pszPath, '/');
    const char* pszName = pszSlash ? pszSlash + 1 : pszPath;
    if (std::strncmp(pszName, "fault-", 6) != 0)
        return false;
    CFault fault;
    if (!ParseFault(pszName + 6, false, &fault))
        return false;
    switch (fault.m_eEntry) {
    case EFaultEntry::Version:
    case EFaultEntry::TurnOn:
    case EFaultEntry::TurnOff:
        return false;
    default:
        *pFault = fault;
        return true;
    }
}

EFaultKind FaultFromEnvironment(EFaultEntry eEntry)
{
    const char* pszValue = std::getenv("FARSEND_FAULT");
    CFault fault;
    if (!pszValue || !ParseFault(pszValue, true, &fault) || fault.m_eEntry != eEntry)
        return EFaultKind::None;
    return fault.m_eKind;
}

void TriggerFault(EFaultKind eKind)
{
    switch (eKind) {
    case EFaultKind::None:
        return;
    case EFaultKind::Crash:
        WriteThroughNull();
        break;
    case EFaultKind::Abort:
        std::abort();
    case EFaultKind::Hang:
        for (;;)
            ::sleep(1000);
    case EFaultKind::Exit:
        break;
    }
    ::_exit(3);
}

} // namespace farsend
