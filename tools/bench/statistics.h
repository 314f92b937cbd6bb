#pragma once
// Timing samples and the rows of the benchmark table.

#include <string>
#include <vector>

struct Summary {
    double median = 0;
    double p95 = 0;
    double max = 0;
    size_t count = 0;
};

// Nearest-rank median and 95th percentile; all zero for no samples.
Summary summarize(std::vector<double> samples);

// Milliseconds since an arbitrary start, from the performance counter.
double nowMs();

// Whether a row's figure meets its goal; None for a row without a goal.
enum class Verdict { None, Met, Missed };

inline Verdict verdictOf(bool met) {
    return met ? Verdict::Met : Verdict::Missed;
}

// One line of the table: "| measure | median | p95 | max | n | baseline... | ratios | goal | met
// |", the ratios those of the medians and of the p95s.
void printSummaryRow(const std::string& measure, const Summary& figure, const Summary* baseline,
                     const std::string& goal, Verdict verdict);
// A line with one value where a distribution does not apply.
void printValueRow(const std::string& measure, const std::string& value, const std::string& goal,
                   Verdict verdict);
void printTableHeader();
