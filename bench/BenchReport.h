// SPDX-License-Identifier: GPL-3.0-or-later
// A console reporter that also keeps the CPU time per iteration of every
// benchmark run, so that a benchmark program can print a summary figure.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>

class CTimeKeepingReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal, so that the summary line reads cleanly in logs.
    CTimeKeepingReporter();
    void ReportRuns(const std::vector<Run>& reports) override;

    // CPU seconds per iteration of the named benchmark, or a negative value if
    // it did not run.
    double SecondsPerIteration(const std::string& strName) const;

private:
    std::map<std::string, double> m_seconds;
};
