#include "recognition/engine_pool.h"

#include <utility>

namespace sorvi {

EnginePool::EnginePool(TextEngineFactory factory, std::size_t maxIdle)
    : factory_(std::move(factory)), maxIdle_(maxIdle) {}

std::unique_ptr<TextEngine> EnginePool::take() {
  {
    const std::lock_guard lock(mutex_);
    if (!idle_.empty()) {
      auto engine = std::move(idle_.back());
      idle_.pop_back();
      return engine;
    }
  }
  // Made outside the lock: loading a model takes a while and must not hold
  // up an instance being handed back meanwhile.
  return factory_ ? factory_() : nullptr;
}

void EnginePool::giveBack(std::unique_ptr<TextEngine> engine) {
  if (!engine) {
    return;
  }
  std::unique_ptr<TextEngine> surplus;
  {
    const std::lock_guard lock(mutex_);
    if (idle_.size() < maxIdle_) {
      idle_.push_back(std::move(engine));
    } else {
      surplus = std::move(engine);
    }
  }
  // `surplus` is destroyed here, outside the lock.
}

}  // namespace sorvi
