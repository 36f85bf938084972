// The allow-list: its text, and its file as the scans read it and the
// roads that allow append to it.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <future>
#include <thread>

#include "fakes/InChild.h"
#include "fakes/TempDir.h"
#include "base/Diagnostics.h"
#include "base/EscapeField.h"
#include "platform/AllowListFile.h"
#include "scan/AllowList.h"

namespace {

// sha256("abc"), the standard's own example.
const std::string ABC_SHA256 = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

struct CLines : IDiagnosticSink {
    std::vector<std::string> m_arLines;
    CLines() { SetDiagnosticSink(this); }
    ~CLines() override { SetDiagnosticSink(nullptr); }
    void WriteLine(const std::string& strLine) override { m_arLines.push_back(strLine); }
};

}  // namespace

TEST(AllowListTest, ParsesEntriesAndSkipsGarbageSayingItOnce) {
    std::string strAll;
    for (int c = 0; c < 256; ++c)
        strAll += static_cast<char>(c);
    std::string strBack;
    ASSERT_TRUE(UnescapeField(EscapeField(strAll), &strBack));
    EXPECT_EQ(strBack, strAll);

    const std::string strHash(64, 'a');
    const std::string strText = "# allowed by hand\n"
                                "\n" +
                                ABC_SHA256 + "\tEICAR-Test-File\n" +
                                std::string(64, 'B') + "\tW32\\tOdd\\\\Name\\x7f\r\n" +  // upper case, CRLF
                                "no tab here\n" +
                                strHash.substr(1) + "\tShort.Hash\n" +
                                strHash + "\tBad\\qEscape\n" +
                                strHash + "\tCut\\x4\n" +
                                strHash + "\t\n" +
                                "zz" + strHash.substr(2) + "\tNot.Hex\n" +
                                strHash + "\tLast.Line.Without.Newline";
    CLines lines;
    CAllowList list;
    EXPECT_EQ(list.Parse(strText, "/cfg/allow.list"), 6);
    ASSERT_EQ(lines.m_arLines.size(), 1u);
    EXPECT_NE(lines.m_arLines[0].find("6 such line(s)"), std::string::npos) << lines.m_arLines[0];
    EXPECT_NE(lines.m_arLines[0].find("/cfg/allow.list:5"), std::string::npos) << lines.m_arLines[0];

    EXPECT_TRUE(list.IsAllowed(ABC_SHA256, "EICAR-Test-File"));
    EXPECT_FALSE(list.IsAllowed(ABC_SHA256, "EICAR-Test-File2"));
    EXPECT_FALSE(list.IsAllowed(strHash, "EICAR-Test-File"));
    EXPECT_TRUE(list.IsAllowed(std::string(64, 'b'), "W32\tOdd\\Name\x7f"));
    EXPECT_TRUE(list.IsAllowed(strHash, "Last.Line.Without.Newline"));
    for (const char* pszBad : {"Short.Hash", "Bad\\qEscape", "Cut", "Not.Hex"})
        EXPECT_FALSE(list.HasVirus(pszBad)) << pszBad;

    // What Add writes reads back as the same entry.
    CAllowList added;
    const std::string strLine = added.Add(strHash, "Odd\nName\t\xff");
    EXPECT_EQ(strLine, strHash + "\tOdd\\nName\\t\xff\n");
    CAllowList back;
    EXPECT_EQ(back.Parse(strLine, "x"), 0);
    EXPECT_TRUE(back.IsAllowed(strHash, "Odd\nName\t\xff"));
}

namespace {

// In a child, so a list that blocks fails the test rather than holding it:
// "allowed" or "not allowed", then what Allow answered, then each line said,
// or "blocked".
std::string AskInChild(const std::string& strList, const std::string& strFile) {
    return TextInChild([&] {
        std::string strOut;
        {
            CLines lines;
            CAllowListFile allow(strList);
            strOut = allow.IsAllowed(strFile, CFileId(), "Name") ? "allowed" : "not allowed";
            // Once a scan: asked again, nothing more is said.
            allow.IsAllowed(strFile, CFileId(), "Name");
            std::string strWhy;
            strOut += allow.Allow(strFile, CFileId(), "Other", &strWhy) ? "|added" : "|" + strWhy;
            for (const std::string& strLine : lines.m_arLines)
                strOut += "|" + strLine;
        }
        return strOut;
    });
}

}  // namespace

