#include "scan/ScanWorkers.h"

#include <chrono>

#include "engine/FarsendEngine.h"
#include "scan/Scanner.h"

namespace {

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

CScanWorkers::CScanWorkers(IEngineWorkers* pWorkers, FnWork fnWork) : m_fnWork(std::move(fnWork)) {
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
    m_cvWork.notify_all();
    for (auto& pSlot : m_arSlots)
        pSlot->thread.join();
}

void CScanWorkers::Run(size_t nSlot) {
    SSlot& slot = *m_arSlots[nSlot];
    std::unique_lock<std::mutex> lock(m_mtx);
    for (;;) {
        m_cvWork.wait(lock, [&] { return m_bQuit || slot.pJob; });
        if (!slot.pJob)
            return;  // quitting with nothing to finish
        SFileJob* pJob = slot.pJob;
        lock.unlock();
        m_fnWork(*pJob, slot.pEngine);
        lock.lock();
        slot.pJob = nullptr;
        for (SQueued& queued : m_arQueue)
            if (queued.pJob.get() == pJob)
                queued.bDone = true;
        m_cvDone.notify_all();
    }
}

bool CScanWorkers::HasFreeWorker() {
    std::lock_guard<std::mutex> lock(m_mtx);
    for (auto& pSlot : m_arSlots)
        if (!pSlot->pJob)
            return true;
    return false;
}

void CScanWorkers::Submit(std::unique_ptr<SFileJob> pJob) {
    std::lock_guard<std::mutex> lock(m_mtx);
    for (auto& pSlot : m_arSlots) {
        if (pSlot->pJob)
            continue;
        pSlot->pJob = pJob.get();
        pSlot->nStartMs = NowMs();
        m_arQueue.push_back(SQueued{std::move(pJob), false});
        m_cvWork.notify_all();
        return;
    }
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
    std::unique_lock<std::mutex> lock(m_mtx);
    if (!m_arQueue.empty() && m_arQueue.front().bDone)
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
    for (auto& pSlot : m_arSlots)
        if (pSlot->pJob)
            pSlot->pEngine->Abandon();
}
