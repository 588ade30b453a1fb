#pragma once

namespace sorvi {

// Makes every OpenMP parallel region that the calling thread enters from
// now on run on that thread alone. The engine asks for more threads than
// there are cores, which makes it several times slower; the OpenMP thread
// limit from the environment is read too early to be set by the process.
void keepOpenMpOnCallingThread();

}  // namespace sorvi
