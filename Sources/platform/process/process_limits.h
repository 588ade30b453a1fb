#pragma once

#include <cstdint>

namespace sorvi {

// No process of the tool may grow beyond this resident size, whatever the
// machine: a small container or laptop must not lose another program to
// one hostile file.
inline constexpr std::uint64_t kMaxResidentBytes = 1'200'000'000;

// The worker's heap and other private writable memory; the rest of the
// resident bound is for the libraries' code and the decoders' slack.
inline constexpr std::uint64_t kWorkerDataBytes = std::uint64_t{1000} << 20;

// Bounds the worker's memory so that a decompression bomb ends the worker
// (or just fails its allocation) and nothing else, and turns off core
// files. Under AddressSanitizer, whose shadow needs terabytes of address
// space, only a looser resident-size watch applies.
void applyWorkerLimits();

// From here on the process cannot open network sockets, start programs or
// open files for writing; reading files and writing to descriptors already
// open still work. Returns false when the filter could not be installed.
bool enterSandbox();

// Hands the free memory of the heap back to the system when more than
// `heldBytes` of it is held.
void releaseFreeMemory(std::uint64_t heldBytes);

}  // namespace sorvi
