#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "workers/worker_process.h"

namespace sorvi {

// More workers than this would only exhaust memory.
inline constexpr int kMaxJobs = 256;

// How many units run at once: `setting` (SORVI_OCR_JOBS) when it is a
// positive integer, capped at kMaxJobs; otherwise `cpus`.
int jobCount(const char* setting, int cpus);

// The CPUs this process may run on (taskset and container CPU sets count).
int availableCpus();

// The worker program for the tool at `toolPath`: the installed layout
// (../libexec/sorvi-ocr/ beside its folder) when `exists` says it is there,
// otherwise the same folder, as in the build tree.
std::string workerProgram(std::string_view toolPath,
                          const std::function<bool(const std::string&)>& exists);

// The folder of the text detector's and line reader's models for the worker
// program at `workerPath`: the installed data folder
// (../../share/sorvi-ocr/models from libexec/sorvi-ocr/) when `exists` says it
// is there, otherwise models/ beside the worker, as in the build tree.
std::string textModelFolder(std::string_view workerPath,
                            const std::function<bool(const std::string&)>& exists);

// This process's program file; empty when it cannot be told.
std::string ownProgramPath();

// The environment of a worker: `environment` (a null-terminated list of
// NAME=VALUE), with glibc's malloc told to back its large blocks with huge
// pages unless the user set that already. A reading grows and drops buffers
// of tens of megabytes, and faulting them in a page at a time cost more than
// the text detector itself on virtual machines.
std::vector<std::string> workerEnvironment(const char* const* environment);

// A worker process of `program` with this process's environment, told our
// pid so that it dies with us. It dies when the thread that starts it ends,
// so only a thread that lasts as long as the process may start it.
std::unique_ptr<WorkerProcess> makeWorkerProcess(const std::string& program);

}  // namespace sorvi
