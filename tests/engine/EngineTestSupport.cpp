#include "EngineTestSupport.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <type_traits>
#include <unistd.h>

#include <gtest/gtest.h>

namespace enginetest {

namespace {

const char* const kEntryNames[] = {FARSEND_ENTRY_NAMES};

const CEngineApi& LoadOnce(const char* pszFile, CEngineApi* pApi)
{
    if (!LoadEngine(pszFile, pApi) || pApi->MissingCount() != 0) {
        // Every test after this would only call through null pointers.
        std::fprintf(stderr, "%s did not load with all nine entry points\n", pszFile);
        std::abort();
    }
    pApi->m_pfnTurnOn();
    return *pApi;
}

} // namespace

int CEngineApi::MissingCount() const
{
    const bool arPresent[] = {m_pfnFormat != nullptr, m_pfnProbe != nullptr, m_pfnRecover != nullptr,
                              m_pfnReport != nullptr, m_pfnName != nullptr, m_pfnVersion != nullptr,
                              m_pfnClose != nullptr, m_pfnTurnOn != nullptr, m_pfnTurnOff != nullptr};
    return static_cast<int>(std::count(std::begin(arPresent), std::end(arPresent), false));
}

std::string BinaryDir()
{
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).parent_path().string();
}

bool LoadEngine(const std::string& strFile, CEngineApi* pApi)
{
    void* pLibrary = ::dlopen((BinaryDir() + "/" + strFile).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!pLibrary)
        return false;
    auto Resolve = [pLibrary](auto* ppfn, const char* pszName) {
        *ppfn = reinterpret_cast<std::remove_pointer_t<decltype(ppfn)>>(::dlsym(pLibrary, pszName));
    };
    Resolve(&pApi->m_pfnFormat, kEntryNames[0]);
    Resolve(&pApi->m_pfnProbe, kEntryNames[1]);
    Resolve(&pApi->m_pfnRecover, kEntryNames[2]);
    Resolve(&pApi->m_pfnReport, kEntryNames[3]);
    Resolve(&pApi->m_pfnName, kEntryNames[4]);
    Resolve(&pApi->m_pfnVersion, kEntryNames[5]);
    Resolve(&pApi->m_pfnClose, kEntryNames[6]);
    Resolve(&pApi->m_pfnTurnOn, kEntryNames[7]);
    Resolve(&pApi->m_pfnTurnOff, kEntryNames[8]);
    return true;
}

const CEngineApi& Reference()
{
    static CEngineApi s_api;
    static const CEngineApi& s_loaded = LoadOnce("libfarsend.so", &s_api);
    return s_loaded;
}

const CEngineApi& Faulty()
{
    // Only the children of the fault tests may fail on purpose.
    ::unsetenv("FARSEND_FAULT");
    static CEngineApi s_api;
    static const CEngineApi& s_loaded = LoadOnce("libfarsend-fault.so", &s_api);
    return s_loaded;
}

bool ExportedNames(const std::string& strPath, std::set<std::string>* pSetNames)
{
    const std::string strImage = ReadFile(strPath);
    Elf64_Ehdr header;
    if (strImage.size() < sizeof(header))
        return false;
    std::memcpy(&header, strImage.data(), sizeof(header));
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64)
        return false;
    auto Section = [&](std::size_t nIndex, Elf64_Shdr* pSection) {
        const std::size_t nAt = header.e_shoff + nIndex * sizeof(Elf64_Shdr);
        if (nIndex >= header.e_shnum || nAt + sizeof(Elf64_Shdr) > strImage.size())
            return false;
        std::memcpy(pSection, strImage.data() + nAt, sizeof(Elf64_Shdr));
        return pSection->sh_offset + pSection->sh_size <= strImage.size();
    };
    Elf64_Shdr symbols;
    Elf64_Shdr strings;
    for (std::size_t i = 0; i < header.e_shnum; ++i) {
        if (!Section(i, &symbols) || symbols.sh_type != SHT_DYNSYM)
            continue;
        if (!Section(symbols.sh_link, &strings))
            return false;
        for (std::size_t n = 0; n < symbols.sh_size / sizeof(Elf64_Sym); ++n) {
            Elf64_Sym symbol;
            std::memcpy(&symbol, strImage.data() + symbols.sh_offset + n * sizeof(symbol), sizeof(symbol));
            const int nBind = ELF64_ST_BIND(symbol.st_info);
            if (symbol.st_shndx != SHN_UNDEF && (nBind == STB_GLOBAL || nBind == STB_WEAK) &&
                symbol.st_name < strings.sh_size)
                pSetNames->insert(strImage.data() + strings.sh_offset + symbol.st_name);
        }
        return true;
    }
    return false;
}

