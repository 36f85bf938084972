#include "platform/EnginePool.h"

int CEnginePool::Open(int nWorkers) {
    Close();
    if (!m_main.IsLoaded() && m_main.Load() != ENGINE_LOAD_OK)
        return 0;
    if (nWorkers <= 1) {
        m_arWorkers.push_back(&m_main);
        return 1;
    }
    // A forked engine's zygote serves the copies only; otherwise main is
    // a worker like the others, and saves loading one more engine.
    m_bForked = m_main.CanFork();
    if (!m_bForked)
        m_arWorkers.push_back(&m_main);
    for (size_t i = m_arWorkers.size(); i < static_cast<size_t>(nWorkers); ++i) {
        auto pWorker = std::make_unique<CHostEngine>(m_main.GetOptions());
        if (m_bForked)
            pWorker->SetZygote(&m_main);
        // A copy is made at once; an independent host is started and loads
        // on beside the others until its worker first needs it.
        if (pWorker->BeginLoad() == ENGINE_LOAD_FAILED)
            continue;
        m_arWorkers.push_back(pWorker.get());
        m_arOwned.push_back(std::move(pWorker));
    }
    if (m_arWorkers.empty()) {
        // Not a single copy: main scans alone.
        m_bForked = false;
        m_arWorkers.push_back(&m_main);
    }
    return static_cast<int>(m_arWorkers.size());
}

bool CEnginePool::PrepareWorker(size_t i) {
    if (i >= m_arWorkers.size())
        return false;
    // Loaded in Open; and the walk may be using it this very moment.
    if (i == 0)
        return true;
    CHostEngine* pWorker = m_arWorkers[i];
    return pWorker->IsLoaded() || pWorker->Load() == ENGINE_LOAD_OK;
}

void CEnginePool::Close() {
    for (std::unique_ptr<CHostEngine>& pWorker : m_arOwned)
        pWorker->Unload();
    m_arOwned.clear();
    m_arWorkers.clear();
    m_bForked = false;
}
