// Every text the program shows or writes, in one string table by id. Texts
// are UTF-8 and stay byte for byte as users have always read them: odd
// blanks, the cut-off explanation and the Korean texts included.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

enum EStringId : uint16_t {
    // Shared by several windows.
    IDS_PRODUCT_CAPTION = 101,  // "Torvane Professional"
    IDS_SELECT_ITEM = 103,
    IDS_ENGINE_LOAD_FAILED = 104,
    IDS_EXIT = 105,
    IDS_COUNT_ZERO = 106,  // a counter before the first count
    IDS_HOMEPAGE_ADDRESS = 107,

    // Main dialog.
    IDS_MAIN_SCAN_NOW = 110,
    IDS_MAIN_CONFIGURATION = 111,
    IDS_MAIN_SUBFOLDERS = 112,
    IDS_MAIN_ALL_FILES = 113,
    IDS_MAIN_AUTO_REPAIR = 114,
    IDS_MAIN_BACKUP = 115,
    IDS_MAIN_BACKUP_BIN = 116,
    IDS_MAIN_TAVIN = 117,
    IDS_MAIN_ENGINE_VER = 118,
    IDS_MAIN_ENGINE_VER_NONE = 119,  // shown until an engine reports its version

    // About and information boxes.
    IDS_ABOUT_CAPTION = 130,
    IDS_BOX_OK = 131,
    IDS_ABOUT_VERSION = 132,  // the short version follows
    IDS_INFO_VERSION = 133,   // two blanks before the version word, as this box always had
    IDS_ABOUT_RIGHTS = 134,
    IDS_MAKER_LINE_1 = 135,
    IDS_MAKER_LINE_2 = 136,
    IDS_MAKER_LINE_3 = 137,
    IDS_HOMEPAGE_LINE = 138,
    IDS_CONTACT_LINE_1 = 139,
    IDS_CONTACT_LINE_2 = 140,

    // Repair roads, notice box and progress window.
    IDS_REPAIR_SELECT_ITEM = 189,
    IDS_REPAIR_CAPTION = 190,
    IDS_REPAIR_PROGRESS = 191,  // the path follows
    IDS_NOTICE_OK = 192,
    IDS_NOTICE_DONT_SHOW = 193,
    IDS_PROCESSING_CAPTION = 194,
    IDS_PROCESSING_CONTEXT = 195,

    // Scan results dialog.
    IDS_SCAN_REPAIR = 200,
    IDS_SCAN_STOP = 201,
    IDS_SCAN_FILE_CAPTION = 202,
    IDS_SCAN_SCANNED = 203,
    IDS_SCAN_INFECTED = 204,
    IDS_SCAN_HOMEPAGE = 205,
    IDS_SCAN_SELECT_ALL = 206,
    IDS_SCAN_FINISHED = 207,
    IDS_COL_NUM = 210,
    IDS_COL_FILE = 211,
    IDS_COL_VIRUS = 212,
    IDS_COL_STATUS = 213,

    // Result states: IDS_STATE_FIRST + the state.
    IDS_STATE_FIRST = 221,
    IDS_STATE_REPAIRABLE = IDS_STATE_FIRST,
    IDS_STATE_UNREPAIRABLE = 222,
    IDS_STATE_NEW_VIRUS = 223,
    IDS_STATE_SUSPECTED = 224,
    IDS_STATE_NOT_SUPPORT = 225,
    IDS_STATE_AFTER_DECOMPRESSION = 226,
    IDS_STATE_ACCESS_DENIED = 227,
    IDS_STATE_OK = 228,
    IDS_STATE_REPAIRED = 229,
    IDS_STATE_DELETED = 230,
    IDS_STATE_FAIL_TO_REPAIR = 231,
    IDS_STATE_OVERLAPPED = 232,
    IDS_STATE_AFTER_DECRYPTION = 233,
    IDS_STATE_QUARANTINED = 234,
    IDS_STATE_UNKNOWN = 235,  // "%d": a report code the table does not know
    // Why a quarantine left the file where it was.
    IDS_STATE_QUARANTINE_NO_COPY = 236,
    IDS_STATE_QUARANTINE_CHANGED = 237,
    IDS_STATE_QUARANTINE_READ_ONLY = 243,

