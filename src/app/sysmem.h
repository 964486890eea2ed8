#pragma once

#include <cstdint>

namespace tabi {

struct MemoryStatus {
    std::uint64_t totalBytes = 0; // physical memory
    int loadPercent = 0;          // share of physical memory in use
};

// Physical memory as the system reports it now.
MemoryStatus memoryStatus();

} // namespace tabi