TEST(AllowListTest, AListThatIsNoPlainFileIsSaidOnceAndLeftAlone) {
    CTempDir dir;
    const std::string strFile = dir / "file.exe";
    CTempDir::WriteFile(strFile, "abc");
    const std::string strEntry = ABC_SHA256 + "\tName\n";
    mkdir((dir / "cfg").c_str(), 0700);
    const std::string strList = dir / "cfg/allow.list";

    // A list of 10 MB is read; one beyond 16 MiB is not.
    const std::string strPadding = "# " + std::string(98, '-') + "\n";
    std::string strBig;
    while (strBig.size() < (10u << 20))
        strBig += strPadding;
    CTempDir::WriteFile(strList, strBig + strEntry);
    EXPECT_EQ(AskInChild(strList, strFile), "allowed|added");
    while (strBig.size() <= (17u << 20))
        strBig += strPadding;
    CTempDir::WriteFile(strList, strEntry + strBig);
    EXPECT_EQ(AskInChild(strList, strFile),
              "not allowed|the allow-list " + strList + " cannot be written: larger than 16 MiB|"
              "allow-list not used (larger than 16 MiB); every finding is shown: " + strList);
    EXPECT_EQ(CTempDir::ReadFile(strList), strEntry + strBig);

    // A link to a list that would allow the file: neither followed nor
    // replaced.
    unlink(strList.c_str());
    CTempDir::WriteFile(dir / "real.list", strEntry);
    ASSERT_EQ(symlink("../real.list", strList.c_str()), 0);
    EXPECT_EQ(AskInChild(strList, strFile),
              "not allowed|the allow-list " + strList + " cannot be written: a link; the list must be the file itself|"
              "allow-list not used (a link; the list must be the file itself); every finding is shown: " + strList);
    char szTarget[64] = {};
    EXPECT_EQ(readlink(strList.c_str(), szTarget, sizeof szTarget - 1), 12);
    EXPECT_EQ(CTempDir::ReadFile(dir / "real.list"), strEntry);

    unlink(strList.c_str());
    ASSERT_EQ(mkfifo(strList.c_str(), 0600), 0);
    EXPECT_EQ(AskInChild(strList, strFile),
              "not allowed|the allow-list " + strList + " cannot be written: not a regular file|"
              "allow-list not used (not a regular file); every finding is shown: " + strList);

    unlink(strList.c_str());
    ASSERT_EQ(mkdir(strList.c_str(), 0700), 0);
    EXPECT_EQ(AskInChild(strList, strFile),
              "not allowed|the allow-list " + strList + " cannot be written: a folder, not a file|"
              "allow-list not used (a folder, not a file); every finding is shown: " + strList);
    EXPECT_EQ(CTempDir::Entries(dir / "cfg"), std::vector<std::string>{"allow.list"});
}

TEST(AllowListTest, TwoProgramsAllowingAtOnceBothKeepTheirEntry) {
    CTempDir dir;
    CTempDir::WriteFile(dir / "a.exe", "abc");
    CTempDir::WriteFile(dir / "b.exe", "other");
    const std::string strList = dir / "cfg/quillet/allow.list";
    CAllowListFile first(strList);
    CAllowListFile second(strList);
    // The second comes while the first has read the list and not yet
    // written it; it must not write a list without the first's entry, nor
    // have its own overwritten.
    std::promise<void> secondAtLock;
    second.m_fnTestHook = [&](const char* pszStage) {
        if (std::string(pszStage) == "lock")
            secondAtLock.set_value();
    };
    std::future<bool> secondDone;
    first.m_fnTestHook = [&](const char* pszStage) {
        if (std::string(pszStage) != "read")
            return;
        secondDone = std::async(std::launch::async, [&] {
            std::string strWhy;
            return second.Allow(dir / "b.exe", CFileId(), "Second", &strWhy);
        });
        secondAtLock.get_future().wait();
        // Held off until the first is done; without the lock it would be
        // done by now.
        secondDone.wait_for(std::chrono::milliseconds(300));
    };
    std::string strWhy;
    ASSERT_TRUE(first.Allow(dir / "a.exe", CFileId(), "First", &strWhy)) << strWhy;
    ASSERT_TRUE(secondDone.valid());
    EXPECT_TRUE(secondDone.get());

    const std::string strText = CTempDir::ReadFile(strList);
    EXPECT_EQ(strText.substr(0, 71), ABC_SHA256 + "\tFirst\n");
    EXPECT_NE(strText.find("\tSecond\n"), std::string::npos) << strText;
    struct stat st;
    ASSERT_EQ(stat(strList.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ASSERT_EQ(stat((dir / "cfg/quillet").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_EQ(CTempDir::Entries(dir / "cfg/quillet"), std::vector<std::string>{"allow.list"});
    // Allowed again: the list stays as it is.
    first.m_fnTestHook = nullptr;
    EXPECT_TRUE(first.Allow(dir / "a.exe", CFileId(), "First", &strWhy));
    EXPECT_EQ(CTempDir::ReadFile(strList), strText);
}