    // Repair notices, in the order the roads test a state, and the question.
    IDS_NOTICE_UNREPAIRABLE = 238,
    IDS_NOTICE_NEW_VIRUS = 239,
    IDS_NOTICE_SUSPECTED = 240,
    IDS_NOTICE_ENCRYPTED = 241,
    IDS_NOTICE_REPAIRED = 242,
    IDS_REPAIR_QUESTION = 253,
    IDS_NOTICE_DECOMPRESSION = 254,
    // After a Repair pass: what it could not repair may go into the Bin.
    IDS_REPAIR_OFFER_QUARANTINE_ONE = 255,
    IDS_REPAIR_OFFER_QUARANTINE_MANY = 256,  // "%d": how many

    // Backup Bin.
    IDS_BIN_TITLE = 300,
    IDS_BIN_RESTORE = 301,
    IDS_BIN_NUM = 302,
    IDS_BIN_EMPTY = 303,
    IDS_BIN_EXPLANATION = 304,
    IDS_BIN_COL_NUM = 305,
    IDS_BIN_COL_NAME = 306,
    IDS_BIN_COL_FOLDER = 307,
    IDS_BIN_COL_FILE = 308,
    IDS_BIN_NOTHING_TICKED = 310,
    IDS_BIN_RESTORE_ERROR = 311,  // its caption
    IDS_BIN_ASK_RESTORE = 312,
    IDS_BIN_ASK_EMPTY = 313,
    IDS_BIN_CAPTION = 314,  // the old questions' caption; the boxes now use IDS_PRODUCT_CAPTION
    IDS_BIN_RESTORE_FAILED = 315,  // "%d": restores that failed
    IDS_BIN_EMPTY_FAILED = 316,    // "%d": deletions that failed
    IDS_BIN_EMPTY_ERROR = 317,     // their caption
    IDS_BIN_RESTORE_GONE = 318,    // "%d": ticked rows whose backup another program took first

    // quillet-scan.
    IDS_SCAN_TOOL_USAGE = 400,
    IDS_SCAN_TOOL_VERSION = 401,  // "%d.%d.%d.%d", the version record
    IDS_SCAN_TOOL_COUNTS = 402,   // "%d": scanned, infected
    IDS_SCAN_TOOL_NO_TARGET = 403,  // "%s": the target, "%s": the reason
    IDS_SCAN_TOOL_OPTIONS = 404,    // --help: one line per option, after the usage
    IDS_SCAN_TOOL_STOPPED = 405,    // "%d": files met before the stop

    // The end of a scan in the window: what could not be fully scanned.
    IDS_SCAN_NOT_FULLY_ONE = 490,
    IDS_SCAN_NOT_FULLY_MANY = 491,  // "%d": how many

    // Why something met was not scanned (ESkipReason order).
    IDS_SKIP_UNREADABLE = 450,
    IDS_SKIP_PATH_TOO_LONG = 451,
    IDS_SKIP_ENGINE_FAULT = 452,
    IDS_SKIP_FOLDER_UNREADABLE = 453,
    IDS_SKIP_SYSTEM_FS = 454,
    IDS_SKIP_ENGINE_PARTIAL = 455,  // "%s": the limit the engine stopped at
    IDS_SKIP_NOT_LISTED = 456,
    IDS_SKIP_NOT_REGULAR = 457,

    // The engine settings file.
    IDS_ENGINE_SETTINGS_BAD_LINE = 480,  // after "PATH:LINE"

