#include "farsend/clamav/ClamdClient.h"

#include "engine/PassDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace farsend {

namespace {

// Connecting never waits longer than this, so an address where packets
// vanish fails with a reason instead of waiting out the kernel's minutes.
constexpr int kConnectTimeoutMs = 10000;
// A daemon found gone must answer its version within this before it is
// given a file: a socket something still holds (a service manager, a daemon
// on its way out) would otherwise keep every file until the watchdog.
constexpr int kRecheckTimeoutMs = 1000;
// A daemon answers in a few dozen bytes; more is not a daemon.
constexpr std::size_t kReplyMax = 4096;
// clamd's default StreamMaxLength is 25 MB; chunks well below it.
constexpr std::size_t kChunk = 256 * 1024;

void CloseQuietly(int nFd)
{
    if (nFd >= 0)
        ::close(nFd);
}

std::string ErrnoText(const char* pszWhat, int nErrno)
{
    return std::string(pszWhat) + ": " + std::strerror(nErrno);
}

bool SendAll(int nSocket, const void* p, std::size_t nCount)
{
    const char* pc = static_cast<const char*>(p);
    while (nCount > 0) {
        const ssize_t nSent = ::send(nSocket, pc, nCount, MSG_NOSIGNAL);
        if (nSent < 0 && errno == EINTR)
            continue;
        if (nSent <= 0)
            return false;
        pc += nSent;
        nCount -= static_cast<std::size_t>(nSent);
    }
    return true;
}

// One NUL-terminated answer, the NUL removed. Lost when the connection
// ends first or the wait runs out; Garbage when it never ends.
EClamd ReadReply(int nSocket, std::string* pstrReply, std::string* pstrWhy)
{
    pstrReply->clear();
    char arBuf[512];
    for (;;) {
        const ssize_t nGot = ::recv(nSocket, arBuf, sizeof arBuf, 0);
        if (nGot < 0 && errno == EINTR)
            continue;
        if (nGot < 0) {
            const bool bTimeout = errno == EAGAIN || errno == EWOULDBLOCK;
            *pstrWhy = bTimeout ? "no answer in time" : ErrnoText("reading the answer", errno);
            return EClamd::Lost;
        }
        if (nGot == 0) {
            *pstrWhy = pstrReply->empty() ? "the connection closed without an answer"
                                          : "the connection closed in the middle of the answer";
            return EClamd::Lost;
        }
        const char* pEnd = static_cast<const char*>(std::memchr(arBuf, '\0', static_cast<std::size_t>(nGot)));
        pstrReply->append(arBuf, pEnd ? static_cast<std::size_t>(pEnd - arBuf) : static_cast<std::size_t>(nGot));
        if (pstrReply->size() > kReplyMax) {
            *pstrWhy = "an answer too long to be one";
            return EClamd::Garbage;
        }
        if (pEnd)
            return EClamd::Clean;
    }
}

bool IsStreamOrFdTag(const std::string& strTag)
{
    if (strTag == "stream")
        return true;
    // "fd[12]"
    if (strTag.size() < 5 || strTag.compare(0, 3, "fd[") != 0 || strTag.back() != ']')
        return false;
    for (std::size_t i = 3; i + 1 < strTag.size(); ++i)
        if (strTag[i] < '0' || strTag[i] > '9')
            return false;
    return true;
}

bool EndsWith(const std::string& str, const char* pszEnd)
{
    const std::size_t n = std::strlen(pszEnd);
    return str.size() >= n && str.compare(str.size() - n, n, pszEnd) == 0;
}

bool IsPrintable(const std::string& str)
{
    for (unsigned char c : str)
        if (c < 0x20 || c == 0x7F)
            return false;
    return true;
}

} // namespace

EClamd ParseScanReply(const std::string& strReply, std::string* pstrName)
{
    if (!IsPrintable(strReply))
        return EClamd::Garbage;
    // "fd[7]: Can't open file ERROR", "INSTREAM size limit exceeded. ERROR"
    if (EndsWith(strReply, " ERROR"))
        return EClamd::DaemonError;
    const std::size_t nColon = strReply.find(": ");
    if (nColon == std::string::npos || !IsStreamOrFdTag(strReply.substr(0, nColon)))
        return EClamd::Garbage;
    const std::string strRest = strReply.substr(nColon + 2);
    if (strRest == "OK")
        return EClamd::Clean;
    constexpr std::size_t nFound = sizeof(" FOUND") - 1;
    if (strRest.size() > nFound && EndsWith(strRest, " FOUND") && strRest[0] != ' ') {
        *pstrName = strRest.substr(0, strRest.size() - nFound);
        return EClamd::Found;
    }
    return EClamd::Garbage;
}

