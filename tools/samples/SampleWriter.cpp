#include "tools/samples/SampleWriter.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "farsend/engine/EicarCode.h"

namespace quillet::samples {

namespace {

struct CSample {
    std::string m_strDir; // "" for the top folder
    std::string m_strName;
    std::string m_strContent;
};

const char kSubfolder[] = "subfolder";

bool IsNameChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '.' || c == '_' || c == '-';
}

std::string Infected(const std::string& strWhat, const std::vector<std::string>& arMarkers)
{
    std::string strContent = "Quillet sample file: " + strWhat + ".\n";
    for (const std::string& strMarker : arMarkers)
        strContent += "payload " + strMarker + "\n";
    strContent += "This file is harmless; only the test engine reports it.\n";
    return strContent;
}

std::string One(const std::string& strWhat, int nReport, int nOutcome, const std::string& strName)
{
    return Infected(strWhat, {TestMarker(nReport, nOutcome, strName)});
}

std::vector<CSample> BuildSamples()
{
    struct CReportSample {
        const char* m_pszFile;
        int m_nOutcome;
        const char* m_pszVirus;
    };
    // Index = report code. Only the repairable one cleans; unrepairable
    // fails; the rest leave the file alone when cleaning is tried.
    static const CReportSample kReports[] = {
        {"report-00-repairable.exe", 1, "Quillet.Report.Repairable"},
        {"report-01-unrepairable.com", 3, "Quillet.Report.Unrepairable"},
        {"report-02-new-virus.xls", 0, "Quillet.Report.NewVirus"},
        {"report-03-suspected.exe", 0, "Quillet.Report.Suspected"},
        {"report-04-not-supported.com", 0, "Quillet.Report.NotSupported"},
        {"report-05-repair-after-decompression.xls", 0, "Quillet.Report.Decompress"},
        {"report-06-access-denied.exe", 0, "Quillet.Report.AccessDenied"},
        {"report-07-ok.com", 0, "Quillet.Report.Ok"},
        {"report-08-repaired.xls", 0, "Quillet.Report.Repaired"},
        {"report-09-deleted.exe", 0, "Quillet.Report.Deleted"},
        {"report-10-fail-to-repair.com", 0, "Quillet.Report.FailToRepair"},
        {"report-11-overlapped.xls", 0, "Quillet.Report.Overlapped"},
        {"report-12-repair-after-decryption.exe", 0, "Quillet.Report.Decrypt"},
    };

    std::vector<CSample> arSamples;
    arSamples.push_back({"", "readme.txt",
                         "Quillet sample folder, written by quillet-samples.\n"
                         "Every file here is harmless. The infected ones carry test\n"
                         "markers or the industry antivirus test string.\n"});
    arSamples.push_back({"", "clean-program.exe",
                         "MZ Quillet sample file: a clean program, nothing to find.\n"});
    arSamples.push_back({"", "eicar.com", EicarString()});
    int nReport = 0;
    for (const CReportSample& report : kReports) {
        arSamples.push_back({"", report.m_pszFile,
                             One("report code " + std::to_string(nReport), nReport,
                                 report.m_nOutcome, report.m_pszVirus)});
        ++nReport;
    }
    arSamples.push_back({"", "outcome-1-cleaned.exe",
                         One("cleaning succeeds", 0, 1, "Quillet.Outcome.Cleaned")});
    arSamples.push_back({"", "outcome-3-clean-failed.exe",
                         One("cleaning fails", 0, 3, "Quillet.Outcome.Failed")});
    arSamples.push_back({"", "outcome-4-encrypted.exe",
                         One("the file is encrypted", 0, 4, "Quillet.Outcome.Encrypted")});
    arSamples.push_back({"", "outcome-other.exe",
                         One("cleaning changes nothing", 0, 7, "Quillet.Outcome.Other")});
    // The inner marker is split around the outer one and only exists once
    // the outer one is cut out: a scan that does not probe again misses it.
    const std::string strInner = TestMarker(1, 3, "Quillet.Nested.Inner");
    arSamples.push_back({"", "nested.exe",
                         Infected("cleaning reveals a second infection",
                                  {strInner.substr(0, 2) + TestMarker(0, 1, "Quillet.Nested.Outer") +
                                   strInner.substr(2)})});
    arSamples.push_back({"", "cleaned-twice.com",
                         Infected("two infections, both cleanable",
                                  {TestMarker(0, 1, "Quillet.Twice.First"),
                                   TestMarker(0, 1, "Quillet.Twice.Second")})});
    arSamples.push_back({"", "infected.doc",
                         One("a document backed up before cleaning", 0, 1, "Quillet.Macro.Doc")});
    arSamples.push_back({"", "infected-notes.txt",
                         One("found only when all files are scanned", 0, 1, "Quillet.Text.Notes")});
    arSamples.push_back({"", "format-12.exe",
                         "FSTF{12}\nQuillet sample file: a format the engine does not probe.\n"});
    arSamples.push_back({kSubfolder, "infected-in-subfolder.exe",
                         One("infected file in a subfolder", 0, 1, "Quillet.Sub.Folder")});
    arSamples.push_back({"", ".hidden.exe",
                         One("hidden, so the folder walk skips it", 0, 1, "Quillet.Hidden")});
    return arSamples;
}

void SetError(std::string* pstrError, const std::string& strWhat, const std::string& strPath,
              int nErrno)
{
    if (!pstrError)
        return;
    *pstrError = strWhat + " " + strPath;
    if (nErrno != 0)
        *pstrError += ": " + std::string(std::strerror(nErrno));
}

std::string Join(const std::string& strDir, const std::string& strName)
{
    if (strDir.empty() || strDir.back() == '/')
        return strDir + strName;
    return strDir + "/" + strName;
}

// Opens strName under nParentFd as a directory, creating it when missing;
// a symbolic link there is refused (O_NOFOLLOW).
int OpenDirectoryAt(int nParentFd, const std::string& strName, const std::string& strShown,
                    std::string* pstrError)
{
    if (::mkdirat(nParentFd, strName.c_str(), 0755) != 0 && errno != EEXIST) {
        SetError(pstrError, "cannot create folder", strShown, errno);
        return -1;
    }
    const int nFd = ::openat(nParentFd, strName.c_str(),
                             O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (nFd < 0) {
        const int nErrno = errno;
        struct stat st;
        if (::fstatat(nParentFd, strName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(st.st_mode))
            SetError(pstrError, "refusing to write through symbolic link", strShown, 0);
        else
            SetError(pstrError, "cannot open folder", strShown, nErrno);
    }
    return nFd;
}

bool WriteFileAt(int nDirFd, const std::string& strName, const std::string& strContent,
                 const std::string& strShown, std::string* pstrError)
{
    // No O_TRUNC yet: a hard-linked file would change elsewhere too, so it
    // is checked before anything is written.
    const int nFd = ::openat(nDirFd, strName.c_str(),
                             O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                             0644);
    if (nFd < 0) {
        if (errno == ELOOP)
            SetError(pstrError, "refusing to write through symbolic link", strShown, 0);
        else
            SetError(pstrError, "cannot create", strShown, errno);
        return false;
    }
    struct stat st;
    bool bOk = ::fstat(nFd, &st) == 0;
    if (bOk && (!S_ISREG(st.st_mode) || st.st_nlink > 1)) {
        SetError(pstrError, "refusing to overwrite linked or special file", strShown, 0);
        ::close(nFd);
        return false;
    }
    bOk = bOk && ::ftruncate(nFd, 0) == 0;
    const char* p = strContent.data();
    std::size_t nLeft = strContent.size();
    while (bOk && nLeft > 0) {
        const ssize_t nDone = ::write(nFd, p, nLeft);
        if (nDone < 0 && errno == EINTR)
            continue;
        if (nDone <= 0) {
            bOk = false;
            break;
        }
        p += nDone;
        nLeft -= static_cast<std::size_t>(nDone);
    }
    const int nErrno = errno;
    if (::close(nFd) != 0 && bOk && errno != EINTR) {
        SetError(pstrError, "cannot write", strShown, errno);
        return false;
    }
    if (!bOk)
        SetError(pstrError, "cannot write", strShown, nErrno);
    return bOk;
}

} // namespace

std::string EicarString()
{
    std::string strEicar(farsend::kEicarLength, '\0');
    farsend::DecodeEicar(strEicar.data());
    return strEicar;
}

std::string TestMarker(int nReport, int nOutcome, const std::string& strName)
{
    if (nReport < 0 || nReport > 99 || nOutcome < 0 || nOutcome > 9 || strName.empty() ||
        strName.size() > 40)
        return std::string();
    for (char c : strName) {
        if (!IsNameChar(c))
            return std::string();
    }
    std::string strMarker = "FSTV{";
    strMarker += static_cast<char>('0' + nReport / 10);
    strMarker += static_cast<char>('0' + nReport % 10);
    strMarker += ',';
    strMarker += static_cast<char>('0' + nOutcome);
    strMarker += ',';
    strMarker += strName;
    strMarker += '}';
    return strMarker;
}

bool WriteSamplesTree(const std::string& strDir, std::string* pstrError)
{
    std::string strRoot = strDir;
    // "dir/" would make the kernel follow a link named dir despite O_NOFOLLOW.
    while (strRoot.size() > 1 && strRoot.back() == '/')
        strRoot.pop_back();
    if (strRoot.empty()) {
        SetError(pstrError, "no folder given", "", 0);
        return false;
    }
    const int nRootFd = OpenDirectoryAt(AT_FDCWD, strRoot, strRoot, pstrError);
    if (nRootFd < 0)
        return false;
    const int nSubFd = OpenDirectoryAt(nRootFd, kSubfolder, Join(strRoot, kSubfolder), pstrError);
    bool bOk = nSubFd >= 0;
    if (bOk) {
        for (const CSample& sample : BuildSamples()) {
            const bool bSub = !sample.m_strDir.empty();
            const std::string strShown =
                Join(bSub ? Join(strRoot, sample.m_strDir) : strRoot, sample.m_strName);
            if (!WriteFileAt(bSub ? nSubFd : nRootFd, sample.m_strName, sample.m_strContent,
                             strShown, pstrError)) {
                bOk = false;
                break;
            }
        }
        ::close(nSubFd);
    }
    ::close(nRootFd);
    return bOk;
}

} // namespace quillet::samples
