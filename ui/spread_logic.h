#pragma once
// Where a wording stands: its paragraphs counted by report year and region, the
// summary line, and which wording the window looks at. Pure: no Win32 calls.
#include <stdint.h>

#include "search/report_titles.h"

#define SPREAD_OTHER_ROW REPORT_NAME_COUNT  // reports whose title has another form
#define SPREAD_ROWS (REPORT_NAME_COUNT + 1)
#define SPREAD_ARTICLE_SLOTS 8192
#define SPREAD_WORDING_UNITS 512

struct SpreadArticle {
    int64_t id;
    int used;
    int row;        // region index, or SPREAD_OTHER_ROW
    int yearIndex;  // 0 to 4, or -1 under 其他
};

struct SpreadCounts {
    int cells[SPREAD_ROWS][REPORT_YEAR_COUNT];  // paragraphs per report; 其他 keeps only its total
    int rowTotals[SPREAD_ROWS];
    int yearTotals[REPORT_YEAR_COUNT];
    int paragraphs;
    int reports;
    int firstYear;  // 0 while no placed report holds the wording
    int lastYear;
    int articleCount;
    SpreadArticle articles[SPREAD_ARTICLE_SLOTS];  // each report seen once: its placement
};

void SpreadReset(SpreadCounts* counts);
// One paragraph holding the wording. A paragraph without a report row counts
// under 其他 and in the paragraphs, but is no report.
void SpreadAddHit(SpreadCounts* counts, int64_t articleId, int hasArticle, const char* titleUtf8);

// "“%s”见于 %d 篇报告的 %d 个段落，最早 %d 年，最近 %d 年。" and its shorter forms.
void FormatSpreadSummary(const wchar_t* wording, const SpreadCounts* counts, wchar_t* out, int size);
// The row's label: the report name without "政府工作报告", "其他" for the last row.
void SpreadRowLabel(int row, wchar_t* out, int size);

// The wording: the rightmost list's selected entry (short sentence, phrase, then
// word, the word entry "id|word" without its id), else the search text's terms
// with their spaces folded. Null or empty entries count as no selection.
// Returns the wording's length, 0 when there is nothing to look at.
int PickSpreadWording(const wchar_t* clause, const wchar_t* phrase, const wchar_t* wordEntry,
                      const wchar_t* searchText, wchar_t* out, int size);
