#include "clamav/ClamTestSupport.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>
#include <vector>

#include "fakes/RunProgram.h"
#include "fakes/TempDir.h"
#include "tools/samples/SampleWriter.h"

namespace clamtest {

namespace {

constexpr const char* kLibrary = "libfarsend-clamav.so";

std::string Hex(const std::string& str)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string strHex;
    for (unsigned char c : str) {
        strHex += kDigits[c >> 4];
        strHex += kDigits[c & 15];
    }
    return strHex;
}

// sigtool --md5 FILE: one .hdb line, "md5:size:name".
bool Md5Line(const std::string& strSigtool, const std::string& strFile, std::string* pstrLine, std::string* pstrWhy)
{
    CTempDir out;
    const SRun run = RunProgram(strSigtool, {"--md5", strFile}, out);
    if (run.nExit != 0 || run.strOut.empty()) {
        *pstrWhy = "sigtool --md5 " + strFile + " failed: " + run.strErr;
        return false;
    }
    *pstrLine = run.strOut;
    return true;
}

} // namespace

const CClamApi& Clam()
{
    static CClamApi s_api;
    static const bool s_bLoaded = [] {
        if (!enginetest::LoadEngine(kLibrary, &s_api) || s_api.MissingCount() != 0) {
            std::fprintf(stderr, "%s did not load with all nine entry points: %s\n", kLibrary, dlerror());
            std::abort();
        }
        void* pLibrary = ::dlopen((enginetest::BinaryDir() + "/" + kLibrary).c_str(), RTLD_NOW | RTLD_NOLOAD);
        s_api.m_pfnTurnOnError =
            pLibrary ? reinterpret_cast<PFN_dlGetTurnOnError_Farsend>(::dlsym(pLibrary, FARSEND_TURN_ON_ERROR_NAME))
                     : nullptr;
        s_api.m_pfnLastError =
            pLibrary ? reinterpret_cast<const char* (*)(void)>(::dlsym(pLibrary, "dlGetLastError_Farsend")) : nullptr;
        s_api.m_pfnScanNote =
            pLibrary ? reinterpret_cast<PFN_dlGetScanNote_Farsend>(::dlsym(pLibrary, FARSEND_SCAN_NOTE_NAME)) : nullptr;
        if (!s_api.m_pfnTurnOnError || !s_api.m_pfnLastError || !s_api.m_pfnScanNote) {
            std::fprintf(stderr, "%s lacks an optional entry point\n", kLibrary);
            std::abort();
        }
        return true;
    }();
    (void)s_bLoaded;
    return s_api;
}

std::string TurnOnWithDatabase(const std::string& strFolder)
{
    ::unsetenv("QUILLET_CLAMD");
    ::setenv("QUILLET_CLAMAV_DATABASE", strFolder.c_str(), 1);
    Clam().m_pfnTurnOn();
    return Clam().TurnOnError();
}

std::string TurnOnWithDaemon(const std::string& strAddress)
{
    ::unsetenv("QUILLET_CLAMAV_DATABASE");
    ::setenv("QUILLET_CLAMD", strAddress.c_str(), 1);
    Clam().m_pfnTurnOn();
    return Clam().TurnOnError();
}

std::string FindTool(const std::string& strName)
{
    const char* pszPath = std::getenv("PATH");
    std::stringstream folders(std::string(pszPath ? pszPath : "") + ":/usr/sbin:/sbin");
    for (std::string strFolder; std::getline(folders, strFolder, ':');) {
        const std::string strFile = strFolder + "/" + strName;
        if (!strFolder.empty() && ::access(strFile.c_str(), X_OK) == 0)
            return strFile;
    }
    return "";
}

void PrintTo(const CVerdict& verdict, std::ostream* pOut)
{
    if (!verdict.m_bScannable)
        *pOut << "{not scannable}";
    else
        *pOut << "{\"" << verdict.m_strName << "\", report " << verdict.m_nReport << ", outcome " << verdict.m_nOutcome
              << (verdict.m_strFailure.empty() ? "" : ", failed: " + verdict.m_strFailure)
              << (verdict.m_strNote.empty() ? "" : ", note: " + verdict.m_strNote) << "}";
}

CVerdict Ask(const CClamApi& api, const std::string& strPath)
{
    CVerdict verdict;
    verdict.m_bScannable = (api.m_pfnFormat(strPath.c_str()) & 0xFFFFu) < 10;
    verdict.m_strFailure = api.LastError();
    if (!verdict.m_bScannable || !verdict.m_strFailure.empty())
        return verdict;
    const uint32_t hProbe = api.m_pfnProbe(strPath.c_str());
    verdict.m_strFailure = api.LastError();
    if (hProbe == 0) {
        const char* pszNote = api.m_pfnScanNote();
        verdict.m_strNote = pszNote ? pszNote : "";
        return verdict;
    }
    verdict.m_nReport = api.m_pfnReport(hProbe);
    verdict.m_strName = api.Name(hProbe);
    verdict.m_nOutcome = api.m_pfnRecover(hProbe);
    api.m_pfnClose(hProbe);
    return verdict;
}