    // quillet-bin.
    IDS_BIN_TOOL_USAGE = 410,
    IDS_BIN_TOOL_VERSION = 411,             // "%d.%d.%d.%d"
    IDS_BIN_TOOL_NO_SUCH_BACKUP = 412,      // "%u": the number, "%s": the reason
    IDS_BIN_TOOL_CANNOT_RESTORE = 413,      // "%s": the path, "%s": the reason
    IDS_BIN_TOOL_NOT_DELETED_ONE = 414,     // "%d": always 1
    IDS_BIN_TOOL_NOT_DELETED_MANY = 415,    // "%d": how many
    IDS_BIN_TOOL_OPTIONS = 416,             // --help: one line per command and option, after the usage
    IDS_BIN_TOOL_GONE = 319,                // "%s": the path, "%s": the reason

    // quillet.
    IDS_APP_VERSION = 420,  // "%d.%d.%d.%d"
    IDS_APP_HELP = 421,

    // Why a restore failed, as quillet-bin and the log say it.
    IDS_RESTORE_OK = 430,
    IDS_RESTORE_NOT_A_BACKUP = 431,
    IDS_RESTORE_BAD_FOLDER = 432,
    IDS_RESTORE_NOT_A_FILE = 433,
    IDS_RESTORE_NOT_WRITABLE = 434,
    IDS_RESTORE_OWNER = 435,
    IDS_RESTORE_WRITE_FAILED = 436,
    IDS_RESTORE_GONE = 437,
    IDS_RESTORE_NAME_TAKEN = 438,

    // The folder tree's places.
    IDS_TREE_COMPUTER = 440,
    IDS_TREE_NETWORK = 441,
    IDS_TREE_HOME = 442,
    IDS_TREE_ENTIRE_NETWORK = 443,
    IDS_TREE_NOT_RESPONDING = 444,  // the one item under a folder whose read timed out

    // An engine still turning on.
    IDS_MAIN_ENGINE_LOADING = 460,      // "Engine Ver." until the engine is ready
    IDS_SCAN_TOOL_STILL_LOADING = 461,  // quillet-scan, after a few seconds of waiting
    IDS_ENGINE_SETTINGS_UNREADABLE = 462,  // after the settings file's path, before the reason

    // The allow-list.
    IDS_ALLOW_ALLOWED = 500,         // "%s": the virus name; the path follows
    IDS_ALLOW_BAD_LINES = 501,       // "%d": how many; "PATH:LINE" of the first follows
    IDS_ALLOW_NOT_USED = 502,        // "%s": why; the list's path follows
    IDS_ALLOW_LINK = 503,
    IDS_ALLOW_TOO_LARGE = 504,
    IDS_ALLOW_FILE_CHANGED = 505,
    IDS_ALLOW_FILE_UNREADABLE = 506,  // "%s": why
    IDS_ALLOW_CANNOT_WRITE = 507,     // "%s": the list's path, "%s": why
    IDS_ALLOW_NO_NAME = 508,
    IDS_ALLOW_NO_HOME = 509,

    // Acting on findings: the results list's menu, the Bin's menu.
    IDS_RESULT_MENU_REPAIR = 510,
    IDS_RESULT_MENU_QUARANTINE = 511,
    IDS_RESULT_MENU_QUARANTINE_ALL = 512,
    IDS_RESULT_MENU_ALLOW = 513,
    IDS_STATE_ALLOWED = 514,
    IDS_ALLOW_FAILED = 515,  // the path follows, then why
    IDS_BIN_MENU_RESTORE = 516,
    IDS_BIN_MENU_DELETE = 517,
    IDS_BIN_MENU_RESTORE_ALLOW = 518,
    IDS_BIN_ASK_DELETE = 519,     // "%d": how many
    IDS_BIN_DELETE_FAILED = 520,  // "%d": how many
    IDS_BIN_TOOL_NOT_ALLOWED = 521,  // quillet-bin: "%s" the path, "%s" why
    IDS_BIN_ALLOW_NOT_QUARANTINED = 522,
    IDS_BIN_TOOL_NOT_DELETED = 523,  // quillet-bin: "%s" the path, "%s" why
    IDS_BIN_DELETE_GONE = 524,
    IDS_BIN_DELETE_FAILED_TEXT = 525,
    IDS_KIND_BACKUP = 526,
    IDS_KIND_QUARANTINE = 527,