bool ParseVersionLine(const std::string& strLine, std::string* pstrEngine, unsigned long* pnDatabase)
{
    static const char kPrefix[] = "ClamAV ";
    if (strLine.compare(0, sizeof kPrefix - 1, kPrefix) != 0 || !IsPrintable(strLine))
        return false;
    const std::string strRest = strLine.substr(sizeof kPrefix - 1);
    const std::size_t nSlash = strRest.find('/');
    *pstrEngine = strRest.substr(0, nSlash);
    if (pstrEngine->empty() || (*pstrEngine)[0] < '0' || (*pstrEngine)[0] > '9')
        return false;
    *pnDatabase = 0;
    if (nSlash == std::string::npos)
        return true;
    std::size_t i = nSlash + 1;
    if (i >= strRest.size() || strRest[i] < '0' || strRest[i] > '9')
        return false;
    for (; i < strRest.size() && strRest[i] >= '0' && strRest[i] <= '9'; ++i)
        *pnDatabase = *pnDatabase * 10 + static_cast<unsigned long>(strRest[i] - '0');
    return i == strRest.size() || strRest[i] == '/';
}

bool CClamdClient::SetAddress(const std::string& strAddress, std::string* pstrWhy)
{
    EndSession();
    m_bGone = false;
    m_strAddress = strAddress;
    m_nResolvedLength = 0;
    m_strPath.clear();
    m_strHost.clear();
    m_strPort.clear();
    const std::string strMalformed = "the clamd address \"" + strAddress + "\" is not unix:PATH or tcp:HOST:PORT";
    if (strAddress.compare(0, 5, "unix:") == 0) {
        m_bLocal = true;
        m_strPath = strAddress.substr(5);
        if (m_strPath.empty() || m_strPath.size() >= sizeof(sockaddr_un{}.sun_path) ||
            m_strPath.find('\0') != std::string::npos) {
            *pstrWhy = strMalformed;
            return false;
        }
        return true;
    }
    if (strAddress.compare(0, 4, "tcp:") == 0) {
        m_bLocal = false;
        const std::string strHostPort = strAddress.substr(4);
        const std::size_t nColon = strHostPort.rfind(':');
        if (nColon == std::string::npos) {
            *pstrWhy = strMalformed;
            return false;
        }
        m_strHost = strHostPort.substr(0, nColon);
        m_strPort = strHostPort.substr(nColon + 1);
        // "[::1]" names an IPv6 host the way URLs do.
        if (m_strHost.size() >= 2 && m_strHost.front() == '[' && m_strHost.back() == ']')
            m_strHost = m_strHost.substr(1, m_strHost.size() - 2);
        unsigned long nPort = 0;
        bool bDigits = !m_strPort.empty() && m_strPort.size() <= 5;
        for (char c : m_strPort) {
            bDigits = bDigits && c >= '0' && c <= '9';
            nPort = nPort * 10 + static_cast<unsigned long>(c - '0');
        }
        if (m_strHost.empty() || !bDigits || nPort == 0 || nPort > 65535) {
            *pstrWhy = strMalformed;
            return false;
        }
        return true;
    }
    *pstrWhy = strMalformed;
    return false;
}

