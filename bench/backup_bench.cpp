// Backing up and restoring one large file, against cp of the same file in
// the same run; peak memory before and after, to show it does not grow with
// the file. Usage: backup_bench DIR [MiB]

#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>

#include "platform/BackupStore.h"

namespace {

double Now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

long PeakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double TimeCommand(const std::string& strCommand) {
    double t = Now();
    if (system(strCommand.c_str()) != 0)
        fprintf(stderr, "failed: %s\n", strCommand.c_str());
    return Now() - t;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: backup_bench DIR [MiB]\n");
        return 64;
    }
    const std::string strDir = argv[1];
    const long nMiB = argc > 2 ? atol(argv[2]) : 256;
    const std::string strSource = strDir + "/src", strWork = strDir + "/Palisar";
    mkdir(strSource.c_str(), 0755);
    mkdir(strWork.c_str(), 0700);
    const std::string strFile = strSource + "/big.bin";
    TimeCommand("head -c " + std::to_string(nMiB) + "M /dev/urandom > '" + strFile + "'");
    TimeCommand("cat '" + strFile + "' > /dev/null");  // warm the cache
    long nPeakBefore = PeakKiB();

    CBackupStore store(strWork);
    // A backup writes a new file, like cp to a new name; a restore replaces
    // the file in place, like cp over an existing one (which costs more on
    // file systems that flush a replaced file's data at once).
    double tCp = 1e9, tCpOver = 1e9, tBackup = 1e9, tRestore = 1e9;
    for (int nRun = 0; nRun < 3; ++nRun) {
        tCp = std::min(tCp, TimeCommand("cp '" + strFile + "' '" + strDir + "/copy.bin'"));
        tCpOver = std::min(tCpOver, TimeCommand("cp '" + strFile + "' '" + strDir + "/copy.bin'"));
        unlink((strDir + "/copy.bin").c_str());
        double t = Now();
        uint32_t nNumber = 0;
        if (!store.WriteBackup(&nNumber, strSource, "big.bin", nullptr))
            fprintf(stderr, "backup failed\n");
        tBackup = std::min(tBackup, Now() - t);
        t = Now();
        if (store.Restore("00000001.Vin") != RESTORE_OK)
            fprintf(stderr, "restore failed\n");
        tRestore = std::min(tRestore, Now() - t);
    }
    long nPeakAfter = PeakKiB();
    printf("file: %ld MiB\n", nMiB);
    printf("cp to a new file:        %7.3f s\n", tCp);
    printf("cp over an existing one: %7.3f s\n", tCpOver);
    printf("backup:  %7.3f s   ratio to cp to a new file %4.2fx (goal <= 1.5x)\n", tBackup, tBackup / tCp);
    printf("restore: %7.3f s   ratio to cp over an existing file %4.2fx, to cp to a new file %4.2fx (goal <= 1.5x)\n",
           tRestore, tRestore / tCpOver, tRestore / tCp);
    printf("peak RSS: %ld KiB before, %ld KiB after (grows by %ld KiB for a %ld MiB file)\n", nPeakBefore,
           nPeakAfter, nPeakAfter - nPeakBefore, nMiB);
    unlink(strFile.c_str());
    return 0;
}
