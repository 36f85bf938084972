// Several engine workers for one scan, each used by one thread at a time.
// An engine that may be forked gets copies of the program's loaded engine,
// sharing its memory; any other gets independent hosts, each loading its
// own engine, one call at a time as the engine contract says.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "platform/HostEngine.h"
#include "scan/ScanInterfaces.h"

class CEnginePool : public IEngineWorkers {
public:
    // main: the program's engine as chosen, library and settings applied.
    // While the pool has forked workers, main is their zygote: leave its
    // calls to the pool until Close.
    explicit CEnginePool(CHostEngine& main) : m_main(main) {}
    ~CEnginePool() override { Close(); }
    CEnginePool(const CEnginePool&) = delete;
    CEnginePool& operator=(const CEnginePool&) = delete;

    // Loads main if it is not; then up to nWorkers workers (1 or less:
    // main itself). Returns how many are open, 0 when main cannot load.
    // Independent hosts are started but not waited for: each finishes
    // loading in PrepareWorker, so a scan starts on main at once.
    // A host lives no longer than the thread that started it (the kernel's
    // parent-death signal follows threads): call Open, and run the workers,
    // from threads that outlive the scan.
    int Open(int nWorkers);
    // Ends the workers; main stays loaded.
    void Close();
    // How the workers were made: copies of main's host.
    bool IsForked() const { return m_bForked; }

    size_t GetWorkerCount() const override { return m_arWorkers.size(); }
    IFarsendEngine* GetWorker(size_t i) override { return i < m_arWorkers.size() ? m_arWorkers[i] : nullptr; }
    bool PrepareWorker(size_t i) override;

private:
    CHostEngine& m_main;
    bool m_bForked = false;
    std::vector<std::unique_ptr<CHostEngine>> m_arOwned;
    std::vector<CHostEngine*> m_arWorkers;  // main among them, or not
};
