// FNV-1a over bytes: finds a record torn or edited by accident; it is no
// defence against forgery.
#pragma once

#include <cstdint>
#include <string_view>

inline uint64_t Fnv1a64(std::string_view bytes) {
    uint64_t nHash = 14695981039346656037ull;
    for (unsigned char c : bytes) {
        nHash ^= c;
        nHash *= 1099511628211ull;
    }
    return nHash;
}
