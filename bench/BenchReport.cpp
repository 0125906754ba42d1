#include "BenchReport.h"

#include <unistd.h>

CTimeKeepingReporter::CTimeKeepingReporter()
    : benchmark::ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

void CTimeKeepingReporter::ReportRuns(const std::vector<Run>& reports) {
    benchmark::ConsoleReporter::ReportRuns(reports);
    for (const Run& run : reports) {
        if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
            m_seconds[run.benchmark_name()] =
                run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        }
    }
}

double CTimeKeepingReporter::SecondsPerIteration(const std::string& strName) const {
    auto it = m_seconds.find(strName);
    return it == m_seconds.end() ? -1.0 : it->second;
}
