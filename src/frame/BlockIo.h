#pragma once
// Whole reads and writes of the private shared memory blocks through their descriptors (never a
// mapping: another process of this user may shrink a block at any moment, and touching a mapped
// page past its end raises SIGBUS however recently the size was checked; a write past the end
// grows the block instead, and a read past it comes back short).

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace zavreo {

// A block this program may use: a regular object (not a FIFO or device planted at the name), of
// this user, readable by nobody else.
bool OwnPrivateBlock(const struct stat& info);

// Writes or reads exactly `bytes` at `offset`; false when the block ended early or failed.
bool WriteBlockAt(int fd, const uint8_t* data, size_t bytes, off_t offset);
bool ReadBlockAt(int fd, uint8_t* out, size_t bytes, off_t offset);

}  // namespace zavreo
