#include "statistics.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

Summary summarize(std::vector<double> samples) {
    Summary summary;
    if (samples.empty())
        return summary;
    std::sort(samples.begin(), samples.end());
    const auto rank = [&](double fraction) {
        const size_t index = static_cast<size_t>(std::ceil(fraction * samples.size()));
        return samples[std::max<size_t>(index, 1) - 1];
    };
    summary.median = rank(0.5);
    summary.p95 = rank(0.95);
    summary.max = samples.back();
    summary.count = samples.size();
    return summary;
}

double nowMs() {
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / ticksPerMs;
}

namespace {

double ratio(double figure, double baseline) {
    return baseline > 0 ? figure / baseline : 0.0;
}

const char* verdictText(Verdict verdict) {
    switch (verdict) {
    case Verdict::Met:
        return "met";
    case Verdict::Missed:
        return "missed";
    case Verdict::None:
        break;
    }
    return "-";
}

} // namespace

void printTableHeader() {
    std::printf(
        "| Measure | median | p95 | max | n | baseline median / p95 / max | ratio (median / "
        "p95) | goal | met |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
}

void printSummaryRow(const std::string& measure, const Summary& figure, const Summary* baseline,
                     const std::string& goal, Verdict verdict) {
    std::printf("| %s | %.2f | %.2f | %.2f | %zu | ", measure.c_str(), figure.median, figure.p95,
                figure.max, figure.count);
    if (baseline && baseline->count)
        std::printf("%.2f / %.2f / %.2f | %.2f / %.2f | ", baseline->median, baseline->p95,
                    baseline->max, ratio(figure.median, baseline->median),
                    ratio(figure.p95, baseline->p95));
    else
        std::printf("- | - | ");
    std::printf("%s | %s |\n", goal.c_str(), verdictText(verdict));
    std::fflush(stdout);
}

void printValueRow(const std::string& measure, const std::string& value, const std::string& goal,
                   Verdict verdict) {
    std::printf("| %s | %s | - | - | 1 | - | - | %s | %s |\n", measure.c_str(), value.c_str(),
                goal.c_str(), verdictText(verdict));
    std::fflush(stdout);
}
