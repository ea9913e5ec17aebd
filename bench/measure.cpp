#include "bench/measure.h"

#include <windows.h>

#include <algorithm>

double Now()
{
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return double(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / frequency;
}

Spread Summarize(std::vector<double> values)
{
    Spread spread;
    if (values.empty())
        return spread;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    spread.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    spread.low = values.front();
    spread.high = values.back();
    return spread;
}

std::vector<std::vector<double>> Interleave(int rounds, const std::vector<Run>& runs,
                                            const std::function<void()>& after)
{
    for (size_t k = 0; k < runs.size(); ++k) {
        runs[k]();
        after();
    }
    std::vector<std::vector<double>> seconds(runs.size());
    for (int round = 0; round < rounds; ++round) {
        for (size_t k = 0; k < runs.size(); ++k) {
            const size_t which = (size_t(round) + k) % runs.size();
            seconds[which].push_back(runs[which]());
            after();
        }
    }
    return seconds;
}

std::vector<double> Ratios(const std::vector<double>& a, const std::vector<double>& b)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        ratios.push_back(a[i] / b[i]);
    return ratios;
}