CTempDir::CTempDir()
{
    const char* pszBase = std::getenv("TMPDIR");
    std::string strTemplate = std::string(pszBase && *pszBase ? pszBase : "/tmp") + "/quillet-engine-XXXXXX";
    if (::mkdtemp(strTemplate.data()))
        m_strPath = strTemplate;
    else
        ADD_FAILURE() << "mkdtemp: " << std::strerror(errno);
}

CTempDir::~CTempDir()
{
    std::error_code error;
    if (!m_strPath.empty())
        std::filesystem::remove_all(m_strPath, error);
}

bool WriteFile(const std::string& strPath, const std::string& strContent)
{
    std::ofstream file(strPath, std::ios::binary | std::ios::trunc);
    file << strContent;
    file.close();
    return !file.fail();
}

std::string ReadFile(const std::string& strPath)
{
    std::ifstream file(strPath, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

std::string Filler(std::size_t nLength, unsigned nSeed)
{
    std::string strFiller(nLength, ' ');
    uint32_t nState = nSeed * 2654435761u + 1;
    for (char& c : strFiller) {
        nState = nState * 1664525u + 1013904223u;
        const unsigned nPick = (nState >> 24) % 28;
        c = nPick < 26 ? static_cast<char>('a' + nPick) : (nPick == 26 ? ' ' : '\n');
    }
    return strFiller;
}

CChain CleanChain(const CEngineApi& api, const std::string& strPath, int nMaxSteps)
{
    CChain arSteps;
    for (int i = 0; i < nMaxSteps; ++i) {
        const uint32_t hProbe = api.m_pfnProbe(strPath.c_str());
        if (hProbe == 0)
            break;
        arSteps.push_back({api.m_pfnReport(hProbe), api.Name(hProbe), api.m_pfnRecover(hProbe)});
        api.m_pfnClose(hProbe);
        if (arSteps.back().m_nOutcome != 1)
            break;
    }
    return arSteps;
}

bool CChildEnd::Exited(int nCode) const
{
    return !m_bTimedOut && WIFEXITED(m_nStatus) && WEXITSTATUS(m_nStatus) == nCode;
}

bool CChildEnd::Signalled(int nSignal) const
{
    return !m_bTimedOut && WIFSIGNALED(m_nStatus) && WTERMSIG(m_nStatus) == nSignal;
}

CChildEnd RunInChild(const std::function<void()>& fn, int nTimeoutMs)
{
    std::fflush(nullptr);
    CChildEnd end;
    const pid_t nPid = ::fork();
    if (nPid == 0) {
        // Let a crash end the child the plain way, even under a sanitizer.
        const struct rlimit noCore = {0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        std::signal(SIGSEGV, SIG_DFL);
        std::signal(SIGABRT, SIG_DFL);
        fn();
        ::_exit(0);
    }
    EXPECT_GT(nPid, 0) << "fork: " << std::strerror(errno);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    while (nPid > 0 && ::waitpid(nPid, &end.m_nStatus, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(nPid, SIGKILL);
            ::waitpid(nPid, &end.m_nStatus, 0);
            end.m_bTimedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return end;
}

} // namespace enginetest
