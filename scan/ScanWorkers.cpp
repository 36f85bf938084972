#include "scan/ScanWorkers.h"

#include <algorithm>
#include <chrono>

#include "engine/FarsendEngine.h"
#include "scan/Scanner.h"

namespace {

// A fast engine answers within microseconds: waking a sleeping thread
// costs more than that, so each side looks for a while before it sleeps.
// Not for a slow one: the wake-up is lost in its time, while looking takes
// a core from the engines.
constexpr int64_t SPIN_NS = 200000;
constexpr int64_t SPIN_WORTH_NS = 250000;
constexpr int64_t MAX_SAMPLE_NS = 1000000;

template <typename Fn>
bool SpinFor(Fn fnReady) {
    const auto tEnd = std::chrono::steady_clock::now() + std::chrono::nanoseconds(SPIN_NS);
    while (!fnReady()) {
        if (std::chrono::steady_clock::now() >= tEnd)
            return false;
        std::this_thread::yield();
    }
    return true;
}

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

CScanWorkers::CScanWorkers(IEngineWorkers* pWorkers, FnWork fnWork)
    : m_pEngines(pWorkers), m_fnWork(std::move(fnWork)) {
    for (size_t i = 0; i < pWorkers->GetWorkerCount(); ++i) {
        auto pSlot = std::make_unique<SSlot>();
        pSlot->pEngine = pWorkers->GetWorker(i);
        m_arSlots.push_back(std::move(pSlot));
    }
    for (size_t i = 0; i < m_arSlots.size(); ++i)
        m_arSlots[i]->thread = std::thread([this, i] { Run(i); });
}

CScanWorkers::~CScanWorkers() {
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        m_bQuit = true;
    }
    for (auto& pSlot : m_arSlots)
        pSlot->cvWork.notify_all();
    for (auto& pSlot : m_arSlots)
        pSlot->thread.join();
}

void CScanWorkers::Run(size_t nSlot) {
    SSlot& slot = *m_arSlots[nSlot];
    // An engine still loading holds up this worker only; one that cannot
    // load is never given a file.
    const bool bReady = m_pEngines->PrepareWorker(nSlot);
    if (!bReady)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        // The engine's depth is for all its workers together: the daemon
        // behind them has so many threads.
        const size_t nDepth = slot.pEngine->GetPipelineDepth();
        slot.nDepth = nDepth > 1 ? std::max<size_t>((nDepth + m_arSlots.size() - 1) / m_arSlots.size(), 2) : 1;
        // A daemon behind the engine wants the cores spinning would take.
        if (slot.nDepth > 1)
            m_bPipelined = true;
        slot.bReady = true;
        m_nDone.fetch_add(1, std::memory_order_release);  // a change a waiting walk looks for
    }
    m_cvDone.notify_all();
    std::vector<std::string> arTell;
    for (;;) {
        if (GetAverageJobNs() < SPIN_WORTH_NS && slot.nDepth <= 1)
            SpinFor([&] { return slot.bHasJob.load(std::memory_order_acquire); });
        std::unique_lock<std::mutex> lock(m_mtx);
        slot.cvWork.wait(lock, [&] { return m_bQuit || !slot.arHeld.empty(); });
        if (slot.arHeld.empty())
            return;  // quitting with nothing to finish
        SFileJob* pJob = slot.arHeld.front();
        slot.arHeld.pop_front();
        slot.pJob = pJob;
        // A held job's wait is not the engine's: its time starts now.
        slot.nStartMs = NowMs();
        // The engine hears of the files behind this one, in order, this
        // one first when it was not told of yet.
        arTell.clear();
        if (!slot.arHeld.empty() && !pJob->bTold) {
            pJob->bTold = true;
            arTell.push_back(pJob->strPath);
        }
        for (SFileJob* pHeld : slot.arHeld) {
            if (!pHeld->bTold) {
                pHeld->bTold = true;
                arTell.push_back(pHeld->strPath);
            }
        }
        lock.unlock();
        for (const std::string& strPath : arTell)
            slot.pEngine->PrepareFile(strPath);
        if (!pJob->bFaulted) {
            const auto tStart = std::chrono::steady_clock::now();
            m_fnWork(*pJob, slot.pEngine);
            RecordJobTime(std::chrono::steady_clock::now() - tStart);
        }
        lock.lock();
        slot.pJob = nullptr;
        slot.bHasJob.store(!slot.arHeld.empty(), std::memory_order_release);
        for (SQueued& queued : m_arQueue)
            if (queued.pJob.get() == pJob)
                queued.bDone = true;
        m_nDone.fetch_add(1, std::memory_order_release);
        // A worker holding files ahead wakes the walk once it runs half
        // empty, and the walk hands over several at a go: a wake-up costs
        // more than a pipelined file's whole round trip.
        if (slot.nDepth <= 1 || slot.arHeld.size() <= slot.nDepth / 2)
            m_cvDone.notify_all();
    }
}

