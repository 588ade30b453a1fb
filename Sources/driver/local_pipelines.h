#pragma once

#include "driver/driver.h"
#include "driver/step_observer.h"

namespace sorvi {

// Runs the pipelines in this process.
class LocalPipelines : public Pipelines {
 public:
  // `observer`, when given, hears of each long step as it starts.
  explicit LocalPipelines(StepObserver* observer = nullptr) : observer_(observer) {}

  // Loads what the pipelines need up front, before the sandbox closes the
  // ways to load it later.
  void loadLibraries();

  void processImage(const std::string& path, Output& output) override;
  void processPdf(const std::string& path, Output& output) override;

 private:
  void report(Step step) {
    if (observer_ != nullptr) observer_->stepStarted(step);
  }

  StepObserver* observer_;
};

}  // namespace sorvi
