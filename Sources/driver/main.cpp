#include <csignal>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "driver/isolated_pipelines.h"
#include "driver/worker.h"
#include "output/json_encoder.h"
#include "output/line_sink.h"
#include "output/output.h"

int main(int argc, char** argv) {
  if (sorvi::isWorkerProcess()) return sorvi::runWorkerProcess();

  // A reader that goes away must not kill us with a signal mid-line.
  std::signal(SIGPIPE, SIG_IGN);

  const sorvi::JsonEncoder encoder;
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);

  sorvi::StdoutLineSink sink;
  sorvi::Output output(encoder, sink);
  // The worker starts with the first image or PDF path, so a run without
  // one never pays for it.
  sorvi::IsolatedPipelines pipelines(sorvi::makeWorkerProcess(), sorvi::StepBounds{});
  return sorvi::runDriver(args, output, pipelines);
}
