#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "search/list_drawing.h"
#include "search/paragraph_markup.h"
#include "search/result_lists.h"
#include "search/row_store.h"
#include "search/search_box.h"

struct RunCase {
    const wchar_t* text;
    const wchar_t* terms;
    const char* expected;  // one letter per run: H highlighted, p plain, with its length
};

static std::string Describe(const wchar_t* text, const wchar_t* terms) {
    HighlightTermSet set;
    FillTermSet(terms, &set, 10);
    TextRun runs[64];
    int n = SplitHighlightRuns(text, &set, runs, 64);
    std::string out;
    for (int i = 0; i < n; ++i) {
        out += runs[i].highlighted ? 'H' : 'p';
        out += std::to_string(runs[i].length);
    }
    return out;
}

TEST(SplitHighlightRuns, FirstMatchingTermWins) {
    const RunCase cases[] = {
        {L"发展", L"发 发展", "H1p1"},
        {L"发展", L"发展 发", "H2"},
        {L"xABy", L"ab", "p1H2p1"},
        {L"经济发展", L"", "p1p1p1p1"},
        {L"发展发展", L"发展", "H2H2"},
    };
    for (const RunCase& c : cases) EXPECT_EQ(Describe(c.text, c.terms), c.expected) << (const char*)c.expected;
}

TEST(FillTermSet, SplitsAtSpacesKeepsTenShortTerms) {
    HighlightTermSet set;
    std::wstring longTerm(64, L'x');
    FillTermSet((longTerm + L" a b c d e f g h i j k").c_str(), &set, 10);
    ASSERT_EQ(set.count, 10);
    EXPECT_STREQ(set.terms[0], L"a");
    EXPECT_STREQ(set.terms[9], L"j");
    FillTermSet(L"", &set, 10);
    EXPECT_EQ(set.count, 0);
}

TEST(NormalizeSearchText, FoldsOnlyPlainSpaces) {
    const struct { const wchar_t* in; const wchar_t* out; } cases[] = {
        {L"   ", L""}, {L"  发展  经济 ", L"发展 经济"}, {L"a\tb", L"a\tb"}, {L"a\u3000 b", L"a\u3000 b"},
    };
    for (auto& c : cases) {
        wchar_t out[256];
        NormalizeSearchText(c.in, out, 256);
        EXPECT_STREQ(out, c.out);
    }
}

TEST(WordEntryDisplayText, HidesShortIdOnly) {
    EXPECT_STREQ(WordEntryDisplayText(L"12|发展"), L"发展");
    std::wstring longId = std::wstring(32, L'1') + L"|x";
    EXPECT_STREQ(WordEntryDisplayText(longId.c_str()), longId.c_str());
    EXPECT_STREQ(WordEntryDisplayText(L"plain"), L"plain");
}

TEST(WordEntryStartsWith, MatchesTheShownWordNotTheId) {
    const struct {
        const wchar_t* entry;
        wchar_t ch;
        int expected;
    } cases[] = {
        {L"12|发展", L'发', 1}, {L"12|发展", L'1', 0}, {L"9|AB测试", L'a', 1}, {L"9|ab", L'A', 1},
        {L"9|[x", L'{', 0},     {L"3|", L'3', 0},     {L"plain", L'p', 1},    {L"9|\u00C4", L'\u00E4', 0},
    };
    for (const auto& c : cases) EXPECT_EQ(WordEntryStartsWith(c.entry, c.ch), c.expected) << (int)c.ch;
}

TEST(RowStore, KeepsEveryRowInOrderAcrossGrowthAndClear) {
    RowStore store = {};
    std::vector<std::wstring> rows;
    for (int i = 0; i < 30000; ++i) rows.push_back(std::wstring((size_t)(i % 37), L'字') + std::to_wstring(i));
    rows.push_back(L"");
    for (const std::wstring& row : rows) ASSERT_EQ(RowStoreAppend(&store, row.c_str()), 0);
    EXPECT_EQ(RowStoreAppend(&store, nullptr), 1);
    ASSERT_EQ(store.count, (int)rows.size());
    for (int i = 0; i < store.count; ++i) ASSERT_EQ(RowStoreRow(&store, i), rows[(size_t)i]) << i;
    EXPECT_EQ(RowStoreRow(&store, -1), nullptr);
    EXPECT_EQ(RowStoreRow(&store, store.count), nullptr);
    RowStoreClear(&store);
    EXPECT_EQ(store.count, 0);
    ASSERT_EQ(RowStoreAppend(&store, L"再"), 0);
    EXPECT_STREQ(RowStoreRow(&store, 0), L"再");
    RowStoreFree(&store);
}

