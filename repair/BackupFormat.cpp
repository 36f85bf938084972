#include "repair/BackupFormat.h"

#include <cstdio>
#include <cstring>

const unsigned char g_arBackupMagic[BACKUP_MAGIC_SIZE] = {'T', 'V', 'B', 'a', 'k', 0x1A, 0x01, 0x02, 0x03, 0x04};

std::string MakeBackupExtension(const std::string& strName) {
    size_t k = 0;
    for (size_t i = strName.size(); i-- > 1;) {
        if (strName[i] == '.') {
            k = i;
            break;
        }
    }
    std::string strExt = k + 1 <= strName.size() ? strName.substr(k + 1) : std::string();
    if (strExt.empty())
        return "V";
    strExt[0] = 'V';
    return strExt;
}

std::string MakeBackupFileName(uint32_t nNumber, const std::string& strName) {
    char szNumber[16];
    snprintf(szNumber, sizeof szNumber, "%08u", nNumber);
    return std::string(szNumber) + "." + MakeBackupExtension(strName);
}

bool BuildBackupHeader(const std::string& strFolder, const std::string& strName,
                       unsigned char arHeader[BACKUP_HEADER_SIZE]) {
    if (strFolder.size() >= BACKUP_FOLDER_FIELD || strName.size() >= BACKUP_NAME_FIELD ||
        strFolder.find('\0') != std::string::npos || strName.find('\0') != std::string::npos)
        return false;
    std::memset(arHeader, 0, BACKUP_HEADER_SIZE);
    std::memcpy(arHeader, g_arBackupMagic, BACKUP_MAGIC_SIZE);
    std::memcpy(arHeader + BACKUP_FOLDER_OFFSET, strFolder.data(), strFolder.size());
    std::memcpy(arHeader + BACKUP_NAME_OFFSET, strName.data(), strName.size());
    return true;
}

bool ParseBackupHeader(const unsigned char* pData, size_t nSize, CBackupInfo* pInfo) {
    if (nSize < BACKUP_HEADER_SIZE || std::memcmp(pData, g_arBackupMagic, BACKUP_MAGIC_SIZE) != 0)
        return false;
    const void* pFolderEnd = std::memchr(pData + BACKUP_FOLDER_OFFSET, 0, BACKUP_FOLDER_FIELD);
    const void* pNameEnd = std::memchr(pData + BACKUP_NAME_OFFSET, 0, BACKUP_NAME_FIELD);
    if (!pFolderEnd || !pNameEnd)
        return false;
    const char* pFolder = reinterpret_cast<const char*>(pData + BACKUP_FOLDER_OFFSET);
    const char* pName = reinterpret_cast<const char*>(pData + BACKUP_NAME_OFFSET);
    pInfo->strFolder.assign(pFolder, static_cast<const char*>(pFolderEnd) - pFolder);
    pInfo->strName.assign(pName, static_cast<const char*>(pNameEnd) - pName);
    return true;
}

// Whole 64-byte blocks first: a loop of known length is vectorised at -O2
// too (the byte loop alone only at -O3, and costs more than the copy).
void RotateRight(unsigned char* pData, size_t nSize) {
    size_t i = 0;
    for (; i + 64 <= nSize; i += 64) {
        unsigned char* p = pData + i;
        for (size_t j = 0; j < 64; ++j)
            p[j] = static_cast<unsigned char>((p[j] >> 1) | (p[j] << 7));
    }
    for (; i < nSize; ++i)
        pData[i] = static_cast<unsigned char>((pData[i] >> 1) | (pData[i] << 7));
}

void RotateLeft(unsigned char* pData, size_t nSize) {
    size_t i = 0;
    for (; i + 64 <= nSize; i += 64) {
        unsigned char* p = pData + i;
        for (size_t j = 0; j < 64; ++j)
            p[j] = static_cast<unsigned char>((p[j] << 1) | (p[j] >> 7));
    }
    for (; i < nSize; ++i)
        pData[i] = static_cast<unsigned char>((pData[i] << 1) | (pData[i] >> 7));
}

namespace {

bool ReadBackupNumber(const std::string& strName, uint32_t* pnNumber, bool* pbNegative) {
    size_t nDot = 0;
    for (size_t i = strName.size(); i-- > 1;) {
        if (strName[i] == '.') {
            nDot = i;
            break;
        }
    }
    if (nDot == 0)
        return false;
    // atol: leading blanks, an optional sign, digits up to the first other
    // character; 0 when there are none. Saturates like strtol on overflow.
    const std::string strNumber = strName.substr(0, nDot);
    size_t i = 0;
    while (i < strNumber.size() && (strNumber[i] == ' ' || (strNumber[i] >= '\t' && strNumber[i] <= '\r')))
        ++i;
    bool bNegative = false;
    if (i < strNumber.size() && (strNumber[i] == '+' || strNumber[i] == '-'))
        bNegative = strNumber[i++] == '-';
    const uint64_t nLimit = bNegative ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX);
    uint64_t nValue = 0;
    for (; i < strNumber.size() && strNumber[i] >= '0' && strNumber[i] <= '9'; ++i) {
        unsigned nDigit = static_cast<unsigned>(strNumber[i] - '0');
        nValue = nValue > (nLimit - nDigit) / 10 ? nLimit : nValue * 10 + nDigit;
    }
    int64_t nSigned = bNegative ? static_cast<int64_t>(0 - nValue) : static_cast<int64_t>(nValue);
    *pnNumber = static_cast<uint32_t>(nSigned);
    *pbNegative = nSigned < 0;
    return true;
}

}  // namespace