    // Scheduled scans: quillet-schedule, quillet-scan --schedule, the Schedule dialog.
    IDS_SCHEDULE_TOOL_USAGE = 530,
    IDS_SCHEDULE_TOOL_OPTIONS = 531,    // --help: after the usage
    IDS_SCHEDULE_LINE_BREAK = 532,      // "%s": the word, escaped
    IDS_SCHEDULE_NO_SYSTEMD = 533,
    IDS_SCHEDULE_NEXT_SESSION = 534,
    IDS_SCHEDULE_NOT_FOUND = 535,       // "%s": the name
    IDS_SCHEDULE_UNREADABLE = 536,      // in place of the time of a schedule not read back
    IDS_SCHEDULE_BAD_EXEC = 537,
    IDS_SCHEDULE_BAD_CALENDAR = 538,
    IDS_SCHEDULE_UNIT_MISSING = 539,    // "%s": the unit's file name
    IDS_SCHEDULE_ALREADY_RUNNING = 540,  // quillet-scan: "%s" the name
    IDS_SCHEDULE_LOCK_FAILED = 541,     // quillet-scan: "%s" the name, "%s" the path, "%s" why
    IDS_SCHEDULE_CANNOT_WRITE = 542,    // "%s": the path, "%s": why
    IDS_SCHEDULE_UNSAFE_FOLDER = 543,   // "%s": the folder
    IDS_SCHEDULE_NO_SCANNER = 544,      // "%s": where it was looked for
    IDS_SCHEDULE_BAD_TIME = 545,        // "%s": what was given
    IDS_SCHEDULE_BAD_DAY = 546,         // "%s": what was given
    IDS_SCHEDULE_NOT_ON_DISK = 547,     // "%s": the target
    IDS_SCHEDULE_CANNOT_REMOVE = 548,   // "%s": the path, "%s": why
    IDS_SCHEDULE_START_FAILED = 549,    // "%s": the timer's unit
    IDS_SCHEDULE_CAPTION = 550,
    IDS_SCHEDULE_MENU = 551,
    IDS_HISTORY_MENU = 610,
    IDS_SCAN_TOOL_PROGRESS = 611,
    IDS_MAIN_ENGINE_FAILED = 612,  // "Engine Ver." after a failed load
    IDS_SCAN_TOOL_UNCHANGED = 614,   // "%d" files
    IDS_SCAN_TOOL_CACHE_OFF = 615,   // "%s" why
    IDS_SETTINGS_MEDIA_WATCH = 613,  // "%d" scanned, "%d" found, "%d" files a second, "%s" folder, "%s" time
    IDS_SCHEDULE_COL_NAME = 552,
    IDS_SCHEDULE_COL_WHEN = 553,
    IDS_SCHEDULE_COL_TARGETS = 554,
    IDS_SCHEDULE_DAILY = 555,
    IDS_SCHEDULE_WEEKLY = 556,
    IDS_SCHEDULE_HOURLY = 557,
    IDS_SCHEDULE_AC_POWER = 558,
    IDS_SCHEDULE_ADD = 559,
    IDS_SCHEDULE_REMOVE = 560,
    IDS_SCHEDULE_CLOSE = 561,
    IDS_SCHEDULE_AT = 562,
    IDS_SCHEDULE_ON = 563,
    IDS_SCHEDULE_DAYS = 564,            // the week from Monday, one name a line
    IDS_SCHEDULE_CANNOT_READ = 565,     // "%s": the path, "%s": why
    IDS_SCHEDULE_BAD_OPTION = 566,      // "%s": the option
    IDS_SCHEDULE_TOOL_VERSION = 567,    // "%d.%d.%d.%d", the version record
    IDS_SCHEDULE_CANNOT_RUN = 568,      // "%s": the program, "%s": why
    // The history of scans: quillet-scan --history and its window.
    IDS_HISTORY_HEAD = 570,          // "%s": the record's id, "%s": how it was started
    IDS_HISTORY_TIMES = 571,         // "%s": start, "%s": end
    IDS_HISTORY_TARGET = 572,        // "%s": the target
    IDS_HISTORY_ALL_DRIVES = 573,
    IDS_HISTORY_ENGINE = 574,        // "%s": the engine, "%s": its version
    IDS_HISTORY_COUNTS = 575,        // "%d": scanned, infected
    IDS_HISTORY_DONE = 576,          // "%s": what was done, the items joined
    IDS_HISTORY_DONE_ITEM = 577,     // "%s": a state or IDS_HISTORY_BACKED_UP, "%d": how many
    IDS_HISTORY_BACKED_UP = 578,
    IDS_HISTORY_EXIT = 579,          // "%d"
    IDS_HISTORY_FOUND = 580,         // "%s": path, virus, state
    IDS_HISTORY_ERROR = 581,         // "%s": the error line
    IDS_HISTORY_OMITTED_FINDINGS = 582,  // "%d"
    IDS_HISTORY_OMITTED_ERRORS = 583,    // "%d"
    IDS_ROAD_COMMAND = 584,
    IDS_ROAD_WINDOW = 585,
    IDS_ROAD_SCHEDULE = 586,         // "%s": the schedule's name
    IDS_HISTORY_UNREADABLE = 587,    // "%s": the file, "%s": why
    IDS_HISTORY_NOT_WRITTEN = 588,   // "%s": the file, "%s": why
    IDS_HISTORY_LINK = 589,
    IDS_HISTORY_NO_FOLDER = 590,
    IDS_HISTORY_TITLE = 591,
    IDS_HISTORY_COL_START = 592,
    IDS_HISTORY_COL_ROAD = 593,
    IDS_HISTORY_COL_TARGETS = 594,
    IDS_HISTORY_COL_SCANNED = 595,
    IDS_HISTORY_COL_INFECTED = 596,
    IDS_HISTORY_COL_EXIT = 597,