TEST(RowStore, SameOnlyForTheSameRowsInOrderAndSwapKeepsBoth) {
    const struct {
        std::vector<std::wstring> a, b;
        int same;
    } cases[] = {
        {{}, {}, 1},
        {{L"甲", L"乙"}, {L"甲", L"乙"}, 1},
        {{L"甲", L"乙"}, {L"乙", L"甲"}, 0},
        {{L"甲乙"}, {L"甲", L"乙"}, 0},  // the same units, cut elsewhere
        {{L"甲", L""}, {L"甲"}, 0},
        {{L"a"}, {L"A"}, 0},
        {{L""}, {}, 0},
    };
    for (const auto& c : cases) {
        RowStore a = {}, b = {};
        for (const std::wstring& row : c.a) ASSERT_EQ(RowStoreAppend(&a, row.c_str()), 0);
        for (const std::wstring& row : c.b) ASSERT_EQ(RowStoreAppend(&b, row.c_str()), 0);
        EXPECT_EQ(RowStoreSame(&a, &b), c.same) << c.a.size() << " " << c.b.size();
        EXPECT_EQ(RowStoreSame(&b, &a), c.same);
        RowStoreSwap(&a, &b);
        ASSERT_EQ(a.count, (int)c.b.size());
        ASSERT_EQ(b.count, (int)c.a.size());
        for (int i = 0; i < a.count; ++i) EXPECT_EQ(RowStoreRow(&a, i), c.b[(size_t)i]);
        for (int i = 0; i < b.count; ++i) EXPECT_EQ(RowStoreRow(&b, i), c.a[(size_t)i]);
        RowStoreFree(&a);
        RowStoreFree(&b);
    }
    // Rows kept after a clear do not count.
    RowStore a = {}, b = {};
    RowStoreAppend(&a, L"旧的一行");
    RowStoreClear(&a);
    RowStoreAppend(&a, L"新");
    RowStoreAppend(&b, L"新");
    EXPECT_EQ(RowStoreSame(&a, &b), 1);
    RowStoreFree(&a);
    RowStoreFree(&b);
}

TEST(NextMarkupSegment, TitlesBoldUnclosedTagsPlain) {
    const struct {
        const wchar_t* text;
        const wchar_t* segments;  // B or p per segment, then its text, joined by |
    } cases[] = {
        {L"[TITLE]《甲》：[/TITLE]正文", L"B《甲》：|p正文"},
        {L"前[TITLE]甲[/TITLE]乙[TITLE]丙", L"p前|B甲|p乙|p[TITLE]丙"},
        {L"[TITLE]无结尾", L"p[TITLE]无结尾"},
        {L"[TITLE][/TITLE]后", L"B|p后"},
        {L"[/TITLE]孤", L"p[/TITLE]孤"},
        {L"", L""},
    };
    for (const auto& c : cases) {
        std::wstring got;
        MarkupSegment s;
        for (int pos = NextMarkupSegment(c.text, 0, &s); pos >= 0; pos = NextMarkupSegment(c.text, pos, &s)) {
            if (!got.empty()) got += L"|";
            got += s.bold ? L"B" : L"p";
            got.append(c.text + s.start, (size_t)s.length);
        }
        EXPECT_EQ(got, c.segments);
    }
}

// The view's characters for marked-up text, as the view lays them out: tags
// dropped, each CR LF one character (shown here as CR).
static std::wstring ViewChars(const wchar_t* markup) {
    std::wstring out;
    MarkupSegment s;
    for (int pos = NextMarkupSegment(markup, 0, &s); pos >= 0; pos = NextMarkupSegment(markup, pos, &s))
        out.append(markup + s.start, (size_t)s.length);
    std::wstring folded;
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] == L'\r' && i + 1 < out.size() && out[i + 1] == L'\n') ++i;
        folded += out[i];
    }
    return folded;
}

