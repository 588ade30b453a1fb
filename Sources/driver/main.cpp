#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "output/json_encoder.h"
#include "output/line_sink.h"
#include "output/output.h"
#include "workers/parallel_pipelines.h"
#include "workers/pixel_count_probe.h"
#include "workers/termination.h"
#include "workers/worker_setup.h"

int main(int argc, char** argv) {
  // A worker that died must not take us with it when we write to it; a
  // reader that went away shows as a failed write to standard output.
  std::signal(SIGPIPE, SIG_IGN);
  sorvi::endWorkersOnTerminationSignals();

  const sorvi::JsonEncoder encoder;
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);

  // Once a line cannot be written nobody reads the rest: stop at once, as a
  // filter does.
  sorvi::StdoutLineSink sink([] { sorvi::endWorkersAndDie(SIGPIPE); });
  sorvi::Output output(encoder, sink);
  const std::string worker = sorvi::workerProgram(
      sorvi::ownProgramPath(),
      [](const std::string& path) { return ::access(path.c_str(), X_OK) == 0; });
  const int jobs = sorvi::jobCount(std::getenv("SORVI_OCR_JOBS"), sorvi::availableCpus());
  // Workers start with the first image or PDF path, so a run without one
  // never pays for them.
  sorvi::ParallelPipelines pipelines([&] { return sorvi::makeWorkerProcess(worker); }, jobs,
                                     sorvi::StepBounds{}, output, sorvi::probePixelCount);
  return sorvi::runDriver(args, pipelines);
}