std::map<std::string, CVerdict> AskFolder(const CClamApi& api, const std::string& strFolder)
{
    std::map<std::string, CVerdict> mapVerdicts;
    for (const std::string& strName : CTempDir::Entries(strFolder))
        mapVerdicts[strName] = Ask(api, strFolder + "/" + strName);
    return mapVerdicts;
}

bool CSampleSet::Write(const std::string& strRoot, std::string* pstrWhy)
{
    const std::string strSigtool = FindTool("sigtool");
    if (strSigtool.empty()) {
        *pstrWhy = "sigtool is not installed (Debian package clamav)";
        return false;
    }
    m_strDatabase = strRoot + "/db";
    m_strSamples = strRoot + "/samples";
    if (::mkdir(m_strDatabase.c_str(), 0755) != 0 || ::mkdir(m_strSamples.c_str(), 0755) != 0 ||
        ::mkdir((m_strSamples + "/sub").c_str(), 0755) != 0) {
        *pstrWhy = "cannot make the folders in " + strRoot;
        return false;
    }
    const std::string strEicar = quillet::samples::EicarString();
    const std::string strMarker = "QUILLET-HEURISTIC-MARKER";
    const std::string strOwn = m_strSamples + "/quillet-sample.bin";
    bool bOk = CTempDir::WriteFile(strOwn, "our own test program\n" + enginetest::Filler(3000, 7)) &&
               CTempDir::WriteFile(m_strSamples + "/eicar.com", strEicar) &&
               CTempDir::WriteFile(m_strSamples + "/eicar-inside.txt",
                                   enginetest::Filler(700, 2) + strEicar + enginetest::Filler(300, 3)) &&
               CTempDir::WriteFile(m_strSamples + "/heuristic.txt", enginetest::Filler(100, 4) + strMarker) &&
               CTempDir::WriteFile(m_strSamples + "/clean.txt", enginetest::Filler(5000, 5)) &&
               CTempDir::WriteFile(m_strSamples + "/empty.txt", "");
    std::string strHashes;
    std::string strLine;
    bOk = bOk && Md5Line(strSigtool, strOwn, &strLine, pstrWhy);
    strHashes += strLine;
    const std::string strTestProgram = std::string(kTestFilesDir) + "/clam.exe";
    if (bOk && ::access(strTestProgram.c_str(), R_OK) == 0) {
        bOk = Md5Line(strSigtool, strTestProgram, &strLine, pstrWhy);
        strHashes += strLine;
    }
    bOk = bOk && CTempDir::WriteFile(m_strDatabase + "/local.hdb", strHashes) &&
          CTempDir::WriteFile(m_strDatabase + "/local.ndb", "Eicar-Test-Signature:0:*:" + Hex(strEicar) +
                                                                "\nHeuristics.Quillet.Marker:0:*:" + Hex(strMarker) +
                                                                "\n");
    if (!bOk && pstrWhy->empty())
        *pstrWhy = "cannot write the samples in " + strRoot;
    return bOk;
}

bool ClamscanNames(const std::string& strDatabase, const std::string& strFolder,
                   std::map<std::string, std::string>* pmapNames, std::string* pstrWhy,
                   const std::vector<std::string>& arOptions)
{
    CTempDir out;
    std::vector<std::string> arArgs = {"--no-summary", "-d", strDatabase};
    arArgs.insert(arArgs.end(), arOptions.begin(), arOptions.end());
    arArgs.push_back(strFolder);
    const SRun run = RunProgram(FindTool("clamscan"), arArgs, out);
    // 0: nothing found, 1: something found.
    if (run.nExit != 0 && run.nExit != 1) {
        *pstrWhy = "clamscan ended with " + std::to_string(run.nExit) + ": " + run.strErr;
        return false;
    }
    std::istringstream lines(run.strOut);
    for (std::string strLine; std::getline(lines, strLine);) {
        const std::string strFound = " FOUND";
        const std::size_t nColon = strLine.rfind(": ");
        if (nColon == std::string::npos || strLine.size() < strFound.size() ||
            strLine.compare(strLine.size() - strFound.size(), strFound.size(), strFound) != 0)
            continue;
        const std::string strPath = strLine.substr(0, nColon);
        (*pmapNames)[strPath.substr(strPath.rfind('/') + 1)] =
            strLine.substr(nColon + 2, strLine.size() - strFound.size() - nColon - 2);
    }
    return true;
}

