#include "platform/ticks.h"

#include <chrono>

namespace platform {
namespace {
std::function<std::uint32_t()>& Source() {
  static std::function<std::uint32_t()> source;
  return source;
}
}  // namespace

std::uint32_t GetTickCount() {
  if (Source()) return Source()();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<std::uint32_t>(ms.count());
}

void SetTickSource(std::function<std::uint32_t()> source) { Source() = std::move(source); }

}  // namespace platform
