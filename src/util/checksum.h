// checksum.h -- short checksums that name a file's contents in run records.
//
// Provides: crc32Of (bytes), fileCrc32 (a file's bytes), crc32Text.
// The checksum is the CRC-32 of zip, PNG and `python3 -c "import zlib"`
// (reflected polynomial 0xEDB88320, initial and final value 0xFFFFFFFF), so
// a user can check a record against the file with any of those tools.
// Pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

uint32_t crc32Of(const void* bytes, size_t count, uint32_t previous = 0);

// The CRC-32 of the whole file; false when it cannot be opened or read, or
// is not a regular file (a pipe is never read, so this never blocks).
bool fileCrc32(const std::string& path, uint32_t& crc);

// Eight lower-case hexadecimal digits, e.g. "cbf43926".
std::string crc32Text(uint32_t crc);
