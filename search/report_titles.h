#pragma once
// The reports of the corpus by name, and a report title "%d年%s" read back into
// its year and name. Pure: no Win32 calls.

#define REPORT_NAME_COUNT 32
#define REPORT_FIRST_YEAR 2021
#define REPORT_YEAR_COUNT 5

// REPORT_NAMES[index] for 0 to 31, the empty string otherwise.
const wchar_t* ReportNameForIndex(int index);

// 1 when the title is exactly a four-digit year of 2021 to 2025, "年" and one of
// the names; then *year and *reportIndex are set. 0 for every other form.
int ParseReportTitle(const wchar_t* title, int* year, int* reportIndex);
