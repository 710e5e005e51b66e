#pragma once

#include <algorithm>
#include <cstdio>
#include <vector>

namespace tavolix::bench {

// "label: min …, median …, max … unit over n runs", or that there were none.
inline void printSpread(const char* label, const char* unit, std::vector<double> values)
{
    if (values.empty()) {
        std::printf("%s: no complete run\n", label);
        return;
    }
    std::sort(values.begin(), values.end());
    std::printf("%s: min %.3f %s, median %.3f %s, max %.3f %s over %zu runs\n", label,
                values.front(), unit, values[values.size() / 2], unit, values.back(), unit,
                values.size());
}

} // namespace tavolix::bench
