// Talks to a clamd daemon: the daemon's NUL-terminated ("z") commands, the
// open file handed over rather than its path, so the daemon needs no access
// to the user's files. Scans share one session (IDSESSION) while it lasts:
// a connection per file costs the daemon as much as a small file's scan.
// Several requests may be in flight on the session at once: the daemon
// answers each by its number, in the order its scans end.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <sys/socket.h>

namespace farsend {

// How one exchange with the daemon ended.
enum class EClamd {
    Clean,
    Found,
    Unreachable,  // nothing accepted the connection
    Lost,         // the connection broke or closed before a whole reply
    DaemonError,  // the daemon answered "... ERROR"
    Garbage,      // an answer that is none of the above
    Unreadable,   // our side could not read the file to send it
};

class CClamdClient {
public:
    CClamdClient() = default;
    CClamdClient(const CClamdClient&) = delete;
    CClamdClient& operator=(const CClamdClient&) = delete;
    ~CClamdClient();

    // False, with pstrWhy set, when strAddress is not unix:PATH or
    // tcp:HOST:PORT.
    bool SetAddress(const std::string& strAddress, std::string* pstrWhy);
    const std::string& Address() const { return m_strAddress; }
    // Files reach the daemon as descriptors, not streamed.
    bool IsLocal() const { return m_bLocal; }

    // The daemon's version line ("ClamAV 1.4.6/27453/Tue Dec  9 ...").
    // Waits at most nTimeoutMs for the connection and for the answer.
    EClamd Version(int nTimeoutMs, std::string* pstrLine, std::string* pstrWhy);
    // PING: Clean when the daemon answers PONG within nTimeoutMs, Garbage
    // when something else answers.
    EClamd Ping(int nTimeoutMs, std::string* pstrWhy);
    // Why the last connection failed (errno); 0 when it was made.
    int ConnectErrno() const { return m_nConnectErrno; }
    // Scans the open regular file nFd: FILDES over a local socket, INSTREAM
    // over TCP. Waits for the answer as long as the daemon takes, but once
    // the daemon was found gone, a new session is opened only after it
    // answers its version within a second.
    EClamd Scan(int nFd, std::string* pstrName, std::string* pstrWhy);
    // Scan in two halves: Submit sends the request and returns Clean with
    // *pnTicket set (the descriptor may be closed then), else why nothing
    // was sent; Collect waits for that request's answer, Scan's result.
    // Requests submitted before are answered meanwhile and kept.
    EClamd Submit(int nFd, uint64_t* pnTicket, std::string* pstrWhy);
    EClamd Collect(uint64_t nTicket, std::string* pstrName, std::string* pstrWhy);
    // The answer to nTicket will not be collected.
    void Forget(uint64_t nTicket);
    // Says goodbye to the daemon; the next scan opens a new session.
    void EndSession();
    // In a forked copy: the session's connection is the parent's, and so
    // are its requests.
    void ForgetSession();

private:
    struct SAnswer {
        EClamd m_eResult = EClamd::Lost;
        std::string m_strName;
        std::string m_strWhy;
    };
    struct SInFlight {
        uint64_t m_nTicket = 0;
        EClamd m_eSent = EClamd::Clean;  // Lost: the request went only part way
        std::string m_strSendWhy;
    };
    EClamd Ask(const char* pszCommand, std::size_t nCommand, int nTimeoutMs, std::string* pstrLine,
               std::string* pstrWhy);
    EClamd SubmitInSession(int nFd, uint64_t* pnTicket, std::string* pstrWhy);
    // Reads what the session holds (waiting for it when bWait) and files
    // each whole answer under its request. False when the session ended.
    bool Pump(bool bWait);
    bool FileAnswer(const std::string& strReply);
    // Every request in flight gets eResult as its answer.
    void FailInFlight(EClamd eResult, const std::string& strWhy);
    // Reads the answers still due, then ends the session.
    void Drain();
    void CloseSession();
    int Connect(int nTimeoutMs, std::string* pstrWhy);
    EClamd SendFildes(int nSocket, int nFd, std::string* pstrWhy);
    EClamd SendStream(int nSocket, int nFd, std::string* pstrWhy);

    std::string m_strAddress;
    std::string m_strPath;  // local socket
    std::string m_strHost;  // TCP
    std::string m_strPort;
    bool m_bLocal = false;
    // The TCP address that answered last.
    sockaddr_storage m_resolved = {};
    socklen_t m_nResolvedLength = 0;
    int m_nSession = -1;  // the session's connection
    // The daemon was found gone (refused, or a session broke without a
    // word): a new session waits for it to answer at once.
    bool m_bGone = false;
    unsigned m_nNextId = 1;
    int m_nConnectErrno = 0;
    // The session's requests not yet answered, by their number in it.
    std::map<unsigned, SInFlight> m_mapInFlight;
    // Answers read and not yet collected, by ticket.
    std::map<uint64_t, SAnswer> m_mapAnswers;
    uint64_t m_nNextTicket = 1;
    std::set<uint64_t> m_setForgotten;
    std::string m_strInput;  // read after the last whole answer
    // After an error the daemon may end the session: no more requests go
    // on it, and it ends once its answers are in.
    bool m_bNoMore = false;
};

// Reads a whole scan answer, its terminating NUL removed:
// "stream: OK", "fd[7]: NAME FOUND", "...: reason ERROR".
EClamd ParseScanReply(const std::string& strReply, std::string* pstrName);

// Splits "ClamAV 1.4.6/27453/date" into "1.4.6" and 27453 (0 when the
// daemon has no signed database). False for anything else.
bool ParseVersionLine(const std::string& strLine, std::string* pstrEngine, unsigned long* pnDatabase);

} // namespace farsend
