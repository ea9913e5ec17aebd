#include "bench/report.h"

#include <algorithm>
#include <cstdio>

std::string Fixed(double value, int decimals)
{
    char text[64];
    snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Seconds(double seconds)
{
    return Fixed(seconds, 3) + " s";
}

std::string Milliseconds(double seconds)
{
    return Fixed(seconds * 1000, 3) + " ms";
}

std::string Mebibytes(double bytes)
{
    return Fixed(bytes / 1048576, 2) + " MiB";
}

std::string Range(const Spread& spread, int decimals)
{
    return Fixed(spread.low, decimals) + " to " + Fixed(spread.high, decimals);
}

Row RatioRow(const std::string& number, const std::string& figure, const std::string& floor,
             const std::vector<double>& figureSeconds, const std::vector<double>& floorSeconds,
             double limit)
{
    const Spread ratio = Summarize(Ratios(figureSeconds, floorSeconds));
    Row row;
    row.number = number;
    row.figure = figure;
    row.floor = floor;
    row.reps = int(figureSeconds.size());
    row.figureValue = Seconds(Summarize(figureSeconds).median);
    row.floorValue = Seconds(Summarize(floorSeconds).median);
    row.ratio = Fixed(ratio.median, 3);
    row.spread = Range(ratio, 3);
    row.target = "<= " + Fixed(limit, 2);
    row.met = ratio.median <= limit ? "yes" : "no";
    return row;
}

namespace {

const char* const kHeader[] = {"#", "Figure", "Floor", "Reps", "Figure (median)",
                               "Floor (median)", "Ratio (median)", "Ratio spread (min to max)",
                               "Target", "Met"};

std::vector<std::string> Cells(const Row& row)
{
    return {row.number, row.figure, row.floor, std::to_string(row.reps), row.figureValue,
            row.floorValue, row.ratio, row.spread, row.target, row.met};
}

} // namespace

std::string TextTable(const std::vector<Row>& rows)
{
    const size_t columns = sizeof kHeader / sizeof kHeader[0];
    std::vector<size_t> width(columns);
    for (size_t c = 0; c < columns; ++c)
        width[c] = std::string(kHeader[c]).size();
    for (const Row& row : rows) {
        const std::vector<std::string> cells = Cells(row);
        for (size_t c = 0; c < columns; ++c)
            width[c] = std::max(width[c], cells[c].size());
    }
    auto line = [&](const std::vector<std::string>& cells) {
        std::string text;
        for (size_t c = 0; c < columns; ++c)
            text += cells[c] + std::string(width[c] - cells[c].size() + 2, ' ');
        return text.substr(0, text.find_last_not_of(' ') + 1) + "\n";
    };
    std::string text = line(std::vector<std::string>(kHeader, kHeader + columns));
    for (const Row& row : rows)
        text += line(Cells(row));
    return text;
}

std::string MarkdownTable(const std::vector<Row>& rows)
{
    std::string text = "|";
    for (const char* title : kHeader)
        text += std::string(" ") + title + " |";
    text += "\n|";
    for (size_t c = 0; c < sizeof kHeader / sizeof kHeader[0]; ++c)
        text += "---|";
    text += "\n";
    for (const Row& row : rows) {
        text += "|";
        for (const std::string& cell : Cells(row))
            text += " " + cell + " |";
        text += "\n";
    }
    return text;
}
