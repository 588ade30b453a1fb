#pragma once

namespace sorvi {

// Caps the worker's address space well below the machine's memory, so a
// decompression bomb ends the worker and not the machine, and turns off
// core files. Does nothing to the address space under AddressSanitizer,
// whose shadow memory needs terabytes of it.
void applyWorkerLimits();

// From here on the process cannot open network sockets, start programs or
// open files for writing; reading files and writing to descriptors already
// open still work. Returns false when the filter could not be installed.
bool enterSandbox();

}  // namespace sorvi
