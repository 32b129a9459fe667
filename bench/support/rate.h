// Files per second by wall clock and by process CPU time; the second is the
// steadier figure on a busy machine.
#pragma once

#include <chrono>
#include <cstddef>
#include <ctime>

namespace sf::bench {

struct Rate {
    double wall = 0;
    double cpu = 0;
};

struct RateTimer {
    std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
    std::clock_t cpu = std::clock();
    Rate rate(std::size_t files) const {
        const double w =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
        const double c = static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
        return {static_cast<double>(files) / w, c > 0 ? static_cast<double>(files) / c : 0};
    }
};

}  // namespace sf::bench
