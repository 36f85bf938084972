// The settings file behind the settings dialog, and the program's engine
// it points: checks a choice, writes it whole or not at all, and re-applies
// it to the engine (and its workers) without a restart.
#pragma once

#include <string>

#include "scan/EngineSettings.h"

class CHostEngine;
class CLazyEnginePool;

class CEngineSettingsFile : public IEngineSettings {
public:
    CEngineSettingsFile(CHostEngine& engine, CLazyEnginePool& workers) : m_engine(engine), m_workers(workers) {}

    bool Read(CEngineChoice* pChoice, std::string* pstrWhy) override;
    bool Check(const CEngineChoice& choice, std::string* pstrWhy) override;
    bool Save(const CEngineChoice& choice, std::string* pstrWhy) override;
    bool Apply(const CEngineChoice& choice, std::string* pstrWhy) override;
    std::string GetEngineName() const override { return m_strEngine; }
    bool IsMediaWatchOn() const override;
    bool SetMediaWatch(bool bOn, std::string* pstrWhy) override;
    // The choice last applied, auto resolved.
    const CEngineChoice& GetApplied() const { return m_applied; }

private:
    CHostEngine& m_engine;
    CLazyEnginePool& m_workers;
    CEngineChoice m_applied;
    std::string m_strEngine;
};

// Writes strText to strPath atomically: a file beside it, synced, renamed
// over it (over a link in its place, never through it), the folder synced.
// The folders above are made (0700) when missing. False with why.
bool WriteFileAtomically(const std::string& strPath, const std::string& strText, std::string* pstrWhy);
