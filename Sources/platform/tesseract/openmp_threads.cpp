#include "platform/tesseract/openmp_threads.h"

#include <omp.h>

namespace sorvi {

void keepOpenMpOnCallingThread() {
  // With no active level allowed, a parallel region gets one thread: the
  // one that meets it. The setting belongs to the calling thread's task.
  omp_set_max_active_levels(0);
}

}  // namespace sorvi