    // The desktop notification at the end of a scheduled scan.
    IDS_NOTIFY_FOUND_ONE = 598,
    IDS_NOTIFY_FOUND_MANY = 599,     // "%d": how many
    IDS_NOTIFY_CLEAN = 600,
    IDS_NOTIFY_FAILED = 601,
    IDS_NOTIFY_FINDING = 602,        // "%s": virus, path, state
    IDS_NOTIFY_MORE = 603,           // "%d": lines left out
    IDS_NOTIFY_STOPPED = 604,        // "%d": files met before the stop
    IDS_NOTIFY_ACTION = 605,         // the default action's label
    IDS_NOTIFY_NOT_SENT = 606,       // "%s": why
    IDS_NOTIFY_NO_BUS = 607,
    IDS_NOTIFY_NO_ANSWER = 608,
    IDS_HISTORY_CANNOT_READ = 609,   // quillet --history: "%s": the file, "%s": why

    // Signature health: the databases' own headers, the daemon's answer,
    // the updater (700-739).
    IDS_SIG_CONTAINER = 700,         // "%s": name, version, build time, signature count
    IDS_SIG_LOCAL = 701,             // "%s": name
    IDS_SIG_UNREADABLE = 702,        // "%s": name, why
    IDS_SIG_HEADER_TRUNCATED = 703,
    IDS_SIG_HEADER_NOT_ONE = 704,
    IDS_SIG_HEADER_DAMAGED = 705,
    IDS_SIG_NO_DATE = 706,
    IDS_SIG_NONE = 707,              // "%s": the folder
    IDS_SIG_ONLY_LISTS = 708,        // "%s": the folder
    IDS_SIG_FOLDER_UNREADABLE = 709, // "%s": the folder, why
    IDS_SIG_FOLDER_LINK = 710,
    IDS_SIG_NOT_REGULAR = 711,
    IDS_SIG_DAEMON = 712,            // "%s": address, engine, database version, build time
    IDS_SIG_DAEMON_UNSIGNED = 713,   // "%s": address, engine
    IDS_SIG_DAEMON_NO_ANSWER = 714,  // "%s": address, why
    IDS_SIG_DAEMON_GARBAGE = 715,    // "%s": address, the answer
    IDS_SIG_DAEMON_SILENT = 716,
    IDS_SIG_DAEMON_CLOSED = 717,
    IDS_SIG_UNDATED = 718,
    IDS_SIG_FUTURE = 719,            // "%s": name, build time
    IDS_SIG_STALE = 720,             // "%s": days, build time
    IDS_SIG_UPDATER_STOPPED = 721,   // "%s": the command that starts it
    IDS_SIG_UPDATER_MISSING = 722,
    IDS_SIG_UPDATER_STALLED = 723,   // "%s": where its log is
    IDS_SIG_START_SYSTEMD = 724,
    IDS_SIG_START_SERVICE = 725,
    IDS_SIG_LOG_SYSTEMD = 726,
    IDS_SIG_LOG_FILE = 727,
    IDS_SIG_TOOL_WARNING = 728,      // "%s": one warning line
    IDS_SIG_TOOL_ENGINE = 729,       // "%s": the engine's version text
    IDS_SIG_TOOL_LINE = 730,         // "%s": one database line
    IDS_SIG_INFO_HEADING = 731,
    IDS_SIG_INFO_MENU = 732,
    IDS_SIG_DAEMON_NAME = 733,       // "%s": address
    // The engine a user has: auto's choice, the settings dialog, and what
    // is wrong with a ClamAV daemon or signature folder.
    IDS_AUTO_CHOSE_CLAMD = 650,      // "%s": the address
    IDS_AUTO_CHOSE_CLAMAV = 651,     // "%s": the folder, "%s": why no daemon
    IDS_AUTO_CHOSE_REFERENCE = 652,  // "%s": why no daemon, "%s": why not ClamAV
    IDS_AUTO_NO_DAEMON = 653,
    IDS_AUTO_NO_LIBRARY = 654,
    IDS_AUTO_NO_DATABASE = 655,      // "%s": the folder, "%s": why
    IDS_ENGINE_CHOICE_WHAT = 656,    // the diagnostic line's first word
    IDS_SCAN_TOOL_TEST_ENGINE = 657,
    IDS_MAIN_ENGINE_TEST = 658,      // beside "Engine Ver."
    IDS_MAIN_ENGINE_CLAMAV = 659,
    IDS_MAIN_ENGINE_CLAMD = 660,
    IDS_SETTINGS_MENU = 661,
    IDS_SETTINGS_CAPTION = 662,
    IDS_SETTINGS_ENGINE = 663,
    IDS_SETTINGS_ENGINE_AUTO = 664,
    IDS_SETTINGS_ENGINE_REFERENCE = 665,
    IDS_SETTINGS_ENGINE_CLAMAV = 666,
    IDS_SETTINGS_ENGINE_CLAMD = 667,
    IDS_SETTINGS_DATABASE = 668,
    IDS_SETTINGS_CLAMD = 669,
    IDS_SETTINGS_QUARANTINE = 670,
    IDS_SETTINGS_SAVE = 671,
    IDS_SETTINGS_CANCEL = 672,
    IDS_SETTINGS_NOT_SAVED = 673,    // "%s": why
    IDS_SETTINGS_CANNOT_READ = 674,  // "%s": why
    IDS_ENGINE_NOT_INSTALLED = 675,  // "%s": the library, "%s": why
    IDS_SETTINGS_ENGINE_LIBRARY = 676,  // "%s": the library's path
    IDS_SETTINGS_NOT_APPLIED = 677,  // "%s": why
    IDS_SETTINGS_NOT_A_FOLDER = 678, // "%s": the folder, "%s": why
    IDS_DAEMON_NO_SOCKET = 680,      // each: "%s" the address, "%s" the detail
    IDS_DAEMON_REFUSED = 681,
    IDS_DAEMON_PERMISSION = 682,
    IDS_DAEMON_UNREACHABLE = 683,
    IDS_DAEMON_NOT_CLAMD = 684,
    IDS_DAEMON_SILENT = 685,
    IDS_DAEMON_CANNOT_READ = 686,
    IDS_DATABASE_PROBLEM = 687,      // "%s": the folder, "%s": the reason; a fix follows
    IDS_DATABASE_FIX_FRESHCLAM = 688,
    IDS_DATABASE_FIX_INSTALL = 689,
    IDS_DATABASE_LINK_TO_NOTHING = 690,  // "%s": where the link points
    IDS_DATABASE_NO_SIGNATURES = 691,
    // quillet PATH...: the results dialog straight from the command line.
    IDS_LAUNCH_BAD_OPTION = 740,     // "%s": the word, "%s": it again
    IDS_LAUNCH_HELP_PATHS = 741,     // --help's line for the paths
    IDS_LAUNCH_PATHS_WITH = 742,     // "%s": --backup-bin or --history
    IDS_LAUNCH_NO_VALUE = 743,       // "%s": the option
    IDS_LAUNCH_MISSING = 744,        // above the missing paths' lines
    IDS_LAUNCH_MISSING_MORE = 745,   // "%d": lines left out
    IDS_LAUNCH_NOTHING_LEFT = 746,
    IDS_LAUNCH_LOADING = 747,
    IDS_LAUNCH_NOT_LOCAL = 748,      // a URI that names no file here
    // quillet --watch-media: the offer to scan a drive just inserted.
    IDS_MEDIA_OFFER = 770,           // "%s": the drive's name, "%s": its size
    IDS_MEDIA_ACTION = 771,
    IDS_MEDIA_SIZE_UNKNOWN = 772,
    IDS_MEDIA_UNIT_B = 773,
    IDS_MEDIA_UNIT_KIB = 774,
    IDS_MEDIA_UNIT_MIB = 775,
    IDS_MEDIA_UNIT_GIB = 776,
    IDS_MEDIA_UNIT_TIB = 777,
    IDS_MEDIA_NO_SERVICE = 778,      // "%s": why
    IDS_MEDIA_SETTINGS_UNREADABLE = 779,  // "%s": the file, "%s": why
    IDS_MEDIA_SETTINGS_BAD_LINE = 780,    // "%s": the file, "%d": the line
    IDS_MEDIA_NOT_STARTED = 781,     // "%s": the program, "%s": why
    IDS_MEDIA_AUTOSTART_NOT_WRITTEN = 782,  // "%s": the entry, "%s": why
    IDS_MEDIA_AUTOSTART_NOT_REMOVED = 783,  // "%s": the entry, "%s": why
    IDS_MEDIA_ENTRY_NAME = 784,      // the autostart entry's name and comment
    IDS_MEDIA_ENTRY_COMMENT = 785,
    IDS_MEDIA_USAGE = 786,
    IDS_MEDIA_NO_CONFIG_FOLDER = 787,
    // The Backup Bin's columns beyond the template's (800-829).
    IDS_BIN_COL_DATE = 800,
    IDS_BIN_COL_KIND = 801,
    IDS_BIN_COL_VIRUS = 802,
};

// The text of an id in the user's language: the translation put in by
// TranslateTexts, else the table's own text; "" for a number the table does
// not hold. Never null.
const char* LoadText(EStringId eId);

// The table's own text, as users have always read it: the catalogs' msgid.
const char* LoadSourceText(EStringId eId);

// Every id the table holds lies below this.
constexpr int QUILLET_TEXT_ID_END = 1000;

// A catalog's text for a table text; false when it has none.
using FnTranslateText = std::function<bool(const char* pszSource, std::string& strOut)>;

// Looks every text up once, before any other thread reads one: in the
// language's catalog, then in the fallback's (empty: none). Empty both: the
// table's own texts again.
void TranslateTexts(const FnTranslateText& fnLanguage, const FnTranslateText& fnFallback);
