// quillet-scan speaks the locale's language through the C library's gettext
// and the build's catalogs: a German locale, made for the test, reads the
// states in German.

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <string>

#include "fakes/RunProgram.h"
#include "fakes/TempDir.h"
#include "fakes/TestPaths.h"
#include "tools/samples/SampleWriter.h"

TEST(CommandLineLanguageTest, QuilletScanReadsTheStatesInTheLocalesLanguage) {
    CTempDir dir;
    // The locale itself, compiled where only this test looks (LOCPATH).
    const std::string strLocales = dir / "locales";
    const std::string strCommand = "localedef -i de_DE -f UTF-8 " + strLocales + "/de_DE.UTF-8 >/dev/null 2>&1";
    if (mkdir(strLocales.c_str(), 0700) != 0 || system(strCommand.c_str()) != 0)
        GTEST_SKIP() << "localedef cannot make de_DE.UTF-8 (the locales package's sources are missing)";
    std::string strError;
    ASSERT_TRUE(quillet::samples::WriteSamplesTree(dir / "tree", &strError)) << strError;
    const SRun run = RunProgram(BinDir() + "/quillet-scan", {dir / "tree"}, dir, std::string(),
                                {"LOCPATH=" + strLocales, "LC_ALL=de_DE.UTF-8", "LANGUAGE="});
    EXPECT_EQ(run.nExit, 1) << run.strErr;
    EXPECT_NE(run.strOut.find("\tEICAR-Test-File\tNicht reparierbar\n"), std::string::npos) << run.strOut;
}