bool WritePartialSamples(const std::string& strFolder, std::string* pstrWhy)
{
    const std::string strZip = FindTool("zip");
    if (strZip.empty()) {
        *pstrWhy = "zip is not installed (Debian package zip)";
        return false;
    }
    CTempDir work;
    const std::string strEicar = quillet::samples::EicarString();
    // Compressed members: no archive holds EICAR's bytes as they are, so
    // only a scan that reaches the member finds it.
    const std::string strPadding(5000, 'A');
    bool bOk = CTempDir::WriteFile(strFolder + "/oversize.txt", enginetest::Filler(30000, 8) + strEicar) &&
               CTempDir::WriteFile(work / "inner.txt", strPadding + strEicar) &&
               CTempDir::WriteFile(work / "real.txt", strEicar + strPadding) &&
               CTempDir::WriteFile(work / "eicar.com", strEicar);
    const auto Zip = [&](const std::vector<std::string>& arArgs) {
        CTempDir out;
        std::vector<std::string> arAll = {"-q", "-9"};
        arAll.insert(arAll.end(), arArgs.begin(), arArgs.end());
        const SRun run = RunProgram(strZip, arAll, out, work.Path());
        if (run.nExit != 0 && pstrWhy->empty())
            *pstrWhy = "zip failed: " + run.strErr;
        return run.nExit == 0;
    };
    // Five archives deep; MaxRecursion 3 stops short of the bottom.
    bOk = bOk && Zip({"l1.zip", "inner.txt"});
    for (int i = 2; bOk && i <= 5; ++i)
        bOk = Zip({"l" + std::to_string(i) + ".zip", "l" + std::to_string(i - 1) + ".zip"});
    bOk = bOk && Zip({strFolder + "/deep.zip", "l5.zip"}) && Zip({strFolder + "/deep-real.zip", "l5.zip", "real.txt"}) &&
          Zip({"-P", "secret", strFolder + "/locked.zip", "inner.txt"}) &&
          Zip({"-P", "secret", strFolder + "/locked-real.zip", "inner.txt"}) &&
          Zip({strFolder + "/locked-real.zip", "eicar.com"});
    if (!bOk && pstrWhy->empty())
        *pstrWhy = "cannot write the samples in " + strFolder;
    return bOk;
}

int FreeLoopbackPort()
{
    const int nSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nLen = sizeof addr;
    int nPort = 0;
    if (::bind(nSocket, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(nSocket, reinterpret_cast<sockaddr*>(&addr), &nLen) == 0)
        nPort = ntohs(addr.sin_port);
    ::close(nSocket);
    return nPort;
}

CClamdProcess::~CClamdProcess()
{
    if (m_nPid <= 0)
        return;
    ::kill(m_nPid, SIGTERM);
    int nStatus = 0;
    for (int i = 0; i < 500 && ::waitpid(m_nPid, &nStatus, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (::waitpid(m_nPid, &nStatus, WNOHANG) == 0) {
        ::kill(m_nPid, SIGKILL);
        ::waitpid(m_nPid, &nStatus, 0);
    }
}

bool CClamdProcess::Start(const std::string& strClamd, const std::string& strRoot, const std::string& strDatabase,
                          std::string* pstrWhy, const std::string& strMore)
{
    m_strSocket = strRoot + "/clamd.sock";
    m_nPort = FreeLoopbackPort();
    const passwd* pUser = ::getpwuid(::geteuid());
    const std::string strConfig = strRoot + "/clamd.conf";
    const std::string strOutput = strRoot + "/clamd.out";
    // Nothing of the system's: our sockets, our database, our folder, no
    // syslog; as root clamd would drop to the configured user, so name us.
    CTempDir::WriteFile(strConfig, "LocalSocket " + m_strSocket + "\nTCPSocket " + std::to_string(m_nPort) +
                                       "\nTCPAddr 127.0.0.1\nDatabaseDirectory " + strDatabase +
                                       "\nTemporaryDirectory " + strRoot +
                                       "\nForeground yes\nLogSyslog no\nLogFile " + strRoot +
                                       "/clamd.log\nUser " + (pUser ? pUser->pw_name : "root") + "\n" + strMore);
    const std::string strArg = "--config-file=" + strConfig;
    char* arArgv[] = {const_cast<char*>(strClamd.c_str()), const_cast<char*>(strArg.c_str()), nullptr};
    m_nPid = ::fork();
    if (m_nPid == 0) {
        // A test that dies must not leave its daemon behind.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int nOut = ::open(strOutput.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(nOut, 1);
        ::dup2(nOut, 2);
        ::execv(arArgv[0], arArgv);
        ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int nStatus = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(m_nPid, &nStatus, WNOHANG) == m_nPid) {
            m_nPid = -1;
            *pstrWhy = "clamd ended at once: " + CTempDir::ReadFile(strOutput) +
                       CTempDir::ReadFile(strRoot + "/clamd.log");
            return false;
        }
        const bool bReady = TurnOnWithDaemon(LocalAddress()).empty() && TurnOnWithDaemon(TcpAddress()).empty();
        Clam().m_pfnTurnOff();
        if (bReady)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    *pstrWhy = "clamd did not answer within a minute: " + CTempDir::ReadFile(strOutput);
    return false;
}

} // namespace clamtest