static std::wstring Copied(const std::wstring& markup, int from, int to) {
    ViewRow rows[16];
    int count = MapMarkupRows(markup.c_str(), rows, 16);
    std::wstring view = ViewChars(markup.c_str());
    int length = BuildSourcedCopy(view.c_str(), (int)view.size(), markup.c_str(), rows, count, from, to, nullptr, 0);
    std::wstring out((size_t)length + 1, L'\0');
    EXPECT_EQ(BuildSourcedCopy(view.c_str(), (int)view.size(), markup.c_str(), rows, count, from, to, &out[0],
                               length + 1),
              length);
    out.resize((size_t)length);
    return out;
}

TEST(BuildSourcedCopy, PartsFollowedByTheirReportTitle) {
    // View: "《甲报告》：一二三四\r《乙报告》：五六七\r无题段落"; titles 6 and 6 characters.
    const std::wstring markup =
        L"[TITLE]《甲报告》：[/TITLE]一二三四\r\n[TITLE]《乙报告》：[/TITLE]五六七\r\n无题段落";
    const struct {
        int from, to;
        const wchar_t* copied;
    } cases[] = {
        {7, 9, L"二三（《甲报告》）"},                             // inside one paragraph
        {8, 20, L"三四（《甲报告》）\r\n五六七（《乙报告》）"},    // across two reports
        {2, 8, L"一二（《甲报告》）"},                             // from inside a title line
        {0, 6, L""},                                               // a title line alone
        {11, 13, L""},                                             // the break and the next title
        {18, 30, L"六七（《乙报告》）\r\n无题段落"},               // a paragraph without a title: no source
        {21, 23, L"无题"},
        {5, 5, L""},                                               // empty
    };
    for (const auto& c : cases) EXPECT_EQ(Copied(markup, c.from, c.to), c.copied) << c.from << "-" << c.to;
}

TEST(BuildSourcedCopy, RowsAndLongSelections) {
    ViewRow rows[4];
    EXPECT_EQ(MapMarkupRows(L"", rows, 4), 0);
    EXPECT_EQ(MapMarkupRows(L"[TITLE]《甲》：[/TITLE]一\r\n[TITLE]乙[/TITLE]二", rows, 4), 2);
    EXPECT_EQ(rows[1].start, 6);
    EXPECT_EQ(rows[1].titleLength, 1);
    EXPECT_EQ(rows[1].sourceLength, 1);  // a title of another form is its own source
    EXPECT_EQ(ViewRowAt(rows, 2, 5), 0);  // the break belongs to the row before it
    EXPECT_EQ(ViewRowAt(rows, 2, 6), 1);
    EXPECT_EQ(ViewRowAt(rows, 2, 99), -1);
    // Rows that do not fit are still counted.
    EXPECT_EQ(MapMarkupRows(L"a\r\nb\r\nc\r\nd\r\ne", rows, 4), 5);

    // A selection of 8191 units in a paragraph of 9000.
    std::wstring body(9000, L'段');
    std::wstring markup = L"[TITLE]《2024年山西省政府工作报告》：[/TITLE]" + body;
    int titleLength = (int)wcslen(L"《2024年山西省政府工作报告》：");
    std::wstring copied = Copied(markup, titleLength, titleLength + 8191);
    EXPECT_EQ(copied, std::wstring(8191, L'段') + L"（《2024年山西省政府工作报告》）");
}

TEST(ParagraphMenuPoint, ClicksInsideAndKeyboardAtCaret) {
    // View rectangle 100,200 - 500,600.
    const struct {
        int x, y, caretX, caretY;
        int shown, outX, outY;
    } cases[] = {
        {150, 250, 0, 0, 1, 150, 250},      // a click inside
        {50, 250, 0, 0, 0, 0, 0},           // a click outside
        {500, 300, 0, 0, 0, 0, 0},          // the right edge is outside
        {-1, -1, 300, 400, 1, 300, 400},    // Shift+F10 or the Menu key: at the caret
        {-1, -1, 300, 900, 1, 104, 204},    // caret scrolled out of sight: the view's corner
    };
    for (const auto& c : cases) {
        int x = 0, y = 0;
        EXPECT_EQ(ParagraphMenuPoint(c.x, c.y, 100, 200, 500, 600, c.caretX, c.caretY, &x, &y), c.shown);
        if (c.shown) {
            EXPECT_EQ(x, c.outX);
            EXPECT_EQ(y, c.outY);
        }
    }
}
