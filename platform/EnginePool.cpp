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
    std::vector<std::unique_ptr<CHostEngine>> arNew;
    for (size_t i = m_arWorkers.size(); i < static_cast<size_t>(nWorkers); ++i) {
        arNew.push_back(std::make_unique<CHostEngine>(m_main.GetOptions()));
        if (m_bForked)
            arNew.back()->SetZygote(&m_main);
        // Independent hosts all start before any is waited for, so their
        // engines load side by side.
        arNew.back()->BeginLoad();
    }
    for (std::unique_ptr<CHostEngine>& pWorker : arNew) {
        if (pWorker->Load() != ENGINE_LOAD_OK)
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

void CEnginePool::Close() {
    for (std::unique_ptr<CHostEngine>& pWorker : m_arOwned)
        pWorker->Unload();
    m_arOwned.clear();
    m_arWorkers.clear();
    m_bForked = false;
}
