// The backup file: a 512-byte header (magic, source folder, source name) and
// the file's bytes each rotated right by one bit. Names "%08u.V..." in the
// work folder. Pure byte logic; the files themselves are the platform's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr size_t BACKUP_HEADER_SIZE = 512;
constexpr size_t BACKUP_MAGIC_SIZE = 10;
constexpr size_t BACKUP_FOLDER_OFFSET = 10;
constexpr size_t BACKUP_FOLDER_FIELD = 246;
constexpr size_t BACKUP_NAME_OFFSET = 256;
constexpr size_t BACKUP_NAME_FIELD = 256;
extern const unsigned char g_arBackupMagic[BACKUP_MAGIC_SIZE];

// "setup.exe" -> "Vxe", "README" -> "VADME", "x.y.z" -> "V", ".login" -> "Vogin".
std::string MakeBackupExtension(const std::string& strName);
// The file name inside the work folder: "%08u.<extension>".
std::string MakeBackupFileName(uint32_t nNumber, const std::string& strName);

// False when the folder or the name does not fit its field with its NUL,
// or holds a NUL itself: such a file gets no backup.
bool BuildBackupHeader(const std::string& strFolder, const std::string& strName,
                       unsigned char arHeader[BACKUP_HEADER_SIZE]);

struct CBackupInfo {
    std::string strFolder;  // "" for a file in the root
    std::string strName;
};
// A backup header: at least 512 bytes, the magic, and a NUL inside each
// text field. Nothing past a field is ever read.
bool ParseBackupHeader(const unsigned char* pData, size_t nSize, CBackupInfo* pInfo);

void RotateRight(unsigned char* pData, size_t nSize);  // writing
void RotateLeft(unsigned char* pData, size_t nSize);   // reading

// The number a name in the work folder stands for: the part before its last
// '.' (searched from the end down to the second character) read by atol's
// rules. False when there is no such '.'.
bool BackupNumberFromName(const std::string& strName, uint32_t* pnNumber);
// The highest such number, compared as unsigned 32-bit values; 0 when none.
uint32_t HighestBackupNumber(const std::vector<std::string>& arNames);
// The same, leaving out names read as a negative number or as 4294967295:
// a stray "-1.log" must not wrap the writer's numbers below a backup on disk.
uint32_t HighestClaimedNumber(const std::vector<std::string>& arNames);

// What the Bin keeps beside a quarantined file's backup, in a file of its
// own named after the backup plus this suffix. An older reader finds no
// backup header in it and leaves it alone.
extern const char* const g_szQuarantineSuffix;
struct CQuarantineRecord {
    std::string strVirus;   // the finding that put it there
    std::string strEngine;  // the engine's version text
    int64_t nTime = 0;      // when, in seconds since the epoch
    // What made the file the user's, given back when it is restored.
    uint32_t nUid = 0;
    uint32_t nGid = 0;
    uint32_t nMode = 0;
    std::string strAcl;     // its access ACL's bytes as the file system keeps them; "" for none
};
std::string FormatQuarantineRecord(const CQuarantineRecord& record);
// False for anything that is not a whole record of this version.
bool ParseQuarantineRecord(std::string_view strText, CQuarantineRecord* pRecord);
