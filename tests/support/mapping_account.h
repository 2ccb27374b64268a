// The system's account of the mapping that holds an address: one field of
// its entry in /proc/self/smaps, in kilobytes; -1 when it is not found.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace testsupport {

inline long MappingKilobytes(const void* address, const char* field) {
    const auto at = reinterpret_cast<uintptr_t>(address);
    FILE* f = std::fopen("/proc/self/smaps", "r");
    if (!f) return -1;
    const size_t n = std::strlen(field);
    char line[512];
    bool inside = false;
    long kb = -1;
    while (std::fgets(line, sizeof line, f)) {
        unsigned long from = 0, to = 0;
        if (std::sscanf(line, "%lx-%lx ", &from, &to) == 2) {
            inside = at >= from && at < to;
        } else if (inside && std::strncmp(line, field, n) == 0 && line[n] == ':') {
            std::sscanf(line + n + 1, "%ld", &kb);
            break;
        }
    }
    std::fclose(f);
    return kb;
}

}  // namespace testsupport
