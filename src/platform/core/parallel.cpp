#include "platform/core/parallel.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace plenvo::platform {

void runAtOnce(std::size_t count, std::size_t width, const std::function<void(std::size_t)>& work) {
    std::atomic<std::size_t> next = 0;
    const auto drain = [&] {
        for (std::size_t i; (i = next++) < count;) {
            try {
                work(i);
            } catch (...) {
                // One item's failure leaves the others to run.
            }
        }
    };
    const std::size_t threads = std::min(count, std::max<std::size_t>(width, 1));
    if (threads <= 1) return drain();
    std::vector<std::jthread> pool;
    pool.reserve(threads - 1);
    for (std::size_t t = 1; t < threads; ++t) pool.emplace_back(drain);
    drain();
}

}  // namespace plenvo::platform
