// The search's progress bar: the bytes of the files seen so far against the used bytes of every
// fixed drive, in percent. Drives are far larger than 32 bits count, and the files the search sees
// may add up to more than the drives said they hold (files change while Setup runs).
#pragma once

#include <cstdint>

namespace skvinst {

// 0 to 100; 0 when nothing is known of the total.
int progressPercent(uint64_t scanned, uint64_t total);

// The used bytes of a drive from what GetDiskFreeSpace tells.
uint64_t usedBytes(uint32_t sectorsPerCluster, uint32_t bytesPerSector, uint32_t freeClusters,
                   uint32_t totalClusters);

} // namespace skvinst
