#pragma once

#include <memory>

#include "driver/driver.h"
#include "recognition/recognizer.h"

namespace sorvi {

// Runs the pipelines in this process.
class LocalPipelines : public Pipelines {
 public:
  void processImage(const std::string& path, Output& output) override;
  void processPdf(const std::string& path, Output& output) override;

  // The process's recognizer, made on first use; no engine is loaded until
  // the first image is recognised.
  Recognizer& recognizer();

 private:
  std::unique_ptr<Recognizer> recognizer_;
};

}  // namespace sorvi
