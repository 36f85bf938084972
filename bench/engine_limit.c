/* The floor for any front end of libclamav: one compiled engine shared by
 * THREADS threads, each scanning files from one list with cl_scandesc on a
 * descriptor of its own, with the options, limits and temporary folder
 * Quillet's ClamAV engine uses, and nothing else (no walk, no filter, no
 * helper process, no rows).
 *
 * Usage: engine_limit DBDIR THREADS [LIST]
 * LIST (standard input without it) holds the paths to scan, each ended by
 * a NUL, as find -print0 writes them.
 * Prints one line:
 *   files N found N errors N load SECONDS scan SECONDS
 * "load" runs from cl_init to a compiled engine, "scan" from the first
 * file to the last answer. Exit status 0 clean, 1 findings, 2 failure. */
#define _GNU_SOURCE
#include <clamav.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static struct cl_engine *s_pEngine;
static char **s_arPaths;
static size_t s_nPaths;
static atomic_size_t s_nNext;
static atomic_size_t s_nFound;
static atomic_size_t s_nScanned;
static atomic_size_t s_nErrors;

static double Now(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

/* Left alone libclamav writes its warnings to the terminal; Quillet's engine
 * keeps them from it too. */
static void OnMessage(enum cl_msg eSeverity, const char *pszFull, const char *pszMessage, void *pContext)
{
    (void)eSeverity, (void)pszFull, (void)pszMessage, (void)pContext;
}

static void *Worker(void *pUnused)
{
    (void)pUnused;
    struct cl_scan_options options;
    memset(&options, 0, sizeof options);
    /* clamscan's defaults, plus the alerts for limits and encryption that
     * Quillet's engine turns on to tell a partial scan from a clean one. */
    options.general = CL_SCAN_GENERAL_HEURISTICS;
    options.parse = CL_SCAN_PARSE_ARCHIVE | CL_SCAN_PARSE_ELF | CL_SCAN_PARSE_PDF | CL_SCAN_PARSE_SWF |
                    CL_SCAN_PARSE_HWP3 | CL_SCAN_PARSE_XMLDOCS | CL_SCAN_PARSE_MAIL | CL_SCAN_PARSE_OLE2 |
                    CL_SCAN_PARSE_HTML | CL_SCAN_PARSE_PE | CL_SCAN_PARSE_ONENOTE | CL_SCAN_PARSE_IMAGE |
                    CL_SCAN_PARSE_IMAGE_FUZZY_HASH;
    options.heuristic = CL_SCAN_HEURISTIC_EXCEEDS_MAX | CL_SCAN_HEURISTIC_ENCRYPTED_ARCHIVE |
                        CL_SCAN_HEURISTIC_ENCRYPTED_DOC;
    for (;;) {
        const size_t i = atomic_fetch_add(&s_nNext, 1);
        if (i >= s_nPaths)
            return NULL;
        const int nFd = open(s_arPaths[i], O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (nFd < 0) {
            atomic_fetch_add(&s_nErrors, 1);
            continue;
        }
        struct stat st;
        /* Empty files and non-files are passed over, as Quillet does. */
        if (fstat(nFd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) {
            close(nFd);
            continue;
        }
        const char *pszVirus = NULL;
        unsigned long nScanned = 0;
        const cl_error_t eResult = cl_scandesc(nFd, s_arPaths[i], &pszVirus, &nScanned, s_pEngine, &options);
        close(nFd);
        atomic_fetch_add(&s_nScanned, 1);
        if (eResult == CL_VIRUS)
            atomic_fetch_add(&s_nFound, 1);
        else if (eResult != CL_CLEAN && eResult != CL_VERIFIED && eResult != CL_ETIMEOUT &&
                 eResult != CL_EMAXREC && eResult != CL_EMAXSIZE && eResult != CL_EMAXFILES &&
                 eResult != CL_EFORMAT && eResult != CL_EPARSE)
            atomic_fetch_add(&s_nErrors, 1);
    }
}

/* The whole of the list, cut at its NULs. */
static int ReadList(int nFd)
{
    size_t nSize = 0, nCap = 1 << 20;
    char *pData = malloc(nCap);
    if (!pData)
        return 0;
    for (;;) {
        if (nSize == nCap) {
            nCap *= 2;
            char *pMore = realloc(pData, nCap);
            if (!pMore)
                return 0;
            pData = pMore;
        }
        const ssize_t n = read(nFd, pData + nSize, nCap - nSize);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return 0;
        if (n == 0)
            break;
        nSize += (size_t)n;
    }
    size_t nCount = 0;
    for (size_t i = 0; i < nSize; ++i)
        nCount += pData[i] == '\0';
    s_arPaths = malloc((nCount + 1) * sizeof *s_arPaths);
    if (!s_arPaths)
        return 0;
    for (size_t i = 0, nStart = 0; i < nSize; ++i)
        if (pData[i] == '\0') {
            s_arPaths[s_nPaths++] = pData + nStart;
            nStart = i + 1;
        }
    return 1;
}

int main(int argc, char **argv)
{
    if (argc < 3 || argc > 4 || atoi(argv[2]) < 1) {
        fprintf(stderr, "usage: engine_limit DBDIR THREADS [LIST of files, NUL-separated]\n");
        return 2;
    }
    const int nThreads = atoi(argv[2]);
    const int nList = argc == 4 ? open(argv[3], O_RDONLY | O_CLOEXEC) : 0;
    if (nList < 0 || !ReadList(nList)) {
        fprintf(stderr, "engine_limit: cannot read the list: %s\n", strerror(errno));
        return 2;
    }

    const double tLoad = Now();
    cl_set_clcb_msg(OnMessage);
    cl_error_t eResult = cl_init(CL_INIT_DEFAULT);
    if (eResult == CL_SUCCESS && !(s_pEngine = cl_engine_new()))
        eResult = CL_EMEM;
    if (eResult != CL_SUCCESS) {
        fprintf(stderr, "engine_limit: libclamav: %s\n", cl_strerror(eResult));
        return 2;
    }
    /* Where Quillet's engine puts libclamav's per-file folders. */
    const char *pszRuntime = getenv("XDG_RUNTIME_DIR");
    struct stat st;
    if (pszRuntime && *pszRuntime && stat(pszRuntime, &st) == 0 && S_ISDIR(st.st_mode) &&
        access(pszRuntime, W_OK | X_OK) == 0)
        cl_engine_set_str(s_pEngine, CL_ENGINE_TMPDIR, pszRuntime);
    unsigned int nSignatures = 0;
    eResult = cl_load(argv[1], s_pEngine, &nSignatures, CL_DB_STDOPT);
    if (eResult == CL_SUCCESS)
        eResult = cl_engine_compile(s_pEngine);
    if (eResult != CL_SUCCESS) {
        fprintf(stderr, "engine_limit: %s: %s\n", argv[1], cl_strerror(eResult));
        return 2;
    }

    const double tScan = Now();
    pthread_t *arThreads = calloc((size_t)nThreads, sizeof *arThreads);
    if (!arThreads)
        return 2;
    for (int i = 0; i < nThreads; ++i)
        if (pthread_create(&arThreads[i], NULL, Worker, NULL) != 0) {
            fprintf(stderr, "engine_limit: cannot start thread %d\n", i + 1);
            return 2;
        }
    for (int i = 0; i < nThreads; ++i)
        pthread_join(arThreads[i], NULL);
    const double tEnd = Now();

    printf("files %zu found %zu errors %zu load %.3f scan %.3f\n", (size_t)s_nScanned, (size_t)s_nFound,
           (size_t)s_nErrors, tScan - tLoad, tEnd - tScan);
    /* The engine is not freed: the process ends, and a front end that
     * frees its engine pays for that above this floor. */
    return s_nErrors ? 2 : s_nFound ? 1 : 0;
}
