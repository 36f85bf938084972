// The session every road drives: backup numbers carried from the work folder
// through one scan to the next, and the exit status a scan ends with.

#include <gtest/gtest.h>

#include "fakes/FakeScanWorld.h"
#include "fakes/FakeWorkFolder.h"
#include "fakes/TempDir.h"
#include "scan/ScanSession.h"

namespace {

TEST(ScanSessionTest, NumbersCarryFromScanToScanAndTheStatusReadsTheScan) {
    CTempDir dir;
    CFakeDirLister lister;
    CFakeDrives drives;
    CFakeFileAccess access;
    CFakeEngine engine;
    CFakeBackupWriter backup;
    CFakeWorkFolder workFolder(dir / "work", 41);
    CScanServices services;
    services.pEngine = &engine;
    services.pLister = &lister;
    services.pDrives = &drives;
    services.pAccess = &access;
    services.pBackup = &backup;
    services.pWorkFolder = &workFolder;
    lister.AddPath("/t/a.exe");
    lister.AddPath("/u/b.exe");
    lister.AddPath("/v/clean.exe");
    engine.SetLayers("/t/a.exe", {{0, "Alpha", 1}});
    engine.SetLayers("/u/b.exe", {{0, "Beta", 1}});

    CScanSession session(services);
    ASSERT_EQ(session.WaitLoad(-1), ENGINE_LOAD_OK);
    CFakeScanView view;
    auto Scan = [&](const char* pszTarget, bool bRepair, int nSignal = 0) {
        SCANREQUEST req;
        req.arTopNames = {"Computer", "Network", "Home"};
        req.arTargets = {pszTarget};
        req.bAutoRepair = bRepair;
        CResultRows rows;
        std::unique_ptr<CScanRun> pRun = session.NewScan(req, view, rows);
        if (nSignal)
            pRun->Stop();
        pRun->Run();
        return pRun->GetExitStatus(false, nSignal);
    };
    // Reporting only: nothing is prepared, nothing numbered; a finding is 1.
    EXPECT_EQ(Scan("/t", false), 1);
    EXPECT_EQ(workFolder.m_nPrepared, 0);
    // The first repair numbers on from the folder's highest, the next scan
    // on from the first, and the folder is prepared once.
    EXPECT_EQ(Scan("/t", true), 1);
    EXPECT_EQ(Scan("/u", true), 1);
    EXPECT_EQ(workFolder.m_nPrepared, 1);
    EXPECT_EQ(backup.m_arCalls, (std::vector<CFakeBackupWriter::SCall>{{42, "/t", "a.exe"}, {43, "/u", "b.exe"}}));
    EXPECT_EQ(session.GetLastBackupNo(), 43u);
    EXPECT_EQ(Scan("/v", false), 0);
    EXPECT_EQ(Scan("/v", false, 15), 128 + 15);
}

}  // namespace
