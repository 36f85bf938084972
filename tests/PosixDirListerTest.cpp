// Listing real folders: kinds, byte order, awkward names, links.

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include "fakes/TempDir.h"
#include "platform/PosixDirLister.h"
#include "platform/PosixFileAccess.h"

namespace {

std::vector<std::pair<std::string, EEntryKind>> Entries(const CDirListing& listing) {
    std::vector<std::pair<std::string, EEntryKind>> ar;
    for (size_t i = 0; i < listing.GetCount(); ++i)
        ar.push_back({std::string(listing.GetName(i)), listing.GetKind(i)});
    return ar;
}

TEST(PosixDirListerTest, ListsKindsInByteOrder) {
    CTempDir dir;
    ASSERT_FALSE(dir.Path().empty());
    CTempDir::WriteFile(dir / "b.exe", "x");
    CTempDir::WriteFile(dir / "B.exe", "x");
    CTempDir::WriteFile(dir / "line\nbreak", "x");
    CTempDir::WriteFile(dir / "bad\xff\xfename", "x");
    CTempDir::WriteFile(dir / ".hidden", "x");
    mkdir((dir / "sub").c_str(), 0755);
    symlink("sub", (dir / "tosub").c_str());
    symlink("loop", (dir / "loop").c_str());
    mkfifo((dir / "fifo").c_str(), 0644);
    int nSock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string strSock = dir / "sock";
    ASSERT_LT(strSock.size(), sizeof addr.sun_path);
    memcpy(addr.sun_path, strSock.c_str(), strSock.size());
    ASSERT_EQ(bind(nSock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

    CPosixDirLister lister;
    CDirListing listing;
    ASSERT_TRUE(lister.ListFolder(dir.Path(), false, listing));
    std::vector<std::pair<std::string, EEntryKind>> arExpected = {
        {".hidden", ENTRY_FILE}, {"B.exe", ENTRY_FILE},         {"b.exe", ENTRY_FILE},
        {"bad\xff\xfename", ENTRY_FILE}, {"fifo", ENTRY_SPECIAL}, {"line\nbreak", ENTRY_FILE},
        {"loop", ENTRY_LINK},    {"sock", ENTRY_SPECIAL},       {"sub", ENTRY_FOLDER},
        {"tosub", ENTRY_LINK}};
    EXPECT_EQ(Entries(listing), arExpected);
    close(nSock);

    // A folder reached as a link is listed only when the caller allows it.
    EXPECT_FALSE(lister.ListFolder(dir / "tosub", false, listing));
    EXPECT_EQ(listing.GetCount(), 0u);
    EXPECT_TRUE(lister.ListFolder(dir / "tosub", true, listing));
    EXPECT_FALSE(lister.ListFolder(dir / "missing", true, listing));
    EXPECT_FALSE(lister.ListFolder(dir / "fifo", true, listing));
}

TEST(PosixDirListerTest, RootIsTheEmptyFolder) {
    CPosixDirLister lister;
    CDirListing listing;
    ASSERT_TRUE(lister.ListFolder("", true, listing));
    bool bEtc = false;
    for (size_t i = 0; i < listing.GetCount(); ++i)
        bEtc = bEtc || (listing.GetName(i) == "etc" && listing.GetKind(i) == ENTRY_FOLDER);
    EXPECT_TRUE(bEtc);
}

TEST(PosixFileAccessTest, ModeIsChangedWithoutFollowingLinks) {
    CTempDir dir;
    std::string strFile = dir / "f";
    CTempDir::WriteFile(strFile, "x", 0444);
    symlink("f", (dir / "link").c_str());
    CPosixFileAccess access;
    uint32_t nMode = 0;
    ASSERT_TRUE(access.GetMode(strFile, &nMode));
    EXPECT_EQ(nMode, 0444u);
    ASSERT_TRUE(access.SetMode(strFile, 04640));
    struct stat st;
    stat(strFile.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 04640u);
    EXPECT_FALSE(access.GetMode(dir / "link", &nMode));
    EXPECT_FALSE(access.SetMode(dir / "link", 0777));
    stat(strFile.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 04640u);
    EXPECT_TRUE(access.Access(strFile, false));
    EXPECT_FALSE(access.Access(dir / "missing", false));
}

}  // namespace
