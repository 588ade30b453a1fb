// Linked into the worker program only, ahead of libgomp.
//
// A worker recognises one unit at a time on one thread; the cores are shared
// out by running several workers. The engine still opens an OpenMP parallel
// region for every time step of every text line, and libgomp sets up a team
// for each one and ends it with a futex system call even when the team is
// the calling thread alone: tens of thousands of calls a page, each passing
// the sandbox's filter. These definitions of the entry points the engine
// uses take precedence over libgomp's and run each region on the calling
// thread, as a team of one would, without the team.
//
// The sections entry points are all defined here, as they share the count.
// Other constructs still reach libgomp, which runs them on the calling
// thread as constructs outside any parallel region.

namespace {

// The sections of the innermost region on this thread, handed out in order.
thread_local unsigned nextSection = 0;
thread_local unsigned sectionCount = 0;

}  // namespace

extern "C" {

// NOLINTBEGIN(bugprone-reserved-identifier): the names are the runtime's ABI.
void GOMP_parallel(void (*body)(void*), void* data, unsigned /*threads*/, unsigned /*flags*/) {
  body(data);
}

void GOMP_parallel_sections(void (*body)(void*), void* data, unsigned /*threads*/, unsigned count,
                            unsigned /*flags*/) {
  const unsigned outerNext = nextSection;
  const unsigned outerCount = sectionCount;
  nextSection = 1;  // section numbers start at 1; 0 means none left
  sectionCount = count;
  body(data);
  nextSection = outerNext;
  sectionCount = outerCount;
}

unsigned GOMP_sections_next() { return nextSection <= sectionCount ? nextSection++ : 0; }

unsigned GOMP_sections_start(unsigned count) {
  nextSection = 1;
  sectionCount = count;
  return GOMP_sections_next();
}

void GOMP_sections_end() {}

void GOMP_sections_end_nowait() {}
// NOLINTEND(bugprone-reserved-identifier)

}  // extern "C"
