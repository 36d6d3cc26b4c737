#include "progress.h"

namespace skvinst {

int progressPercent(uint64_t scanned, uint64_t total) {
    if (total == 0) return 0;
    if (scanned >= total) return 100;
    // In floating point: the product of a drive's size and 100 does not fit 64 bits.
    return static_cast<int>(static_cast<double>(scanned) / static_cast<double>(total) * 100.0);
}

uint64_t usedBytes(uint32_t sectorsPerCluster, uint32_t bytesPerSector, uint32_t freeClusters,
                   uint32_t totalClusters) {
    if (freeClusters >= totalClusters) return 0;
    return static_cast<uint64_t>(totalClusters - freeClusters) * sectorsPerCluster * bytesPerSector;
}

} // namespace skvinst
