#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

// Median, minimum, maximum and a percentile of a sample.
struct Summary
{
    double median = 0;
    double min = 0;
    double max = 0;
    std::size_t count = 0;

    static double percentile(std::vector<double> values, double p)
    {
        if (values.empty())
            return NAN;
        std::sort(values.begin(), values.end());
        const double at = p / 100.0 * double(values.size() - 1);
        const auto low = std::size_t(std::floor(at));
        const auto high = std::min(low + 1, values.size() - 1);
        return values[low] + (values[high] - values[low]) * (at - double(low));
    }

    static Summary of(const std::vector<double> &values)
    {
        Summary s;
        s.count = values.size();
        if (values.empty()) {
            s.median = s.min = s.max = NAN;
            return s;
        }
        s.median = percentile(values, 50);
        s.min = *std::min_element(values.begin(), values.end());
        s.max = *std::max_element(values.begin(), values.end());
        return s;
    }
};

// One line of the report: the figure, its median, minimum and maximum, the target and
// whether the target is met.
inline void report(const std::string &figure, const std::string &unit, const Summary &s,
                   const std::string &target, bool met)
{
    const bool comparison = !target.empty() && target.front() == '(';
    std::printf("%-44s median %9.3f  min %9.3f  max %9.3f %-3s (n=%zu)  %s%-28s %s\n", figure.c_str(), s.median,
                s.min, s.max, unit.c_str(), s.count, comparison ? "" : "target: ", target.c_str(),
                comparison ? "" : (met ? "MET" : "MISSED"));
}
