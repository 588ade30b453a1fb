#pragma once

#include <memory>

#include "driver/driver.h"
#include "driver/step_observer.h"
#include "recognition/recognizer.h"

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

  // The process's recognizer, made on first use; no engine is loaded until
  // the first image is recognised.
  Recognizer& recognizer();

 private:
  StepObserver* observer_;
  std::unique_ptr<Recognizer> recognizer_;
};

}  // namespace sorvi
