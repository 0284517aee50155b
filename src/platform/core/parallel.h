#pragma once

#include <cstddef>
#include <functional>

namespace plenvo::platform {

// How many servers the checks ask at the same time.
inline constexpr std::size_t kServersAtOnce = 16;

// Runs work(i) for every i below `count`, on up to `width` threads at once, and
// returns when all have ended. For calls that wait on other servers: k silent
// servers then cost one wait, not k. `work` guards its own failures.
void runAtOnce(std::size_t count, std::size_t width, const std::function<void(std::size_t)>& work);

}  // namespace plenvo::platform
