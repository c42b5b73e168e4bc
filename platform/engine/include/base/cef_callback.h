#pragma once
#include <functional>

namespace base {
// A bound call with no arguments (our stand-in keeps it as a std::function).
using Closure = std::function<void()>;
}  // namespace base
