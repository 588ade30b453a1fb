#pragma once

#include <cstdint>

namespace sorvi {

// The steps of a path that may run long. The supervising process bounds
// each one in time.
enum class Step : std::uint8_t { kOpen = 1, kRender = 2, kRecognize = 3 };

class StepObserver {
 public:
  virtual ~StepObserver() = default;
  virtual void stepStarted(Step step) = 0;
};

}  // namespace sorvi
