// The system's millisecond tick count: the low 32 bits of a monotonic clock.
#pragma once

#include <cstdint>
#include <functional>

namespace platform {

std::uint32_t GetTickCount();
// Replaces the clock (tests); an empty function restores the real one.
void SetTickSource(std::function<std::uint32_t()> source);

}  // namespace platform