int CClamdClient::Connect(int nTimeoutMs, std::string* pstrWhy)
{
    m_nConnectErrno = 0;
    if (nTimeoutMs <= 0 || nTimeoutMs > kConnectTimeoutMs)
        nTimeoutMs = kConnectTimeoutMs;
    // Each candidate address: a non-blocking connect, waited on with poll.
    auto Try = [&](int nFamily, const sockaddr* pAddr, socklen_t nLen) {
        const int nSocket = ::socket(nFamily, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (nSocket < 0) {
            *pstrWhy = ErrnoText("socket", errno);
            return -1;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
        int nError = ::connect(nSocket, pAddr, nLen) == 0 ? 0 : errno;
        // A local socket with a full backlog says EAGAIN at once: try again.
        while (nError == EAGAIN && nFamily == AF_UNIX && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            nError = ::connect(nSocket, pAddr, nLen) == 0 ? 0 : errno;
        }
        if (nError == EAGAIN)
            nError = ETIMEDOUT;
        if (nError == EINPROGRESS) {
            pollfd pfd = {nSocket, POLLOUT, 0};
            int nReady;
            while ((nReady = ::poll(&pfd, 1, nTimeoutMs)) < 0 && errno == EINTR) {
            }
            socklen_t nErrLen = sizeof nError;
            if (nReady == 0)
                nError = ETIMEDOUT;
            else if (nReady < 0 || ::getsockopt(nSocket, SOL_SOCKET, SO_ERROR, &nError, &nErrLen) != 0)
                nError = errno;
        }
        m_nConnectErrno = nError;
        if (nError != 0) {
            *pstrWhy = std::strerror(nError);
            CloseQuietly(nSocket);
            return -1;
        }
        const int nFlags = ::fcntl(nSocket, F_GETFL);
        ::fcntl(nSocket, F_SETFL, nFlags & ~O_NONBLOCK);
        // A stream's last small piece must not wait for the daemon to
        // acknowledge the one before (tens of milliseconds a file).
        if (nFamily != AF_UNIX) {
            const int nOne = 1;
            ::setsockopt(nSocket, IPPROTO_TCP, TCP_NODELAY, &nOne, sizeof nOne);
        }
        return nSocket;
    };
    if (m_bLocal) {
        sockaddr_un addr = {};
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path, m_strPath.data(), m_strPath.size());
        return Try(AF_UNIX, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    }
    // Resolved once: a name lookup per file would cost more than the scan.
    if (m_nResolvedLength > 0) {
        const int nSocket =
            Try(m_resolved.ss_family, reinterpret_cast<const sockaddr*>(&m_resolved), m_nResolvedLength);
        if (nSocket >= 0)
            return nSocket;
        m_nResolvedLength = 0;
    }
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* pList = nullptr;
    const int nGai = ::getaddrinfo(m_strHost.c_str(), m_strPort.c_str(), &hints, &pList);
    if (nGai != 0) {
        *pstrWhy = ::gai_strerror(nGai);
        return -1;
    }
    int nSocket = -1;
    for (addrinfo* p = pList; p && nSocket < 0; p = p->ai_next) {
        nSocket = Try(p->ai_family, p->ai_addr, p->ai_addrlen);
        if (nSocket >= 0 && p->ai_addrlen <= sizeof m_resolved) {
            std::memcpy(&m_resolved, p->ai_addr, p->ai_addrlen);
            m_nResolvedLength = p->ai_addrlen;
        }
    }
    ::freeaddrinfo(pList);
    return nSocket;
}

EClamd CClamdClient::Version(int nTimeoutMs, std::string* pstrLine, std::string* pstrWhy)
{
    static const char kCommand[] = "zVERSION";  // with its NUL
    return Ask(kCommand, sizeof kCommand, nTimeoutMs, pstrLine, pstrWhy);
}

EClamd CClamdClient::Ping(int nTimeoutMs, std::string* pstrWhy)
{
    static const char kCommand[] = "zPING";
    std::string strLine;
    const EClamd eResult = Ask(kCommand, sizeof kCommand, nTimeoutMs, &strLine, pstrWhy);
    if (eResult != EClamd::Clean || strLine == "PONG")
        return eResult;
    *pstrWhy = "it said \"" + strLine.substr(0, 120) + "\"";
    return EClamd::Garbage;
}

EClamd CClamdClient::Ask(const char* pszCommand, std::size_t nCommand, int nTimeoutMs, std::string* pstrLine,
                         std::string* pstrWhy)
{
    const int nSocket = Connect(nTimeoutMs, pstrWhy);
    if (nSocket < 0)
        return EClamd::Unreachable;
    const timeval wait = {nTimeoutMs / 1000, (nTimeoutMs % 1000) * 1000};
    ::setsockopt(nSocket, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    ::setsockopt(nSocket, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    EClamd eResult = EClamd::Lost;
    if (!SendAll(nSocket, pszCommand, nCommand))
        *pstrWhy = ErrnoText("sending", errno);
    else
        eResult = ReadReply(nSocket, pstrLine, pstrWhy);
    CloseQuietly(nSocket);
    return eResult;
}

EClamd CClamdClient::SendFildes(int nSocket, int nFd, std::string* pstrWhy)
{
    // The command and the dummy byte the descriptor rides on go in one
    // packet, as the daemon allows: one wake-up of it per file, not two.
    static const char kPacket[] = "zFILDES\0";  // the command's NUL, then the dummy
    const ssize_t nSent = SendWithDescriptor(nSocket, kPacket, sizeof kPacket, nFd);
    if (nSent <= 0 || (static_cast<std::size_t>(nSent) < sizeof kPacket &&
                       !SendAll(nSocket, kPacket + nSent, sizeof kPacket - static_cast<std::size_t>(nSent)))) {
        *pstrWhy = ErrnoText("passing the file", errno);
        return EClamd::Lost;
    }
    return EClamd::Clean;
}

EClamd CClamdClient::SendStream(int nSocket, int nFd, std::string* pstrWhy)
{
    static const char kCommand[] = "zINSTREAM";
    if (!SendAll(nSocket, kCommand, sizeof kCommand)) {
        *pstrWhy = ErrnoText("sending", errno);
        return EClamd::Lost;
    }
    // The size when the scan began: a file that keeps growing must not
    // stream on until the daemon's limit.
    struct stat st;
    if (::fstat(nFd, &st) != 0) {
        *pstrWhy = ErrnoText("reading the file", errno);
        return EClamd::Unreadable;
    }
    std::unique_ptr<char[]> pBuf(new char[4 + kChunk]);
    off_t nAt = 0;
    for (;;) {
        const std::size_t nWant =
            nAt < st.st_size ? static_cast<std::size_t>(std::min<off_t>(st.st_size - nAt, kChunk)) : 0;
        ssize_t nGot = 0;
        while (nWant > 0 && (nGot = ::pread(nFd, pBuf.get() + 4, nWant, nAt)) < 0 && errno == EINTR) {
        }
        if (nGot < 0) {
            *pstrWhy = ErrnoText("reading the file", errno);
            return EClamd::Unreadable;
        }
        const uint32_t nLen = static_cast<uint32_t>(nGot);
        const unsigned char arLen[4] = {static_cast<unsigned char>(nLen >> 24), static_cast<unsigned char>(nLen >> 16),
                                        static_cast<unsigned char>(nLen >> 8), static_cast<unsigned char>(nLen)};
        std::memcpy(pBuf.get(), arLen, 4);
        // A zero length ends the stream.
        if (!SendAll(nSocket, pBuf.get(), 4 + static_cast<std::size_t>(nGot))) {
            *pstrWhy = ErrnoText("sending the file", errno);
            return EClamd::Lost;
        }
        if (nGot == 0)
            return EClamd::Clean;
        nAt += nGot;
    }
}

CClamdClient::~CClamdClient()
{
    EndSession();
}

void CClamdClient::EndSession()
{
    if (m_nSession >= 0) {
        static const char kEnd[] = "zEND";
        SendAll(m_nSession, kEnd, sizeof kEnd);
    }
    ForgetSession();
}

void CClamdClient::ForgetSession()
{
    CloseQuietly(m_nSession);
    m_nSession = -1;
    m_mapInFlight.clear();
    m_mapAnswers.clear();
    m_setForgotten.clear();
    m_strInput.clear();
    m_bNoMore = false;
}

void CClamdClient::CloseSession()
{
    // Nothing may wait for an answer that can no longer come.
    FailInFlight(EClamd::Lost, "the session ended before the answer");
    CloseQuietly(m_nSession);
    m_nSession = -1;
    m_strInput.clear();
    m_bNoMore = false;
}

void CClamdClient::FailInFlight(EClamd eResult, const std::string& strWhy)
{
    for (auto& [nId, sent] : m_mapInFlight) {
        if (m_setForgotten.erase(sent.m_nTicket) != 0)
            continue;
        SAnswer& answer = m_mapAnswers[sent.m_nTicket];
        answer.m_eResult = eResult;
        // A request sent only part way keeps what stopped it.
        answer.m_strWhy = sent.m_eSent != EClamd::Clean && eResult == EClamd::Lost ? sent.m_strSendWhy : strWhy;
    }
    m_mapInFlight.clear();
}

bool CClamdClient::Pump(bool bWait)
{
    char arBuf[4096];
    const ssize_t nGot = ::recv(m_nSession, arBuf, sizeof arBuf, bWait ? 0 : MSG_DONTWAIT);
    if (nGot < 0 && (errno == EINTR || (!bWait && (errno == EAGAIN || errno == EWOULDBLOCK))))
        return true;
    if (nGot <= 0) {
        // Cut off with requests in flight: the daemon is gone, and with it
        // their answers.
        const std::string strWhy = nGot < 0 ? ErrnoText("reading the answer", errno)
                                   : m_strInput.empty() ? "the connection closed without an answer"
                                                        : "the connection closed in the middle of the answer";
        if (!m_mapInFlight.empty())
            m_bGone = true;
        FailInFlight(EClamd::Lost, strWhy);
        CloseSession();
        return false;
    }
    m_strInput.append(arBuf, static_cast<std::size_t>(nGot));
    for (std::size_t nEnd; (nEnd = m_strInput.find('\0')) != std::string::npos;) {
        const std::string strReply = m_strInput.substr(0, nEnd);
        m_strInput.erase(0, nEnd + 1);
        if (!FileAnswer(strReply))
            return false;
    }
    if (m_strInput.size() > kReplyMax) {
        FailInFlight(EClamd::Garbage, "an answer too long to be one");
        CloseSession();
        return false;
    }
    return true;
}

bool CClamdClient::FileAnswer(const std::string& strReply)
{
    // "ID: answer", the ID one of the requests in flight.
    std::size_t nDigits = 0;
    unsigned long nId = 0;
    while (nDigits < strReply.size() && nDigits < 9 && strReply[nDigits] >= '0' && strReply[nDigits] <= '9')
        nId = nId * 10 + static_cast<unsigned long>(strReply[nDigits++] - '0');
    const auto it = nDigits > 0 && strReply.compare(nDigits, 2, ": ") == 0
                        ? m_mapInFlight.find(static_cast<unsigned>(nId))
                        : m_mapInFlight.end();
    const std::string strSaid = "the daemon answered \"" + strReply.substr(0, 120) + "\"";
    if (it == m_mapInFlight.end()) {
        // An answer to no request of ours answers none of them.
        std::string strName;
        FailInFlight(ParseScanReply(strReply, &strName) == EClamd::DaemonError ? EClamd::DaemonError : EClamd::Garbage,
                     strSaid);
        CloseSession();
        return false;
    }
    const SInFlight sent = it->second;
    m_mapInFlight.erase(it);
    SAnswer answer;
    const std::string strRest = strReply.substr(nDigits + 2);
    const EClamd eReply = ParseScanReply(strRest, &answer.m_strName);
    answer.m_eResult = eReply;
    if (eReply == EClamd::DaemonError || eReply == EClamd::Garbage)
        answer.m_strWhy = "the daemon answered \"" + strRest.substr(0, 120) + "\"";
    // After an error the daemon may close the session: start afresh.
    if (sent.m_eSent != EClamd::Clean || (eReply != EClamd::Clean && eReply != EClamd::Found))
        m_bNoMore = true;
    // An answer to half a request answers nothing, unless it says why.
    if (sent.m_eSent != EClamd::Clean && eReply != EClamd::DaemonError) {
        answer.m_eResult = sent.m_eSent;
        answer.m_strName.clear();
        answer.m_strWhy = sent.m_strSendWhy;
    }
    if (m_setForgotten.erase(sent.m_nTicket) == 0)
        m_mapAnswers[sent.m_nTicket] = std::move(answer);
    return true;
}

void CClamdClient::Drain()
{
    while (m_nSession >= 0 && !m_mapInFlight.empty() && Pump(true)) {
    }
    if (m_nSession >= 0)
        CloseSession();
}

EClamd CClamdClient::Scan(int nFd, std::string* pstrName, std::string* pstrWhy)
{
    uint64_t nTicket = 0;
    const EClamd eSent = Submit(nFd, &nTicket, pstrWhy);
    return eSent == EClamd::Clean ? Collect(nTicket, pstrName, pstrWhy) : eSent;
}

EClamd CClamdClient::Submit(int nFd, uint64_t* pnTicket, std::string* pstrWhy)
{
    if (m_nSession >= 0 && !m_mapInFlight.empty()) {
        // Answers already in are taken, and a session that ended is found
        // out, before anything more is sent on it.
        if (Pump(false) && m_bNoMore)
            Drain();
    }
    // A session the daemon gave up while it waited for us (its read
    // timeout) has ended, or holds its parting words: a new one then,
    // before anything is sent. A request once sent is never sent again.
    // One that ended without a word went with its daemon.
    if (m_nSession >= 0 && m_mapInFlight.empty()) {
        char c;
        const ssize_t nPeek = ::recv(m_nSession, &c, 1, MSG_PEEK | MSG_DONTWAIT);
        if (nPeek == 0 || (nPeek < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            m_bGone = true;
        if (nPeek >= 0 || m_bGone || m_bNoMore || !m_strInput.empty())
            CloseSession();
    }
    const EClamd eResult = SubmitInSession(nFd, pnTicket, pstrWhy);
    // Refused, or cut off before a whole answer: the daemon is gone.
    if (eResult == EClamd::Unreachable || eResult == EClamd::Lost)
        m_bGone = true;
    return eResult;
}

EClamd CClamdClient::Collect(uint64_t nTicket, std::string* pstrName, std::string* pstrWhy)
{
    for (;;) {
        const auto it = m_mapAnswers.find(nTicket);
        if (it != m_mapAnswers.end()) {
            const SAnswer answer = std::move(it->second);
            m_mapAnswers.erase(it);
            *pstrName = answer.m_strName;
            if (answer.m_eResult != EClamd::Clean && answer.m_eResult != EClamd::Found)
                *pstrWhy = answer.m_strWhy;
            // A session that is to take no more ends once its answers are in.
            if (m_bNoMore && m_mapInFlight.empty() && m_nSession >= 0)
                CloseSession();
            return answer.m_eResult;
        }
        bool bInFlight = false;
        for (const auto& [nId, sent] : m_mapInFlight)
            bInFlight = bInFlight || sent.m_nTicket == nTicket;
        if (!bInFlight || m_nSession < 0) {
            *pstrWhy = "the session ended before the answer";
            return EClamd::Lost;
        }
        Pump(true);
    }
}

void CClamdClient::Forget(uint64_t nTicket)
{
    if (m_mapAnswers.erase(nTicket) != 0)
        return;
    for (const auto& [nId, sent] : m_mapInFlight)
        if (sent.m_nTicket == nTicket)
            m_setForgotten.insert(nTicket);
}

EClamd CClamdClient::SubmitInSession(int nFd, uint64_t* pnTicket, std::string* pstrWhy)
{
    if (m_nSession < 0 && m_bGone) {
        std::string strLine;
        const EClamd eVersion = Version(kRecheckTimeoutMs, &strLine, pstrWhy);
        if (eVersion != EClamd::Clean) {
            if (eVersion != EClamd::Unreachable)
                *pstrWhy = "it did not answer its version (" + *pstrWhy + ")";
            return EClamd::Unreachable;
        }
        m_bGone = false;
    }
    if (m_nSession < 0) {
        const int nSocket = Connect(kConnectTimeoutMs, pstrWhy);
        if (nSocket < 0)
            return EClamd::Unreachable;
        static const char kBegin[] = "zIDSESSION";
        if (!SendAll(nSocket, kBegin, sizeof kBegin)) {
            *pstrWhy = ErrnoText("sending", errno);
            CloseQuietly(nSocket);
            return EClamd::Lost;
        }
        m_nSession = nSocket;
        m_nNextId = 1;
    }
    const unsigned nId = m_nNextId++;
    std::string strSendWhy;
    const EClamd eSent = m_bLocal ? SendFildes(m_nSession, nFd, &strSendWhy) : SendStream(m_nSession, nFd, &strSendWhy);
    if (eSent == EClamd::Unreadable) {
        // The daemon still waits for the rest of the stream: the answers
        // due before it are read, then the session ends.
        *pstrWhy = strSendWhy;
        m_bNoMore = true;
        Drain();
        return eSent;
    }
    // Even after a failed send the daemon may have said why it stopped
    // reading ("INSTREAM size limit exceeded. ERROR"): its answer is read
    // as any other's.
    SInFlight& sent = m_mapInFlight[nId];
    sent.m_nTicket = m_nNextTicket++;
    sent.m_eSent = eSent;
    sent.m_strSendWhy = strSendWhy;
    if (eSent != EClamd::Clean)
        m_bNoMore = true;
    *pnTicket = sent.m_nTicket;
    return EClamd::Clean;
}

} // namespace farsend
