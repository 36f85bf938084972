#include "res/Strings.h"

#include <array>
#include <optional>

namespace {

// The translated texts by id; filled before threads start, read-only after.
std::array<std::optional<std::string>, QUILLET_TEXT_ID_END>& Translated() {
    static std::array<std::optional<std::string>, QUILLET_TEXT_ID_END> s_arText;
    return s_arText;
}

}  // namespace

const char* LoadText(EStringId eId) {
    const auto& arText = Translated();
    if (eId < arText.size() && arText[eId])
        return arText[eId]->c_str();
    return LoadSourceText(eId);
}

void TranslateTexts(const FnTranslateText& fnLanguage, const FnTranslateText& fnFallback) {
    auto& arText = Translated();
    for (int nId = 0; nId < QUILLET_TEXT_ID_END; ++nId) {
        arText[nId].reset();
        const char* pszSource = LoadSourceText(static_cast<EStringId>(nId));
        std::string strText;
        if (*pszSource && ((fnLanguage && fnLanguage(pszSource, strText)) ||
                           (fnFallback && fnFallback(pszSource, strText))))
            arText[nId] = std::move(strText);
    }
}

const char* LoadSourceText(EStringId eId) {
    switch (eId) {
    case IDS_PRODUCT_CAPTION: return "Torvane Professional";
    case IDS_SELECT_ITEM: return "Please select item.";
    case IDS_ENGINE_LOAD_FAILED: return "Cannot load Farsend.dll  file.";
    case IDS_EXIT: return "Exit";
    case IDS_COUNT_ZERO: return "0";
    case IDS_HOMEPAGE_ADDRESS: return "http://www.kestrum.example/";

    case IDS_MAIN_SCAN_NOW: return "Scan Now";
    case IDS_MAIN_CONFIGURATION: return "Configuration";
    case IDS_MAIN_SUBFOLDERS: return "Include subfolders";
    case IDS_MAIN_ALL_FILES: return "All files";
    case IDS_MAIN_AUTO_REPAIR: return "Repair automatically";
    case IDS_MAIN_BACKUP: return "Backup infected files";
    case IDS_MAIN_BACKUP_BIN: return "백업 휴지통";
    case IDS_MAIN_TAVIN: return "tavin";
    case IDS_MAIN_ENGINE_VER: return "Engine Ver. :";
    case IDS_MAIN_ENGINE_VER_NONE: return "2000-10-10";

    case IDS_ABOUT_CAPTION: return "Torvane Lite 정보";
    case IDS_BOX_OK: return "확인";
    case IDS_ABOUT_VERSION: return "Torvane Professional 버전 ";
    case IDS_INFO_VERSION: return "Torvane Professional  버전 ";
    case IDS_ABOUT_RIGHTS: return "Copyright (C) 2001 Kestrum. 모든 권리 보유.";
    case IDS_MAKER_LINE_1: return "Kestrum은 안티바이러스 소프트웨어를 개발하고,";
    case IDS_MAKER_LINE_2: return "사용자 실수나 바이러스로 손상된 시스템과 데이터를";
    case IDS_MAKER_LINE_3: return "복구하며, 기술 지원 서비스를 제공합니다.";
    case IDS_HOMEPAGE_LINE: return "Kestrum 홈페이지: http://www.kestrum.example/";
    case IDS_CONTACT_LINE_1: return "이 프로그램을 사용하는 기업, 관공서, 학교에서는";
    case IDS_CONTACT_LINE_2: return "Kestrum으로 연락해 주시기 바랍니다. (02-0000-0000)";

    case IDS_REPAIR_SELECT_ITEM: return "Please select item.";
    case IDS_REPAIR_CAPTION: return "DovErad";
    case IDS_REPAIR_PROGRESS: return "Repairing  : ";
    case IDS_NOTICE_OK: return "OK";
    case IDS_NOTICE_DONT_SHOW: return "Don't show this message box again.";
    case IDS_PROCESSING_CAPTION: return "Processing";
    case IDS_PROCESSING_CONTEXT: return "Context";

    case IDS_SCAN_REPAIR: return "Repair";
    case IDS_SCAN_STOP: return "Stop";
    case IDS_SCAN_FILE_CAPTION: return "File name :";
    case IDS_SCAN_SCANNED: return "Scanned : ";
    case IDS_SCAN_INFECTED: return "Infected : ";
    case IDS_SCAN_HOMEPAGE: return "Kestrum Inc. Homepage";
    case IDS_SCAN_SELECT_ALL: return "Select All";
    case IDS_SCAN_FINISHED: return "Scanning is finished!";
    case IDS_COL_NUM: return "Num";
    case IDS_COL_FILE: return "File name";
    case IDS_COL_VIRUS: return "Virus name";
    case IDS_COL_STATUS: return "Status";

    case IDS_STATE_REPAIRABLE: return "Repairable";
    case IDS_STATE_UNREPAIRABLE: return "Unrepairable";
    case IDS_STATE_NEW_VIRUS: return "New Virus";
    case IDS_STATE_SUSPECTED: return "Suspected";
    case IDS_STATE_NOT_SUPPORT: return "Not support";
    case IDS_STATE_AFTER_DECOMPRESSION: return "Repair after decompression";
    case IDS_STATE_ACCESS_DENIED: return "Access denied";
    case IDS_STATE_OK: return "Ok";
    case IDS_STATE_REPAIRED: return "Repaired";
    case IDS_STATE_DELETED: return "Deleted";
    case IDS_STATE_FAIL_TO_REPAIR: return "Fail to repair";
    case IDS_STATE_OVERLAPPED: return "Overlapped";
    case IDS_STATE_AFTER_DECRYPTION: return "Repair after decryption ";
    case IDS_STATE_QUARANTINED: return "Quarantined";
    case IDS_STATE_UNKNOWN: return "Unknown (%d)";
    case IDS_STATE_QUARANTINE_NO_COPY: return "Fail to quarantine: no backup";
    case IDS_STATE_QUARANTINE_CHANGED: return "Fail to quarantine: file changed";
    case IDS_STATE_QUARANTINE_READ_ONLY: return "Fail to quarantine: read-only";

    case IDS_NOTICE_UNREPAIRABLE: return "This file is unrepairable.";
    case IDS_NOTICE_NEW_VIRUS:
        return "You are infected New Virus!!\nPlease submit this file to Kestrum(samples@kestrum.example).";
    case IDS_NOTICE_SUSPECTED:
        return "It is suspected as a virus.\nPlease submit this file to Kestrum(samples@kestrum.example).";
    case IDS_NOTICE_ENCRYPTED: return "This file is encrypted.\nRepair the virus after decryption.";
    case IDS_NOTICE_REPAIRED: return "Repair is done.";
    case IDS_REPAIR_QUESTION: return "Do you want to repair it in safety?";
    case IDS_NOTICE_DECOMPRESSION: return "Repair the virus after decompression.";
    case IDS_REPAIR_OFFER_QUARANTINE_ONE: return "This file cannot be repaired. Move it into the Backup Bin?";
    case IDS_REPAIR_OFFER_QUARANTINE_MANY: return "%d files cannot be repaired. Move them into the Backup Bin?";

    case IDS_BIN_TITLE: return "Backup Bin";
    case IDS_BIN_RESTORE: return "Restore";
    case IDS_BIN_NUM: return "Num. :";
    case IDS_BIN_EMPTY: return "Empty";
    // Cut off mid-word, as it always was.
    case IDS_BIN_EXPLANATION:
        return "If you select \"Backup infected files\" in Configuration, the infected files will be listed below "
               "even though if you have already cleaned the files. You can use these files in the Backup Bin to "
               "restore the data. This function can be activated in Configuratio";
    case IDS_BIN_COL_NUM: return "순번";
    case IDS_BIN_COL_NAME: return "파일명";
    case IDS_BIN_COL_FOLDER: return "디렉토리명";
    case IDS_BIN_COL_FILE: return "실제 파일명";
    case IDS_BIN_NOTHING_TICKED: return "복원할 파일을 선택하세요.";
    case IDS_BIN_RESTORE_ERROR: return "복원 오류";
    case IDS_BIN_ASK_RESTORE: return "선택된 파일을 복원하시겠습니까?";
    case IDS_BIN_ASK_EMPTY: return "휴지통에 있는 모든 파일을 비우시겠습니까?";
    case IDS_BIN_CAPTION: return "Torvane™ Lite";
    case IDS_BIN_RESTORE_FAILED:
        return "파일 %d개를 복원하지 못했습니다.\n복원하지 못한 파일은 선택된 채로 목록에 남아 있습니다.";
    case IDS_BIN_EMPTY_FAILED: return "파일 %d개를 비우지 못했습니다.";
    case IDS_BIN_EMPTY_ERROR: return "비우기 오류";
    case IDS_BIN_RESTORE_GONE: return "다른 프로그램이 이미 복원했거나 삭제한 파일 %d개는 목록에서 제거되었습니다.";

    case IDS_SCAN_TOOL_USAGE:
        return "usage: quillet-scan [--no-subfolders] [--all-files | --listed-types] [--hidden] [--all-drives] [--repair] "
               "[--quarantine] [--verbose] [--progress|--quiet] [--json] [--engine auto|reference|clamav|clamd|LIBRARY] "
               "[--database DIR] [--clamd ADDRESS] [--jobs N] [--no-cache] TARGET...\n"
               "       quillet-scan --history\n";
    case IDS_SCAN_TOOL_VERSION: return "quillet-scan %d.%d.%d.%d\n";
    case IDS_SCAN_TOOL_COUNTS: return "Scanned: %d, Infected: %d\n";
    case IDS_SCAN_TOOL_NO_TARGET: return "quillet-scan: %s: %s\n";
    case IDS_SCAN_TOOL_STOPPED: return "quillet-scan: stopped after %d files; the scan is not complete\n";
    case IDS_SCAN_NOT_FULLY_ONE: return "1 file or folder was not fully scanned.";
    case IDS_SCAN_NOT_FULLY_MANY: return "%d files or folders were not fully scanned.";
    case IDS_SCAN_TOOL_OPTIONS:
        return "  --no-subfolders   only the files directly in a folder target\n"
               "  --all-files       every file, not only the usual extensions (ClamAV's default)\n"
               "  --listed-types    only the usual extensions (the test engine's default)\n"
               "  --hidden          dot-named files and folders too\n"
               "  --all-drives      every drive, as ticking Computer does\n"
               "  --repair          repair infected files, backing them up first\n"
               "  --quarantine      move what cannot be repaired into the Backup Bin\n"
               "  --verbose         say on standard error what failed quietly\n"
               "  --progress        a progress line on standard error even when it is no terminal\n"
               "  --quiet           no progress line and no lines for files not scanned\n"
               "  --json            JSON Lines on standard output: rows, files not scanned, a summary\n"
               "  --engine NAME     auto (default), reference, clamav, clamd or a library's path\n"
               "  --database DIR    clamav's signature folder (default /var/lib/clamav); alone: auto over it\n"
               "  --clamd ADDRESS   unix:PATH or tcp:HOST:PORT (default: from clamd.conf)\n"
               "  --jobs N          engine workers, 1 to 256 (default: one per core)\n"
               "  --no-cache        read every file, also those found clean before and unchanged since\n"
               "  --schedule NAME   a run of that schedule: never two at once\n"
               "  --history         list the scans of the history, newest first, and exit\n"
               "  --help            print this help and exit\n"
               "  --version         print the version and exit; with --engine, --database or --clamd also\n"
               "                    the engine's and each signature database's version, date and count\n";

    case IDS_SKIP_UNREADABLE: return "cannot be read; not scanned";
    case IDS_SKIP_PATH_TOO_LONG: return "path too long; not scanned";
    case IDS_SKIP_ENGINE_FAULT: return "the engine failed on this file; not fully scanned";
    case IDS_SKIP_FOLDER_UNREADABLE: return "folder cannot be read; its files are not scanned";
    case IDS_SKIP_SYSTEM_FS: return "a system file system, not storage; not scanned";
    case IDS_SKIP_ENGINE_PARTIAL: return "not fully scanned (%s); the engine stopped part way";
    case IDS_SKIP_NOT_LISTED: return "not one of the listed types (--all-files scans it); not scanned";
    case IDS_SKIP_NOT_REGULAR: return "not a regular file; not scanned";
    case IDS_ENGINE_SETTINGS_BAD_LINE:
        return ": not understood (engine, database or clamd = VALUE; alert-exceeds-max, alert-encrypted or quarantine = yes or "
               "no)";

    case IDS_BIN_TOOL_USAGE:
        return "usage: quillet-bin [--verbose] [list | restore [--allow] NUM... | delete NUM... | empty]\n";
    case IDS_BIN_TOOL_VERSION: return "quillet-bin %d.%d.%d.%d\n";
    case IDS_BIN_TOOL_NO_SUCH_BACKUP: return "quillet-bin: %u: %s\n";
    case IDS_BIN_TOOL_CANNOT_RESTORE: return "quillet-bin: cannot restore %s: %s; the backup is kept\n";
    case IDS_BIN_TOOL_GONE: return "quillet-bin: %s: %s; the backup is gone\n";
    case IDS_BIN_TOOL_NOT_DELETED_ONE: return "quillet-bin: %d backup could not be deleted\n";
    case IDS_BIN_TOOL_NOT_DELETED_MANY: return "quillet-bin: %d backups could not be deleted\n";
    case IDS_BIN_TOOL_OPTIONS:
        return "  list            list the backups, one per line (the default)\n"
               "  restore NUM...  restore the backups with these numbers\n"
               "  --allow         with restore: allow each quarantined finding restored\n"
               "  delete NUM...   delete the backups with these numbers for good\n"
               "  empty           delete every backup\n"
               "  --verbose       say on standard error what failed quietly\n"
               "  --help          print this help and exit\n"
               "  --version       print the version and exit\n";

    case IDS_APP_VERSION: return "quillet %d.%d.%d.%d\n";
    case IDS_APP_HELP:
        return "usage: quillet [--backup-bin] [--history [ID]] [--verbose] [--engine auto|reference|clamav|clamd|LIBRARY] "
           "[--database DIR] [--clamd ADDRESS] [PATH]...\n"
           "  --backup-bin      open the Backup Bin alone; no engine is loaded\n"
           "  --history [ID]    open the history of scans alone, at scan ID; no engine is loaded\n"
           "  --watch-media [--enable|--disable]\n"
           "                    offer to scan each drive inserted; --enable/--disable: at log-in or not\n"
           "  --verbose         say on standard error what failed quietly\n"
           "  --engine NAME     auto (default), reference, clamav, clamd or a library's path\n"
           "  --database DIR    clamav's signature folder (default /var/lib/clamav)\n"
           "  --clamd ADDRESS   unix:PATH or tcp:HOST:PORT (default: from clamd.conf)\n"
           "  --help            print this help and exit\n"
           "  --version         print the version and exit\n";

    case IDS_RESTORE_OK: return "restored";
    case IDS_RESTORE_NOT_A_BACKUP: return "no such backup";
    case IDS_RESTORE_BAD_FOLDER: return "the folder is missing, not a real folder, or reached through a link";
    case IDS_RESTORE_NOT_A_FILE: return "something other than a file is in its place";
    case IDS_RESTORE_NOT_WRITABLE: return "the file in its place is not yours to write";
    case IDS_RESTORE_OWNER: return "the owner or permissions of the file in its place could not be kept";
    case IDS_RESTORE_WRITE_FAILED: return "it could not be written (disk full or read error)";
    case IDS_RESTORE_GONE: return "already restored or deleted by another program";
    case IDS_RESTORE_NAME_TAKEN: return "its name holds another file now; nothing was replaced";

    case IDS_TREE_COMPUTER: return "Computer";
    case IDS_TREE_NETWORK: return "Network";
    case IDS_TREE_HOME: return "Home";
    case IDS_TREE_ENTIRE_NETWORK: return "Entire Network";
    case IDS_TREE_NOT_RESPONDING: return "(not responding)";

    case IDS_MAIN_ENGINE_LOADING: return "Loading...";
    case IDS_SCAN_TOOL_STILL_LOADING: return "quillet-scan: the engine is still loading...\n";
    case IDS_ENGINE_SETTINGS_UNREADABLE: return ": cannot be read: ";

    case IDS_ALLOW_ALLOWED: return "allowed by the allow-list: %s";
    case IDS_ALLOW_BAD_LINES:
        return "allow-list line not understood (64 hex digits, a tab, the virus name); %d such line(s) skipped, "
               "the first";
    case IDS_ALLOW_NOT_USED: return "allow-list not used (%s); every finding is shown";
    case IDS_ALLOW_LINK: return "a link; the list must be the file itself";
    case IDS_ALLOW_TOO_LARGE: return "larger than 16 MiB";
    case IDS_ALLOW_FILE_CHANGED: return "the file is gone or is no longer the one scanned";
    case IDS_ALLOW_FILE_UNREADABLE: return "the file cannot be read: %s";
    case IDS_ALLOW_CANNOT_WRITE: return "the allow-list %s cannot be written: %s";
    case IDS_ALLOW_NO_NAME: return "the finding has no virus name to allow";
    case IDS_ALLOW_NO_HOME: return "no configuration folder for the allow-list (HOME and XDG_CONFIG_HOME unset)";

    case IDS_RESULT_MENU_REPAIR: return "&Repair";
    case IDS_RESULT_MENU_QUARANTINE: return "&Quarantine";
    case IDS_RESULT_MENU_QUARANTINE_ALL: return "Quarantine a&ll that cannot be repaired";
    case IDS_RESULT_MENU_ALLOW: return "&Allow";
    case IDS_STATE_ALLOWED: return "Allowed";
    case IDS_ALLOW_FAILED: return "This finding could not be allowed:";
    case IDS_BIN_MENU_RESTORE: return "&Restore";
    case IDS_BIN_MENU_DELETE: return "&Delete";
    case IDS_BIN_MENU_RESTORE_ALLOW: return "Restore and &allow";
    case IDS_BIN_ASK_DELETE: return "Delete %d file(s) from the Backup Bin for good? They cannot be restored afterwards.";
    case IDS_BIN_DELETE_FAILED: return "%d file(s) could not be deleted.";
    case IDS_BIN_TOOL_NOT_ALLOWED: return "quillet-bin: %s: restored, not allowed: %s\n";
    case IDS_BIN_ALLOW_NOT_QUARANTINED: return "a backup taken before a repair, not a quarantined finding";
    case IDS_BIN_TOOL_NOT_DELETED: return "quillet-bin: cannot delete %s: %s\n";
    case IDS_BIN_DELETE_GONE: return "gone, or no longer the backup listed";
    case IDS_BIN_DELETE_FAILED_TEXT: return "it could not be removed; the backup is kept";
    case IDS_KIND_BACKUP: return "backup";
    case IDS_KIND_QUARANTINE: return "quarantine";

    case IDS_SCHEDULE_TOOL_USAGE:
        return "usage: quillet-schedule add (--daily HH:MM | --weekly DAY HH:MM | --hourly) [--on-ac-power] "
               "[quillet-scan's options] TARGET...\n"
               "       quillet-schedule list | run NAME | remove NAME\n";
    case IDS_SCHEDULE_TOOL_OPTIONS:
        return "  add               write a schedule as systemd user units, enable it, print its name\n"
               "  --daily HH:MM     every day at that time\n"
               "  --weekly DAY HH:MM  every week on DAY (Mon..Sun) at that time\n"
               "  --hourly          every hour\n"
               "  --on-ac-power     skip the run while on battery\n"
               "                    scan options: --no-subfolders --all-files --hidden --all-drives --repair\n"
               "                    --quarantine --verbose --engine --database --clamd --jobs, as quillet-scan\n"
               "  list              one line a schedule: NAME, WHEN and TARGETS, tab-separated\n"
               "  run NAME          run a schedule's scan now, as its timer would\n"
               "  remove NAME       stop and remove a schedule\n"
               "  --version         print the program's version and exit\n"
               "  --help            print this help and exit\n";
    case IDS_SCHEDULE_LINE_BREAK: return "a line break cannot be passed to a scheduled scan; no schedule was written: %s";
    case IDS_SCHEDULE_NO_SYSTEMD:
        return "systemd does not run this system (no /run/systemd/system, or no systemctl): a schedule could never "
               "start, and none was written";
    case IDS_SCHEDULE_NEXT_SESSION: return "no systemd user instance answers now: the schedule starts with your next session";
    case IDS_SCHEDULE_NOT_FOUND: return "no schedule named %s";
    case IDS_SCHEDULE_UNREADABLE: return "(cannot be read back)";
    case IDS_SCHEDULE_BAD_EXEC: return "its service's ExecStart is not as quillet-schedule writes it";
    case IDS_SCHEDULE_BAD_CALENDAR: return "its timer's OnCalendar is not as quillet-schedule writes it";
    case IDS_SCHEDULE_UNIT_MISSING: return "%s is missing";
    case IDS_SCHEDULE_ALREADY_RUNNING: return "quillet-scan: schedule %s is still running; this run does not scan\n";
    case IDS_SCHEDULE_LOCK_FAILED: return "quillet-scan: cannot lock schedule %s: %s: %s\n";
    case IDS_SCHEDULE_CANNOT_WRITE: return "cannot write %s: %s";
    case IDS_SCHEDULE_UNSAFE_FOLDER: return "%s is not yours alone to write; no schedule was written";
    case IDS_SCHEDULE_NO_SCANNER: return "quillet-scan is not beside this program (%s)";
    case IDS_SCHEDULE_BAD_TIME: return "not a time of day (HH:MM): %s";
    case IDS_SCHEDULE_BAD_DAY: return "not a day of the week (Mon..Sun): %s";
    case IDS_SCHEDULE_NOT_ON_DISK: return "not a folder or file on disk: %s";
    case IDS_SCHEDULE_CANNOT_REMOVE: return "cannot remove %s: %s";
    case IDS_SCHEDULE_START_FAILED: return "systemctl could not start %s: the schedule starts with your next session";
    case IDS_SCHEDULE_CAPTION: return "Schedule";
    case IDS_SCHEDULE_MENU: return "&Schedule...\tCtrl+E";
    case IDS_HISTORY_MENU: return "&History...\tCtrl+H";
    case IDS_MAIN_ENGINE_FAILED: return "Failed";
    case IDS_SETTINGS_MEDIA_WATCH: return "&Offer to scan a drive when it is inserted";
    case IDS_SCAN_TOOL_UNCHANGED:
        return "quillet-scan: %d files found clean before with this engine and signatures, and unchanged since, were "
               "counted without reading them again (--no-cache reads them)\n";
    case IDS_SCAN_TOOL_CACHE_OFF: return "quillet-scan: clean verdicts are not remembered this scan: %s\n";
    case IDS_SCAN_TOOL_PROGRESS: return "Scanned: %d, Infected: %d, %d files/s, %s, %s";
    case IDS_SCHEDULE_COL_NAME: return "Name";
    case IDS_SCHEDULE_COL_WHEN: return "When";
    case IDS_SCHEDULE_COL_TARGETS: return "Targets";
    case IDS_SCHEDULE_DAILY: return "Daily";
    case IDS_SCHEDULE_WEEKLY: return "Weekly";
    case IDS_SCHEDULE_HOURLY: return "Hourly";
    case IDS_SCHEDULE_AC_POWER: return "Only on AC power";
    case IDS_SCHEDULE_ADD: return "&Add";
    case IDS_SCHEDULE_REMOVE: return "&Remove";
    case IDS_SCHEDULE_CLOSE: return "Close";
    case IDS_SCHEDULE_AT: return "At (HH:MM):";
    case IDS_SCHEDULE_ON: return "On:";
    case IDS_SCHEDULE_DAYS: return "Monday\nTuesday\nWednesday\nThursday\nFriday\nSaturday\nSunday";
    case IDS_SCHEDULE_CANNOT_READ: return "cannot read %s: %s";
    case IDS_SCHEDULE_BAD_OPTION: return "not an option a scheduled scan takes: %s";
    case IDS_SCHEDULE_TOOL_VERSION: return "quillet-schedule %d.%d.%d.%d\n";
    case IDS_SCHEDULE_CANNOT_RUN: return "cannot run %s: %s";
    case IDS_HISTORY_HEAD: return "Scan %s (%s)\n";
    case IDS_HISTORY_TIMES: return "  Started: %s, ended: %s\n";
    case IDS_HISTORY_TARGET: return "  Target: %s\n";
    case IDS_HISTORY_ALL_DRIVES: return "all drives";
    case IDS_HISTORY_ENGINE: return "  Engine: %s %s\n";
    case IDS_HISTORY_COUNTS: return "  Scanned: %d, Infected: %d\n";
    case IDS_HISTORY_DONE: return "  Done: %s\n";
    case IDS_HISTORY_DONE_ITEM: return "%s %d";
    case IDS_HISTORY_BACKED_UP: return "Backed up";
    case IDS_HISTORY_EXIT: return "  Exit status: %d\n";
    case IDS_HISTORY_FOUND: return "  Found: %s\t%s\t%s\n";
    case IDS_HISTORY_ERROR: return "  Error: %s\n";
    case IDS_HISTORY_OMITTED_FINDINGS: return "  %d more findings not kept\n";
    case IDS_HISTORY_OMITTED_ERRORS: return "  %d more errors not kept\n";
    case IDS_ROAD_COMMAND: return "command line";
    case IDS_ROAD_WINDOW: return "window";
    case IDS_ROAD_SCHEDULE: return "schedule %s";
    case IDS_HISTORY_UNREADABLE: return "quillet-scan: %s: the history cannot be read: %s\n";
    case IDS_HISTORY_NOT_WRITTEN: return "quillet-scan: %s: the scan was not added to the history: %s\n";
    case IDS_HISTORY_LINK: return "a link, not followed";
    case IDS_HISTORY_NO_FOLDER: return "no home folder";
    case IDS_HISTORY_TITLE: return "Scan history";
    case IDS_HISTORY_COL_START: return "Started";
    case IDS_HISTORY_COL_ROAD: return "Started by";
    case IDS_HISTORY_COL_TARGETS: return "Targets";
    case IDS_HISTORY_COL_SCANNED: return "Scanned";
    case IDS_HISTORY_COL_INFECTED: return "Infected";
    case IDS_HISTORY_COL_EXIT: return "Exit status";

    case IDS_NOTIFY_FOUND_ONE: return "Quillet found 1 infected file";
    case IDS_NOTIFY_FOUND_MANY: return "Quillet found %d infected files";
    case IDS_NOTIFY_CLEAN: return "Quillet found no virus";
    case IDS_NOTIFY_FAILED: return "Quillet's scan failed";
    case IDS_NOTIFY_FINDING: return "%s in %s (%s)";
    case IDS_NOTIFY_MORE: return "and %d more";
    case IDS_NOTIFY_STOPPED: return "The scan was stopped after %d files; it is not complete.";
    case IDS_NOTIFY_ACTION: return "Show in history";
    case IDS_NOTIFY_NOT_SENT: return "quillet-scan: the desktop notification was not sent: %s\n";
    case IDS_NOTIFY_NO_BUS: return "no session bus";
    case IDS_NOTIFY_NO_ANSWER: return "the notification service did not answer in time";
    case IDS_HISTORY_CANNOT_READ: return "The history cannot be read: %s: %s";

    case IDS_SIG_CONTAINER: return "%s: version %s, built %s, signature count %s";
    case IDS_SIG_LOCAL: return "%s: local signatures";
    case IDS_SIG_UNREADABLE: return "%s: cannot be read: %s";
    case IDS_SIG_HEADER_TRUNCATED: return "its header is cut short";
    case IDS_SIG_HEADER_NOT_ONE: return "it has no database header";
    case IDS_SIG_HEADER_DAMAGED: return "its header is damaged";
    case IDS_SIG_NO_DATE: return "at an unknown time";
    case IDS_SIG_NONE: return "%s: no signature database";
    case IDS_SIG_ONLY_LISTS: return "%s: no signature database, only ignore and allow lists";
    case IDS_SIG_FOLDER_UNREADABLE: return "%s: the signature folder cannot be read: %s";
    case IDS_SIG_FOLDER_LINK: return "a link, not followed";
    case IDS_SIG_NOT_REGULAR: return "not a regular file";
    case IDS_SIG_DAEMON: return "clamd at %s: ClamAV %s, database version %s, built %s";
    case IDS_SIG_DAEMON_UNSIGNED: return "clamd at %s: ClamAV %s, local signatures";
    case IDS_SIG_DAEMON_NO_ANSWER: return "clamd at %s did not answer its version: %s";
    case IDS_SIG_DAEMON_GARBAGE: return "clamd at %s answered its version with \"%s\", not clamd's words";
    case IDS_SIG_DAEMON_SILENT: return "no answer within a second";
    case IDS_SIG_DAEMON_CLOSED: return "it closed the connection without a word";
    case IDS_SIG_UNDATED: return "No signature database says when it was built: their age is unknown.";
    case IDS_SIG_FUTURE: return "%s says it was built %s, in the future: the clock or the database is wrong.";
    case IDS_SIG_STALE: return "The newest signature database is %s days old (built %s).";
    case IDS_SIG_UPDATER_STOPPED: return "The signature updater clamav-freshclam is not running; to start it: %s";
    case IDS_SIG_UPDATER_MISSING:
        return "The signature updater clamav-freshclam is not installed; to install it: "
               "sudo apt-get install clamav-freshclam";
    case IDS_SIG_UPDATER_STALLED:
        return "The signature updater clamav-freshclam runs but has brought no newer database; see %s";
    case IDS_SIG_START_SYSTEMD: return "sudo systemctl enable --now clamav-freshclam";
    case IDS_SIG_START_SERVICE: return "sudo service clamav-freshclam start";
    case IDS_SIG_LOG_SYSTEMD: return "journalctl -u clamav-freshclam";
    case IDS_SIG_LOG_FILE: return "/var/log/clamav/freshclam.log";
    case IDS_SIG_TOOL_WARNING: return "quillet-scan: warning: %s\n";
    case IDS_SIG_TOOL_ENGINE: return "engine: %s\n";
    case IDS_SIG_TOOL_LINE: return "%s\n";
    case IDS_SIG_INFO_HEADING: return "Signatures:";
    case IDS_SIG_INFO_MENU: return "&Information...\tCtrl+I";
    case IDS_SIG_DAEMON_NAME: return "clamd at %s";
    case IDS_AUTO_CHOSE_CLAMD: return "auto chose the ClamAV daemon at %s";
    case IDS_AUTO_CHOSE_CLAMAV: return "auto chose ClamAV with the signatures in %s (%s)";
    case IDS_AUTO_CHOSE_REFERENCE: return "auto chose the test engine, which finds only test files (%s; %s)";
    case IDS_AUTO_NO_DAEMON: return "no ClamAV daemon is configured";
    case IDS_AUTO_NO_LIBRARY: return "the ClamAV engine is not installed (package quillet-engine-clamav)";
    case IDS_AUTO_NO_DATABASE: return "no ClamAV signatures in %s: %s";
    case IDS_ENGINE_CHOICE_WHAT: return "engine";
    case IDS_SCAN_TOOL_TEST_ENGINE: return "quillet-scan: test engine: finds only test files\n";
    case IDS_MAIN_ENGINE_TEST: return "Test engine: finds only test files";
    case IDS_MAIN_ENGINE_CLAMAV: return "ClamAV";
    case IDS_MAIN_ENGINE_CLAMD: return "ClamAV daemon";
    case IDS_SETTINGS_MENU: return "Se&ttings...\tCtrl+,";
    case IDS_SETTINGS_CAPTION: return "Settings";
    case IDS_SETTINGS_ENGINE: return "&Engine:";
    case IDS_SETTINGS_ENGINE_AUTO: return "Automatic (a daemon, else ClamAV, else the test engine)";
    case IDS_SETTINGS_ENGINE_REFERENCE: return "Test engine (finds only test files)";
    case IDS_SETTINGS_ENGINE_CLAMAV: return "ClamAV in Quillet";
    case IDS_SETTINGS_ENGINE_CLAMD: return "ClamAV daemon";
    case IDS_SETTINGS_DATABASE: return "&Signature folder:";
    case IDS_SETTINGS_CLAMD: return "Daemon &address:";
    case IDS_SETTINGS_QUARANTINE: return "&Quarantine what cannot be repaired";
    case IDS_SETTINGS_SAVE: return "&Save";
    case IDS_SETTINGS_CANCEL: return "Cancel";
    case IDS_SETTINGS_NOT_SAVED: return "The settings were not saved: %s";
    case IDS_SETTINGS_CANNOT_READ: return "The settings file cannot be used, so the dialog starts from the defaults: %s";
    case IDS_ENGINE_NOT_INSTALLED:
        return "the ClamAV engine is not installed: %s: %s; install the quillet-engine-clamav package, or choose "
               "another engine";
    case IDS_SETTINGS_ENGINE_LIBRARY: return "Library %s";
    case IDS_SETTINGS_NOT_APPLIED: return "The settings were saved, but the engine could not be changed: %s";
    case IDS_SETTINGS_NOT_A_FOLDER: return "The signature folder %s cannot be used: %s";
    case IDS_DAEMON_NO_SOCKET:
        return "No ClamAV daemon listens at %s (%s): start it with \"sudo systemctl start clamav-daemon\"";
    case IDS_DAEMON_REFUSED:
        return "The ClamAV daemon at %s refuses the connection (%s): it is not running; start it with "
               "\"sudo systemctl start clamav-daemon\"";
    case IDS_DAEMON_PERMISSION:
        return "The ClamAV daemon's socket %s may not be opened by this user (%s): fix the socket's permissions "
               "(LocalSocketMode 666, or LocalSocketGroup set to a group of this user, in /etc/clamav/clamd.conf), "
               "then \"sudo systemctl restart clamav-daemon\"";
    case IDS_DAEMON_UNREACHABLE:
        return "The ClamAV daemon at %s cannot be reached (%s): check the address and start it with "
               "\"sudo systemctl start clamav-daemon\"";
    case IDS_DAEMON_NOT_CLAMD:
        return "What answers at %s is not a ClamAV daemon (%s): give the daemon's own address, its LocalSocket "
               "or TCPSocket in /etc/clamav/clamd.conf";
    case IDS_DAEMON_SILENT:
        return "The ClamAV daemon at %s gave no answer (%s): restart it with "
               "\"sudo systemctl restart clamav-daemon\"";
    case IDS_DAEMON_CANNOT_READ:
        return "The ClamAV daemon at %s could not read a file it was passed (%s): it reads as its own user, so "
               "check the socket's permissions and the LocalSocketGroup setting in /etc/clamav/clamd.conf";
    case IDS_DATABASE_PROBLEM: return "ClamAV has no usable signature database in %s: %s; ";
    case IDS_DATABASE_FIX_FRESHCLAM:
        return "run \"sudo freshclam\", or wait for the clamav-freshclam service to fetch it, or copy .cvd files "
               "into a folder and give it with --database DIR";
    case IDS_DATABASE_FIX_INSTALL:
        return "install clamav-freshclam to fetch one (sudo apt-get install clamav-freshclam), or copy .cvd files "
               "into a folder and give it with --database DIR";
    case IDS_DATABASE_LINK_TO_NOTHING: return "it is a link to %s, which does not exist";
    case IDS_DATABASE_NO_SIGNATURES: return "the folder holds no signatures";
    case IDS_LAUNCH_BAD_OPTION: return "quillet: %s: unknown option (a path that begins with '-' is given as ./%s)\n";
    case IDS_LAUNCH_HELP_PATHS:
        return "  PATH...           scan these files and folders (or file: URIs) at once in the results window,\n"
               "                    with the options of the last scan started from the main window\n";
    case IDS_LAUNCH_PATHS_WITH: return "quillet: paths cannot be given with %s\n";
    case IDS_LAUNCH_NO_VALUE: return "quillet: %s needs a value\n";
    case IDS_LAUNCH_MISSING: return "These were not found and are not scanned:";
    case IDS_LAUNCH_MISSING_MORE: return "... and %d more.";
    case IDS_LAUNCH_NOTHING_LEFT: return "Nothing is left to scan.";
    case IDS_LAUNCH_LOADING: return "The scan engine is getting ready. The scan starts as soon as it is.";
    case IDS_LAUNCH_NOT_LOCAL: return "not a file on this computer";
    case IDS_MEDIA_OFFER: return "Scan %s (%s)?";
    case IDS_MEDIA_ACTION: return "Scan";
    case IDS_MEDIA_SIZE_UNKNOWN: return "size not known";
    case IDS_MEDIA_UNIT_B: return "B";
    case IDS_MEDIA_UNIT_KIB: return "KiB";
    case IDS_MEDIA_UNIT_MIB: return "MiB";
    case IDS_MEDIA_UNIT_GIB: return "GiB";
    case IDS_MEDIA_UNIT_TIB: return "TiB";
    case IDS_MEDIA_NO_SERVICE: return "quillet --watch-media: no desktop notification service: %s\n";
    case IDS_MEDIA_SETTINGS_UNREADABLE: return "quillet --watch-media: %s: cannot be read: %s\n";
    case IDS_MEDIA_SETTINGS_BAD_LINE: return "quillet --watch-media: %s:%d: line not understood\n";
    case IDS_MEDIA_NOT_STARTED: return "quillet --watch-media: %s cannot be started: %s\n";
    case IDS_MEDIA_AUTOSTART_NOT_WRITTEN: return "quillet --watch-media: %s: the autostart entry cannot be written: %s\n";
    case IDS_MEDIA_AUTOSTART_NOT_REMOVED: return "quillet --watch-media: %s: the autostart entry cannot be removed: %s\n";
    case IDS_MEDIA_ENTRY_NAME: return "Quillet drive watch";
    case IDS_MEDIA_ENTRY_COMMENT: return "Offers to scan a drive when it is inserted";
    case IDS_MEDIA_USAGE: return "usage: quillet --watch-media [--enable|--disable]\n";
    case IDS_MEDIA_NO_CONFIG_FOLDER: return "no configuration folder (neither XDG_CONFIG_HOME nor a home folder)";
    case IDS_BIN_COL_DATE: return "Date";
    case IDS_BIN_COL_KIND: return "Kind";
    case IDS_BIN_COL_VIRUS: return "Virus name";
    }
    return "";
}