bool CScanWorkers::HasFreeWorker() {
    std::lock_guard<std::mutex> lock(m_mtx);
    for (auto& pSlot : m_arSlots)
        if (pSlot->bReady && (pSlot->pJob ? 1 : 0) + pSlot->arHeld.size() < pSlot->nDepth)
            return true;
    return false;
}

void CScanWorkers::Submit(std::unique_ptr<SFileJob> pJob) {
    std::lock_guard<std::mutex> lock(m_mtx);
    // The worker holding the fewest.
    SSlot* pBest = nullptr;
    size_t nBest = 0;
    for (auto& pSlot : m_arSlots) {
        const size_t nHeld = (pSlot->pJob ? 1 : 0) + pSlot->arHeld.size();
        if (pSlot->bReady && nHeld < pSlot->nDepth && (!pBest || nHeld < nBest)) {
            pBest = pSlot.get();
            nBest = nHeld;
        }
    }
    if (!pBest)
        return;
    pBest->arHeld.push_back(pJob.get());
    pBest->bHasJob.store(true, std::memory_order_release);
    m_arQueue.push_back(SQueued{std::move(pJob), false});
    pBest->cvWork.notify_one();
}

std::unique_ptr<SFileJob> CScanWorkers::TakeDoneHead() {
    std::lock_guard<std::mutex> lock(m_mtx);
    if (m_arQueue.empty() || !m_arQueue.front().bDone)
        return nullptr;
    std::unique_ptr<SFileJob> pJob = std::move(m_arQueue.front().pJob);
    m_arQueue.pop_front();
    return pJob;
}

bool CScanWorkers::IsEmpty() {
    std::lock_guard<std::mutex> lock(m_mtx);
    return m_arQueue.empty();
}

void CScanWorkers::WaitForChange(int nMs) {
    const unsigned nDone = m_nDone.load(std::memory_order_acquire);
    if (GetAverageJobNs() < SPIN_WORTH_NS && !m_bPipelined && SpinFor([&] { return m_nDone.load(std::memory_order_acquire) != nDone; }))
        return;
    std::unique_lock<std::mutex> lock(m_mtx);
    if (m_nDone.load(std::memory_order_acquire) != nDone || (!m_arQueue.empty() && m_arQueue.front().bDone))
        return;
    m_cvDone.wait_for(lock, std::chrono::milliseconds(nMs));
}

bool CScanWorkers::GetOldestRunning(uint64_t* pnSerial, int64_t* pnElapsedMs) {
    std::lock_guard<std::mutex> lock(m_mtx);
    for (SQueued& queued : m_arQueue) {
        if (queued.bDone)
            continue;
        for (auto& pSlot : m_arSlots) {
            if (pSlot->pJob == queued.pJob.get()) {
                *pnSerial = queued.pJob->nSerial;
                *pnElapsedMs = NowMs() - pSlot->nStartMs;
                return true;
            }
        }
    }
    return false;
}

void CScanWorkers::AbandonAll() {
    std::lock_guard<std::mutex> lock(m_mtx);
    for (auto& pSlot : m_arSlots) {
        if (pSlot->pJob)
            pSlot->pEngine->Abandon();
        // Given up with the call ahead of them: each would otherwise wait
        // on a fresh engine to be given up again.
        for (SFileJob* pHeld : pSlot->arHeld)
            pHeld->bFaulted = true;
    }
}

void CScanWorkers::RecordJobTime(std::chrono::steady_clock::duration time) {
    // A running average; workers race on it harmlessly. One slow file (a
    // stall, a big file) counts as at most 1 ms, so that alone it cannot
    // turn a fast engine's files over to the workers.
    const int64_t nNs = std::min<int64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(time).count(),
                                          MAX_SAMPLE_NS);
    const int64_t nAvg = m_nAvgJobNs.load(std::memory_order_relaxed);
    m_nAvgJobNs.store(nAvg - nAvg / 8 + nNs / 8, std::memory_order_relaxed);
}
