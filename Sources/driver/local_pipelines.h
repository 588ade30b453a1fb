#pragma once

#include "driver/driver.h"

namespace sorvi {

// Runs the pipelines in this process.
class LocalPipelines : public Pipelines {
 public:
  void processImage(const std::string& path, Output& output) override;
  void processPdf(const std::string& path, Output& output) override;
};

}  // namespace sorvi
