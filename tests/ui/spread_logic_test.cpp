#include <gtest/gtest.h>

#include <string>

#include "corpus/corpus_reports.h"
#include "tests/search_ui/search_window.h"
#include "ui/spread_logic.h"

TEST(ParseReportTitle, OnlyYearAndKnownNamePlace) {
    const struct {
        const wchar_t* title;
        int placed, year, index;
    } cases[] = {
        {L"2023年山西省政府工作报告", 1, 2023, 4},
        {L"2021年国务院政府工作报告", 1, 2021, 0},
        {L"2025年新疆维吾尔自治区政府工作报告", 1, 2025, 31},
        {L"2023年山西省政府工作报告 ", 0, 0, 0},   // trailing space
        {L" 2023年山西省政府工作报告", 0, 0, 0},
        {L"2023年山西省", 0, 0, 0},
        {L"山西省政府工作报告", 0, 0, 0},
        {L"2019年北京市政府工作报告", 0, 0, 0},   // no column for the year
        {L"2026年北京市政府工作报告", 0, 0, 0},
        {L"２０２３年山西省政府工作报告", 0, 0, 0},  // full-width digits
        {L"023年山西省政府工作报告", 0, 0, 0},
        {L"20230年山西省政府工作报告", 0, 0, 0},
        {L"2023年推动高质量发展专题报告", 0, 0, 0},
        {L"2023", 0, 0, 0},
        {L"", 0, 0, 0},
        {nullptr, 0, 0, 0},
    };
    for (const auto& c : cases) {
        int year = 0, index = 0;
        EXPECT_EQ(ParseReportTitle(c.title, &year, &index), c.placed) << (c.title ? c.title : L"(null)");
        if (c.placed) {
            EXPECT_EQ(year, c.year);
            EXPECT_EQ(index, c.index);
        }
    }
}

static SpreadCounts g_counts;

TEST(SpreadAddHit, CountsParagraphsPerReportAndDistinctReports) {
    SpreadReset(&g_counts);
    SpreadAddHit(&g_counts, 1, 1, "2023年北京市政府工作报告");
    SpreadAddHit(&g_counts, 1, 1, "2023年北京市政府工作报告");
    SpreadAddHit(&g_counts, 2, 1, "2023年北京市政府工作报告");  // a second report of that title: same cell
    SpreadAddHit(&g_counts, 3, 1, "2021年国务院政府工作报告");
    SpreadAddHit(&g_counts, 4, 1, "某某专题报告");
    SpreadAddHit(&g_counts, 5, 1, nullptr);
    SpreadAddHit(&g_counts, 6, 1, "\xE5\x8F");  // cut in half a character
    SpreadAddHit(&g_counts, 0, 0, nullptr);    // no report row
    EXPECT_EQ(g_counts.paragraphs, 8);
    EXPECT_EQ(g_counts.reports, 6);
    EXPECT_EQ(g_counts.cells[1][2], 3);
    EXPECT_EQ(g_counts.cells[0][0], 1);
    EXPECT_EQ(g_counts.rowTotals[SPREAD_OTHER_ROW], 4);
    EXPECT_EQ(g_counts.yearTotals[2], 3);
    EXPECT_EQ(g_counts.firstYear, 2021);
    EXPECT_EQ(g_counts.lastYear, 2023);
}

TEST(SpreadAddHit, ManyReportsStayCounted) {
    SpreadReset(&g_counts);
    for (int i = 0; i < 10000; ++i) SpreadAddHit(&g_counts, (int64_t)i << 20, 1, "2024年上海市政府工作报告");
    EXPECT_EQ(g_counts.paragraphs, 10000);
    EXPECT_EQ(g_counts.cells[9][3], 10000);
    EXPECT_EQ(g_counts.reports, SPREAD_ARTICLE_SLOTS / 8 * 7);  // beyond the table reports are no longer told apart
}

TEST(FormatSpreadSummary, ThreeFormsAndLongWording) {
    SpreadCounts& c = g_counts;
    wchar_t out[SPREAD_WORDING_UNITS + 128];
    SpreadReset(&c);
    FormatSpreadSummary(L"新质生产力", &c, out, SPREAD_WORDING_UNITS + 128);
    EXPECT_STREQ(out, L"“新质生产力”在语料中没有出现。");
    SpreadAddHit(&c, 9, 1, "其他标题");
    FormatSpreadSummary(L"新质生产力", &c, out, SPREAD_WORDING_UNITS + 128);
    EXPECT_STREQ(out, L"“新质生产力”见于 1 篇报告的 1 个段落。");
    SpreadAddHit(&c, 1, 1, "2025年北京市政府工作报告");
    SpreadAddHit(&c, 2, 1, "2022年北京市政府工作报告");
    FormatSpreadSummary(L"新质生产力", &c, out, SPREAD_WORDING_UNITS + 128);
    EXPECT_STREQ(out, L"“新质生产力”见于 3 篇报告的 3 个段落，最早 2022 年，最近 2025 年。");
    std::wstring longWording(SPREAD_WORDING_UNITS - 1, L'长');
    FormatSpreadSummary(longWording.c_str(), &c, out, SPREAD_WORDING_UNITS + 128);
    EXPECT_EQ(std::wstring(out), L"“" + longWording + L"”见于 3 篇报告的 3 个段落，最早 2022 年，最近 2025 年。");
}

