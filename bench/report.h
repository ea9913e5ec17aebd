// The benchmark's table, printed and written as Markdown.
#pragma once

#include <string>
#include <vector>

#include "bench/measure.h"

struct Row {
    std::string number; // the figure's number in the table
    std::string figure; // what is measured
    std::string floor;  // what it is measured against
    int reps = 0;
    std::string figureValue; // medians, with their units
    std::string floorValue;
    std::string ratio;  // median of the per-round ratios
    std::string spread; // lowest to highest of them
    std::string target;
    std::string met;    // yes, no, or empty where there is no target
};

std::string Seconds(double seconds);
std::string Milliseconds(double seconds);
std::string Mebibytes(double bytes);
std::string Fixed(double value, int decimals);
std::string Range(const Spread& spread, int decimals);

// A row for a figure measured against its floor: medians of both, and the
// median and range of their per-round ratio, checked against `limit`.
Row RatioRow(const std::string& number, const std::string& figure, const std::string& floor,
             const std::vector<double>& figureSeconds, const std::vector<double>& floorSeconds,
             double limit);

std::string TextTable(const std::vector<Row>& rows);
std::string MarkdownTable(const std::vector<Row>& rows);
