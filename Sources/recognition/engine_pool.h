#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "recognition/text_engine.h"

namespace sorvi {

// Engine instances for recognitions that may overlap (an abandoned one can
// still be running). Instances are made on demand, so none exists before the
// first recognition, and are reused; a busy instance is never handed out.
class EnginePool {
 public:
  EnginePool(TextEngineFactory factory, std::size_t maxIdle);

  // An idle instance, or a new one; null when the factory fails.
  std::unique_ptr<TextEngine> take();
  // Returns an instance after its recognition; extra idle ones are dropped.
  void giveBack(std::unique_ptr<TextEngine> engine);

 private:
  TextEngineFactory factory_;
  std::size_t maxIdle_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<TextEngine>> idle_;
};

}  // namespace sorvi