bool BackupNumberFromName(const std::string& strName, uint32_t* pnNumber) {
    bool bNegative = false;
    return ReadBackupNumber(strName, pnNumber, &bNegative);
}

uint32_t HighestBackupNumber(const std::vector<std::string>& arNames) {
    uint32_t nHighest = 0;
    for (const std::string& strName : arNames) {
        uint32_t nNumber = 0;
        if (BackupNumberFromName(strName, &nNumber) && nHighest < nNumber)
            nHighest = nNumber;
    }
    return nHighest;
}

uint32_t HighestClaimedNumber(const std::vector<std::string>& arNames) {
    uint32_t nHighest = 0;
    for (const std::string& strName : arNames) {
        uint32_t nNumber = 0;
        bool bNegative = false;
        if (ReadBackupNumber(strName, &nNumber, &bNegative) && !bNegative && nNumber != UINT32_MAX &&
            nHighest < nNumber)
            nHighest = nNumber;
    }
    return nHighest;
}

const char* const g_szQuarantineSuffix = ".q";

namespace {

constexpr std::string_view QUARANTINE_RECORD_HEAD = "quillet-quarantine 1";
// Texts go as hex: a virus name may hold any byte, a line end included.
std::string ToHex(const std::string& str) {
    static const char szDigits[] = "0123456789abcdef";
    std::string strHex;
    for (unsigned char c : str) {
        strHex += szDigits[c >> 4];
        strHex += szDigits[c & 15];
    }
    return strHex;
}
bool FromHex(std::string_view strHex, std::string* pstr) {
    if (strHex.size() % 2 != 0)
        return false;
    pstr->clear();
    for (size_t i = 0; i < strHex.size(); i += 2) {
        int nByte = 0;
        for (char c : strHex.substr(i, 2)) {
            const int nDigit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (nDigit < 0)
                return false;
            nByte = nByte * 16 + nDigit;
        }
        *pstr += static_cast<char>(nByte);
    }
    return true;
}
bool ReadNumber(std::string_view str, int nBase, uint64_t nMax, uint64_t* pn) {
    if (str.empty() || str.size() > 20)
        return false;
    uint64_t n = 0;
    for (char c : str) {
        const int nDigit = c >= '0' && c <= '9' ? c - '0' : -1;
        if (nDigit < 0 || nDigit >= nBase || n > (nMax - static_cast<uint64_t>(nDigit)) / static_cast<uint64_t>(nBase))
            return false;
        n = n * static_cast<uint64_t>(nBase) + static_cast<uint64_t>(nDigit);
    }
    *pn = n;
    return true;
}

}  // namespace

std::string FormatQuarantineRecord(const CQuarantineRecord& record) {
    char szOctal[16];
    snprintf(szOctal, sizeof szOctal, "%o", record.nMode & 07777);
    return std::string(QUARANTINE_RECORD_HEAD) + "\nvirus " + ToHex(record.strVirus) + "\nengine " +
           ToHex(record.strEngine) + "\ntime " + std::to_string(record.nTime < 0 ? 0 : record.nTime) + "\nowner " +
           std::to_string(record.nUid) + " " + std::to_string(record.nGid) + "\nmode " + szOctal + "\nacl " +
           ToHex(record.strAcl) + "\n";
}

bool ParseQuarantineRecord(std::string_view strText, CQuarantineRecord* pRecord) {
    // Every line in its place, and nothing after them.
    static constexpr std::string_view arKeys[] = {"virus ", "engine ", "time ", "owner ", "mode ", "acl "};
    CQuarantineRecord record;
    std::string_view strRest = strText;
    auto NextLine = [&](std::string_view* pstrLine) {
        const size_t nEnd = strRest.find('\n');
        if (nEnd == std::string_view::npos)
            return false;
        *pstrLine = strRest.substr(0, nEnd);
        strRest.remove_prefix(nEnd + 1);
        return true;
    };
    std::string_view strLine;
    if (!NextLine(&strLine) || strLine != QUARANTINE_RECORD_HEAD)
        return false;
    for (std::string_view strKey : arKeys) {
        if (!NextLine(&strLine) || strLine.substr(0, strKey.size()) != strKey)
            return false;
        const std::string_view strValue = strLine.substr(strKey.size());
        uint64_t n = 0, nGid = 0;
        bool bOk = false;
        if (strKey == "virus ") {
            bOk = FromHex(strValue, &record.strVirus);
        } else if (strKey == "engine ") {
            bOk = FromHex(strValue, &record.strEngine);
        } else if (strKey == "time ") {
            bOk = ReadNumber(strValue, 10, INT64_MAX, &n);
            record.nTime = static_cast<int64_t>(n);
        } else if (strKey == "owner ") {
            const size_t nSpace = strValue.find(' ');
            bOk = nSpace != std::string_view::npos && ReadNumber(strValue.substr(0, nSpace), 10, UINT32_MAX, &n) &&
                  ReadNumber(strValue.substr(nSpace + 1), 10, UINT32_MAX, &nGid);
            record.nUid = static_cast<uint32_t>(n);
            record.nGid = static_cast<uint32_t>(nGid);
        } else if (strKey == "mode ") {
            bOk = ReadNumber(strValue, 8, 07777, &n);
            record.nMode = static_cast<uint32_t>(n);
        } else {
            bOk = FromHex(strValue, &record.strAcl);
        }
        if (!bOk)
            return false;
    }
    if (!strRest.empty())
        return false;
    *pRecord = std::move(record);
    return true;
}
