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

void SplitPath(const std::string& strPath, std::string* pstrFolder, std::string* pstrName) {
    size_t nSlash = strPath.rfind('/');
    if (nSlash == std::string::npos) {
        pstrFolder->clear();
        *pstrName = strPath;
        return;
    }
    *pstrFolder = strPath.substr(0, nSlash);
    *pstrName = strPath.substr(nSlash + 1);
}

std::string JoinPath(const std::string& strFolder, const std::string& strName) {
    if (!strFolder.empty() && strFolder.back() == '/')
        return strFolder + strName;
    return strFolder + "/" + strName;
}
