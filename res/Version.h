// The program's version record (Korean, 0x0412; code page 1200), and the
// short version the About and information boxes show. The desktop metainfo
// in res/ and the packages take their version from here (CMake reads it).
#pragma once

inline constexpr int QUILLET_VERSION_MAJOR = 1;
inline constexpr int QUILLET_VERSION_MINOR = 0;
inline constexpr int QUILLET_VERSION_PATCH = 0;
inline constexpr int QUILLET_VERSION_BUILD = 4;
inline constexpr unsigned QUILLET_VERSION_LANGUAGE = 0x0412;
inline constexpr unsigned QUILLET_VERSION_CODEPAGE = 1200;

inline constexpr const char* QUILLET_FILE_VERSION = "1, 0, 0, 4";
inline constexpr const char* QUILLET_PRODUCT_VERSION = "1, 0, 0, 4";
inline constexpr const char* QUILLET_INTERNAL_NAME = "Quillet";
inline constexpr const char* QUILLET_ORIGINAL_FILENAME = "Quillet.EXE";
inline constexpr const char* QUILLET_FILE_DESCRIPTION = "Torvane Professional 응용 프로그램";
inline constexpr const char* QUILLET_PRODUCT_NAME = "Torvane Professional 응용 프로그램";
inline constexpr const char* QUILLET_SPECIAL_BUILD = "2001.8";
inline constexpr const char* QUILLET_LEGAL_TRADEMARKS = "";
inline constexpr const char* QUILLET_PRIVATE_BUILD = "";
inline constexpr const char* QUILLET_COMPANY_NAME = "Kestrum";
inline constexpr const char* QUILLET_LEGAL_COPYRIGHT = "Copyright (C) 2001 Kestrum";
inline constexpr const char* QUILLET_COMMENTS = "Hana Seo";

// "1.0": what the boxes put after "버전".
inline constexpr const char* QUILLET_VERSION_SHORT = "1.0";
inline constexpr const char* QUILLET_HOME_PAGE = "http://www.kestrum.example/";