TEST(SpreadRowLabel, NamesWithoutSuffix) {
    wchar_t out[32];
    const struct { int row; const wchar_t* label; } cases[] = {
        {0, L"国务院"}, {1, L"北京市"}, {20, L"广西壮族自治区"}, {31, L"新疆维吾尔自治区"}, {SPREAD_OTHER_ROW, L"其他"},
    };
    for (const auto& c : cases) {
        SpreadRowLabel(c.row, out, 32);
        EXPECT_STREQ(out, c.label);
    }
}

TEST(PickSpreadWording, RightmostSelectionThenSearchTerms) {
    std::wstring full(255, L'字');
    const struct {
        const wchar_t *clause, *phrase, *word, *search, *wording;
    } cases[] = {
        {L"加快发展新质生产力", L"发展新质生产力", L"1|新质生产力", L"新质", L"加快发展新质生产力"},
        {nullptr, L"发展新质生产力", L"1|新质生产力", L"新质", L"发展新质生产力"},
        {L"", L"", L"12|新质生产力", L"新质", L"新质生产力"},
        {nullptr, nullptr, L"12|", L"  新质   生产力 ", L"新质 生产力"},
        {nullptr, nullptr, nullptr, L"   ", L""},
        {nullptr, nullptr, nullptr, nullptr, L""},
        {nullptr, nullptr, nullptr, full.c_str(), full.c_str()},
    };
    for (const auto& c : cases) {
        wchar_t out[SPREAD_WORDING_UNITS];
        int n = PickSpreadWording(c.clause, c.phrase, c.word, c.search, out, SPREAD_WORDING_UNITS);
        EXPECT_STREQ(out, c.wording);
        EXPECT_EQ(n, (int)wcslen(c.wording));
    }
}

// The real hit query over the fixture corpus, counted.
static void Count(int64_t id, int hasArticle, const char* title, uintptr_t) {
    SpreadAddHit(&g_counts, id, hasArticle, title);
}

TEST(SpreadOverFixture, CellsOtherRowAndFoldedCase) {
    ASSERT_TRUE(OpenKeyedCorpus(BuildPath("spread/spread_corpus.db"), BuildPath("spread/spread-keyed.db")));
    SpreadReset(&g_counts);
    ASSERT_EQ(QueryParagraphHits(L"新质生产力", Count, 0), CORPUS_OK);
    EXPECT_EQ(g_counts.paragraphs, 15);
    EXPECT_EQ(g_counts.reports, 10);  // the paragraph without a report row is no report
    EXPECT_EQ(g_counts.cells[0][0], 2);
    EXPECT_EQ(g_counts.cells[0][2], 1);
    EXPECT_EQ(g_counts.cells[1][2], 2);
    EXPECT_EQ(g_counts.cells[31][4], 1);
    EXPECT_EQ(g_counts.cells[4][3], 3);  // the long report, its paragraph over 2046 units too
    EXPECT_EQ(g_counts.cells[3][1], 0);  // a report without paragraphs
    EXPECT_EQ(g_counts.rowTotals[SPREAD_OTHER_ROW], 6);
    EXPECT_EQ(g_counts.firstYear, 2021);
    EXPECT_EQ(g_counts.lastYear, 2025);

    SpreadReset(&g_counts);
    ASSERT_EQ(QueryParagraphHits(L"ai应用 北京", Count, 0), CORPUS_OK);
    EXPECT_EQ(g_counts.paragraphs, 2);
    EXPECT_EQ(g_counts.cells[1][2], 2);

    SpreadReset(&g_counts);
    std::wstring wording(255, L'无');
    EXPECT_EQ(QueryParagraphHits(wording.c_str(), Count, 0), CORPUS_OK);
    EXPECT_EQ(QueryParagraphHits(L"   ", Count, 0), CORPUS_OK);
    EXPECT_EQ(g_counts.paragraphs, 0);
}
