// The registry, the agent and the clock of the event log, in memory.
#pragma once

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "scan/EventLog.h"

class CFakeRegistry : public IRegistry {
public:
    using CKey = std::tuple<EHive, std::string, std::string>;  // hive, key, value name
    std::map<CKey, std::string> m_mapValues;
    std::vector<std::string> m_arWrites;  // value names in the order they were set
    std::vector<size_t> m_arQueryMax;     // nMax of every query
    bool m_bFailWrites = false;

    void Put(EHive eHive, const std::string& strKey, const std::string& strName, const std::string& strData) {
        m_mapValues[CKey(eHive, strKey, strName)] = strData;
    }
    // "" when missing; use Has() to tell.
    std::string Get(EHive eHive, const std::string& strKey, const std::string& strName) const {
        auto it = m_mapValues.find(CKey(eHive, strKey, strName));
        return it == m_mapValues.end() ? std::string() : it->second;
    }
    bool Has(EHive eHive, const std::string& strKey, const std::string& strName) const {
        return m_mapValues.count(CKey(eHive, strKey, strName)) != 0;
    }

    bool QueryValue(EHive eHive, const std::string& strKey, const std::string& strName, size_t nMax,
                    std::string* pstrData) override {
        m_arQueryMax.push_back(nMax);
        auto it = m_mapValues.find(CKey(eHive, strKey, strName));
        if (it == m_mapValues.end())
            return false;
        *pstrData = it->second.substr(0, nMax);
        return true;
    }
    bool SetValue(EHive eHive, const std::string& strKey, const std::string& strName,
                  const std::string& strData) override {
        m_arWrites.push_back(strName);
        if (m_bFailWrites)
            return false;
        Put(eHive, strKey, strName, strData);
        return true;
    }
};

class CFakeAgentNotifier : public IAgentNotifier {
public:
    struct SNotice {
        std::string strAgent;
        uint32_t nMessage;
        uint32_t nWParam;
        int32_t nLParam;
        bool operator==(const SNotice& o) const {
            return strAgent == o.strAgent && nMessage == o.nMessage && nWParam == o.nWParam && nLParam == o.nLParam;
        }
    };
    std::vector<SNotice> m_arNotices;
    void Notify(const std::string& strAgent, uint32_t nMessage, uint32_t nWParam, int32_t nLParam) override {
        m_arNotices.push_back({strAgent, nMessage, nWParam, nLParam});
    }
};

// A fixed time whose seconds advance with every reading, so each record
// shows which reading it took.
class CFakeClock : public IClock {
public:
    CLocalTime m_time{2026, 12, 8, 17, 30, 0};
    int m_nReads = 0;
    CLocalTime Now() override {
        CLocalTime t = m_time;
        t.nSecond = m_nReads++ % 60;
        return t;
    }
};
