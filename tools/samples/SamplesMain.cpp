// quillet-samples DIR: writes the demo tree of harmless infected files.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/samples/SampleWriter.h"

namespace {

void PrintUsage(FILE* pOut)
{
    std::fputs("Usage: quillet-samples DIR\n"
               "Writes harmless sample files that the Farsend reference engine reports\n"
               "as infected, one for every result a scan can show, into DIR.\n"
               "DIR is created if missing; symbolic links in the way are refused.\n"
               "  -h, --help   print this help and exit\n",
               pOut);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        PrintUsage(stdout);
        return 0;
    }
    // An unknown option is a mistake, not a folder to write into; a folder
    // whose name starts with '-' can be given as ./-name.
    if (argc != 2 || argv[1][0] == '\0' || (argv[1][0] == '-' && argv[1][1] != '\0')) {
        PrintUsage(stderr);
        return 2;
    }
    std::string strError;
    if (!quillet::samples::WriteSamplesTree(argv[1], &strError)) {
        std::fprintf(stderr, "quillet-samples: %s\n", strError.c_str());
        return 1;
    }
    std::printf("Sample files written to %s\n", argv[1]);
    return 0;
}
