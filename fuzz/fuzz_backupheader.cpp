// The backup header reader on arbitrary bytes: it accepts exactly the
// headers with the magic and a NUL inside each field, reads nothing past a
// field, and what it reads writes back to the same fields.

#include <cstdlib>
#include <cstring>

#include "repair/BackupFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    CBackupInfo info;
    bool bParsed = ParseBackupHeader(pData, nSize, &info);
    bool bExpected = nSize >= BACKUP_HEADER_SIZE && memcmp(pData, g_arBackupMagic, BACKUP_MAGIC_SIZE) == 0 &&
                     memchr(pData + BACKUP_FOLDER_OFFSET, 0, BACKUP_FOLDER_FIELD) &&
                     memchr(pData + BACKUP_NAME_OFFSET, 0, BACKUP_NAME_FIELD);
    if (bParsed != bExpected)
        abort();
    if (!bParsed)
        return 0;
    unsigned char arHeader[BACKUP_HEADER_SIZE];
    if (!BuildBackupHeader(info.strFolder, info.strName, arHeader))
        abort();
    if (memcmp(arHeader + BACKUP_FOLDER_OFFSET, pData + BACKUP_FOLDER_OFFSET, info.strFolder.size() + 1) ||
        memcmp(arHeader + BACKUP_NAME_OFFSET, pData + BACKUP_NAME_OFFSET, info.strName.size() + 1))
        abort();
    CBackupInfo again;
    if (!ParseBackupHeader(arHeader, sizeof arHeader, &again) || again.strFolder != info.strFolder ||
        again.strName != info.strName)
        abort();
    return 0;
}
