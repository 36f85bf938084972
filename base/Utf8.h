// UTF-8 as the program reads names and texts: file names are bytes, so a
// byte that does not start a whole, well-formed sequence (overlong forms,
// surrogates and values past U+10FFFF included) is one character of its own.
#pragma once

#include <cstddef>
#include <string>

struct CUtf8Char {
    char32_t cp = 0;    // the code point; the byte itself when not valid
    size_t nLen = 1;    // bytes taken
    bool bValid = false;
};

// The character at p, with nAvail (at least 1) bytes there.
CUtf8Char DecodeUtf8(const unsigned char* p, size_t nAvail);

// Where the character that starts at byte i of str ends.
size_t NextCharEnd(const std::string& str, size_t i);

// At most nMax bytes of str, never half a character.
std::string CutUtf8(const std::string& str, size_t nMax);
