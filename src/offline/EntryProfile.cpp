#include "offline/EntryProfile.h"

#include "platform/Error.h"

namespace {

double millisecondsPerFrame(double seconds, uint64_t frames) {
    return frames > 0 ? 1000.0 * seconds / double(frames) : 0.0;
}

struct Row {
    std::string name;
    EntryCost cost;
};

// The rows of a report with the figures derived from them, shared by the table and the CSV.
struct Figures {
    double cpuMs, wallMs, timesEmpty, share;
};

Figures figuresOf(const EntryCost& cost, const EntryCost& empty, double wholeCpu) {
    const double cpuMs = millisecondsPerFrame(cost.cpuSeconds, cost.frames);
    const double emptyMs = millisecondsPerFrame(empty.cpuSeconds, empty.frames);
    return {cpuMs, millisecondsPerFrame(cost.wallSeconds, cost.frames),
            emptyMs > 0 ? cpuMs / emptyMs : 0.0,
            wholeCpu > 0 ? 100.0 * cost.cpuSeconds / wholeCpu : 0.0};
}

std::vector<Row> rowsOf(const ProfileReport& report) {
    std::vector<Row> rows;
    for (size_t i = 0; i < report.entries.size(); ++i)
        rows.push_back({formatText("%zu %s", i + 1,
                                   i < report.keywords.size() ? report.keywords[i].c_str() : "?"),
                        report.entries[i]});
    rows.push_back({"frame clears", report.clears});
    return rows;
}

double wholeCpuOf(const std::vector<Row>& rows) {
    double whole = 0;
    for (const Row& row : rows)
        whole += row.cost.cpuSeconds;
    return whole;
}

} // namespace

std::string ProfileReport::table() const {
    const std::vector<Row> rows = rowsOf(*this);
    const double whole = wholeCpuOf(rows);
    std::string text = heading + "\n";
    text += formatText("Empty frame: %.3f ms CPU, %.3f ms wall (%llu measured)\n",
                       millisecondsPerFrame(emptyFrame.cpuSeconds, emptyFrame.frames),
                       millisecondsPerFrame(emptyFrame.wallSeconds, emptyFrame.frames),
                       (unsigned long long)emptyFrame.frames);
    text += formatText("%-24s %7s %10s %10s %8s %7s\n", "entry", "frames", "CPU ms", "wall ms",
                       "x empty", "share");
    for (const Row& row : rows) {
        const Figures figures = figuresOf(row.cost, emptyFrame, whole);
        text += formatText("%-24s %7llu %10.2f %10.2f %8.1f %6.1f%%\n", row.name.c_str(),
                           (unsigned long long)row.cost.frames, figures.cpuMs, figures.wallMs,
                           figures.timesEmpty, figures.share);
    }
    text += formatText("CPU ms and wall ms are per frame drawn by the entry; share is of all CPU "
                       "time (%.2f s)\n",
                       whole);
    return text;
}

std::string ProfileReport::csv() const {
    const std::vector<Row> rows = rowsOf(*this);
    const double whole = wholeCpuOf(rows);
    std::string text = "entry,frames,cpu_ms_per_frame,wall_ms_per_frame,times_empty_frame,"
                       "share_percent\n";
    for (const Row& row : rows) {
        const Figures figures = figuresOf(row.cost, emptyFrame, whole);
        std::string name = row.name;
        for (char& c : name)
            if (c == ',' || c == '"')
                c = ' ';
        text += formatText("%s,%llu,%.4f,%.4f,%.3f,%.3f\n", name.c_str(),
                           (unsigned long long)row.cost.frames, figures.cpuMs, figures.wallMs,
                           figures.timesEmpty, figures.share);
    }
    const Figures figures = figuresOf(emptyFrame, emptyFrame, 0);
    text += formatText("empty frame,%llu,%.4f,%.4f,1.000,0.000\n",
                       (unsigned long long)emptyFrame.frames, figures.cpuMs, figures.wallMs);
    return text;
}
