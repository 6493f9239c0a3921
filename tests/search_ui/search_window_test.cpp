// The search controls on a real window over a keyed fixture corpus: lists,
// counted headers, narrowing picks, the paragraph view and its copy menu.
#include <gtest/gtest.h>
#include <windows.h>
#include <richedit.h>

#include <string>
#include <thread>
#include <vector>

#include "corpus/corpus_db.h"
#include "search/paragraph_view.h"
#include "search/result_lists.h"
#include "search/search_box.h"
#include "search/ui_fonts.h"
#include "tests/search_ui/search_window.h"
#include "ui/window_ids.h"

using Rows = std::vector<std::wstring>;

namespace {

HWND g_main;

class SearchWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(OpenKeyedCorpus(BuildPath("search_ui/ui_corpus.db"), BuildPath("search_ui/window-keyed.db")));
        g_main = CreateSearchTestWindow();
        ASSERT_NE(GetParagraphViewHandle(), nullptr) << "RichEdit must load under Wine";
    }
    static void TearDownTestSuite() {
        DestroySearchTestWindow();
        EXPECT_EQ(CorpusClose(), CORPUS_OK);
    }
    void SetUp() override {
        TypeSearchText(L"");  // every case starts idle
    }
};

const Rows IDLE = {L"3|推动", L"10|开放", L"8|改革", L"4|创新", L"2|发展", L"7|发扬"};

struct Lists {
    Rows words, phrases, clauses;
    std::wstring headers[3];
};

Lists Current() {
    return {ListEntries(0), ListEntries(1), ListEntries(2), {HeaderText(0), HeaderText(1), HeaderText(2)}};
}

void ExpectLists(const char* what, const Rows& words, const Rows& phrases, const Rows& clauses) {
    Lists now = Current();
    EXPECT_EQ(now.words, words) << what;
    EXPECT_EQ(now.phrases, phrases) << what;
    EXPECT_EQ(now.clauses, clauses) << what;
    EXPECT_EQ(now.headers[0], L"词汇(" + std::to_wstring(words.size()) + L")") << what;
    EXPECT_EQ(now.headers[1], L"词组(" + std::to_wstring(phrases.size()) + L")") << what;
    EXPECT_EQ(now.headers[2], L"短句(" + std::to_wstring(clauses.size()) + L")") << what;
}

Rows Terms(int column) {
    const HighlightTermSet* set = GetHighlightTermSet(column);
    return Rows(set->terms, set->terms + set->count);
}

std::wstring ParagraphHeader() { return WindowText(GetParagraphHeaderHandle()); }

// The view's text with one CR per paragraph, the way character positions count.
std::wstring ViewText() {
    HWND view = GetParagraphViewHandle();
    static wchar_t buffer[20000];
    GETTEXTEX gt = {};
    gt.cb = sizeof buffer;
    gt.flags = GT_DEFAULT;
    gt.codepage = 1200;
    SendMessageW(view, EM_GETTEXTEX, (WPARAM)&gt, (LPARAM)buffer);
    return buffer;
}

struct CharLook {
    bool bold;
    bool yellow;
};

std::vector<CharLook> ViewLooks(int length) {
    HWND view = GetParagraphViewHandle();
    std::vector<CharLook> looks;
    for (int i = 0; i < length; ++i) {
        CHARRANGE range = {i, i + 1};
        SendMessageW(view, EM_EXSETSEL, 0, (LPARAM)&range);
        CHARFORMAT2W format = {};
        format.cbSize = sizeof format;
        SendMessageW(view, EM_GETCHARFORMAT, SCF_SELECTION, (LPARAM)&format);
        bool yellow = !(format.dwEffects & CFE_AUTOBACKCOLOR) && format.crBackColor == TERM_HIGHLIGHT_COLOR;
        looks.push_back({(format.dwEffects & CFE_BOLD) != 0, yellow});
    }
    CHARRANGE none = {0, 0};
    SendMessageW(view, EM_EXSETSEL, 0, (LPARAM)&none);
    return looks;
}

// What the view must show for marked-up rows: plain text, bold marks, yellow marks.
struct Expected {
    std::wstring text;
    std::string bold, yellow;
};

Expected Render(const Rows& rows, const std::wstring& term) {
    Expected e;
    for (size_t r = 0; r < rows.size(); ++r) {
        if (r) {
            e.text += L'\r';
            e.bold += '.';
        }
        std::wstring row = rows[r];
        size_t open = row.find(L"[TITLE]"), close = row.find(L"[/TITLE]");
        if (open == 0 && close != std::wstring::npos) {
            std::wstring title = row.substr(7, close - 7);
            e.text += title;
            e.bold += std::string(title.size(), 'B');
            row = row.substr(close + 8);
        }
        e.text += row;
        e.bold += std::string(row.size(), '.');
    }
    e.yellow = std::string(e.text.size(), '.');
    if (!term.empty())
        for (size_t at = e.text.find(term); at != std::wstring::npos; at = e.text.find(term, at + term.size()))
            for (size_t i = 0; i < term.size(); ++i) e.yellow[at + i] = 'Y';
    return e;
}

void ExpectView(const char* what, const Rows& rows, const std::wstring& term) {
    Expected e = Render(rows, term);
    std::wstring text = ViewText();
    ASSERT_EQ(text, e.text) << what;
    std::vector<CharLook> looks = ViewLooks((int)text.size());
    std::string bold, yellow;
    for (size_t i = 0; i < looks.size(); ++i) {
        bool paragraphMark = text[i] == L'\r';
        bold += paragraphMark ? '.' : (looks[i].bold ? 'B' : '.');
        yellow += looks[i].yellow ? 'Y' : '.';
    }
    EXPECT_EQ(bold, e.bold) << what;
    EXPECT_EQ(yellow, e.yellow) << what;
}

const std::wstring SHANXI = L"[TITLE]《2023年山西省政府工作报告》：[/TITLE]";
const std::wstring STATE = L"[TITLE]《2022年国务院政府工作报告》：[/TITLE]";

}  // namespace

TEST_F(SearchWindow, IdleListAtCreationAndAfterClearing) {
    ExpectLists("idle", IDLE, {}, {});
    TypeSearchText(L"发展");
    PickEntry(2, 0);
    ASSERT_NE(ParagraphHeader(), L"段落");
    TypeSearchText(L"");
    ExpectLists("cleared", IDLE, {}, {});
    for (int c = 0; c < 3; ++c) EXPECT_TRUE(Terms(c).empty());
    EXPECT_EQ(ParagraphHeader(), L"段落");
    EXPECT_EQ(ViewText(), L"");
}

TEST_F(SearchWindow, TypingFillsTheThreeListsInQueryOrder) {
    const struct {
        const wchar_t* text;
        Rows words, phrases, clauses;
    } cases[] = {
        {L"发展", {L"2|发展", L"5|高质量发展"}, {L"高质量发展", L"创新驱动发展", L"发展新质生产力", L"推动高质量发展"},
         {L"创新驱动发展", L"推动高质量发展", L"加快发展新质生产力", L"没有段落的短句谈发展"}},
        {L"发", {L"1|发", L"2|发展", L"7|发扬", L"5|高质量发展"},
         {L"高质量发展", L"创新驱动发展", L"发展新质生产力", L"推动高质量发展"},
         {L"创新驱动发展", L"推动高质量发展", L"加快发展新质生产力", L"没有段落的短句谈发展"}},
        // Latin letters match either case; two terms must both occur.
        {L"ab", {L"9|AB测试"}, {L"ab测试方案"}, {L"AB测试方案落地"}},
        {L"创新  发展", {}, {L"创新驱动发展"}, {L"创新驱动发展"}},
        {L"改革", {L"8|改革"}, {L"改革开放", L"深化改革"}, {L"深化改革 扩大开放"}},
        {L"不存在", {}, {}, {}},
        // LIKE wildcards in the text are literal.
        {L"%", {}, {}, {}},
    };
    for (const auto& c : cases) {
        TypeSearchText(c.text);
        char what[64];
        WideCharToMultiByte(CP_UTF8, 0, c.text, -1, what, sizeof what, nullptr, nullptr);
        ExpectLists(what, c.words, c.phrases, c.clauses);
    }
}

TEST_F(SearchWindow, SearchTermsGoToAllThreeTermSets) {
    TypeSearchText(L"  发展   改革 ");
    for (int c = 0; c < 3; ++c) EXPECT_EQ(Terms(c), (Rows{L"发展", L"改革"}));
    // A 64-unit term still queries but is not highlighted; only ten terms are kept.
    std::wstring text = std::wstring(64, L'长') + L" a b c d e f g h i j k";
    TypeSearchText(text.c_str());
    EXPECT_EQ(Terms(1), (Rows{L"a", L"b", L"c", L"d", L"e", L"f", L"g", L"h", L"i", L"j"}));
    ExpectLists("long term queried", {}, {}, {});
}

TEST_F(SearchWindow, OnlyTheFirst255UnitsCount) {
    // Beyond the 255 units the second term is never read.
    std::wstring text = L"发展" + std::wstring(253, L' ') + L"改革";
    TypeSearchText(text.c_str());
    EXPECT_EQ(ListEntries(0), (Rows{L"2|发展", L"5|高质量发展"}));
}

TEST_F(SearchWindow, UnchangedNormalizedTextRunsNoSearch) {
    TypeSearchText(L"   ");
    ExpectLists("spaces only", IDLE, {}, {});
    TypeSearchText(L"发展");
    PickEntry(0, 0);  // narrows the lists to the right
    const Lists narrowed = Current();
    PickEntry(2, 1);
    const std::wstring header = ParagraphHeader();
    for (const wchar_t* same : {L"发展 ", L"  发展", L" 发展  "}) {
        TypeSearchText(same);
        Lists now = Current();
        EXPECT_EQ(now.phrases, narrowed.phrases);
        EXPECT_EQ(now.clauses, narrowed.clauses);
        EXPECT_EQ(ParagraphHeader(), header) << "the paragraph view stays too";
    }
    TypeSearchText(L"发展 改革");
    EXPECT_EQ(ParagraphHeader(), L"段落");
    ExpectLists("changed", {}, {}, {});
}

TEST_F(SearchWindow, WordPickNarrowsPhrasesById) {
    const struct {
        const wchar_t* search;
        int index;
        Rows phrases, clauses;
    } cases[] = {
        // Only, last, first entry of words_array; ties on length go by count_clauses.
        {L"发展", 0, {L"创新驱动发展", L"发展新质生产力"},
         {L"创新驱动发展", L"推动高质量发展", L"加快发展新质生产力", L"没有段落的短句谈发展"}},
        {L"高质量", 0, {L"高质量发展", L"推动高质量发展"}, {L"推动高质量发展"}},
        {L"改革", 0, {L"改革开放", L"深化改革"}, {L"深化改革 扩大开放"}},
        {L"开放", 0, {L"改革开放"}, {L"深化改革 扩大开放"}},
        {L"推动", 0, {L"推动高质量发展"}, {L"推动高质量发展"}},
    };
    for (const auto& c : cases) {
        TypeSearchText(c.search);
        Rows words = ListEntries(0);
        PickEntry(2, 0);
        PickEntry(0, c.index);
        char what[64];
        WideCharToMultiByte(CP_UTF8, 0, c.search, -1, what, sizeof what, nullptr, nullptr);
        ExpectLists(what, words, c.phrases, c.clauses);
        std::wstring word = words[c.index].substr(words[c.index].find(L'|') + 1);
        EXPECT_TRUE(Terms(0).empty()) << what;
        EXPECT_EQ(Terms(1), Rows{word}) << what;
        EXPECT_EQ(Terms(2), Rows{word}) << what;
        EXPECT_EQ(ParagraphHeader(), L"段落") << what;
        EXPECT_EQ(ViewText(), L"") << what;
    }
}

TEST_F(SearchWindow, PhrasePickNarrowsShortSentencesOnly) {
    TypeSearchText(L"改革");
    PickEntry(1, 1);  // 深化改革
    ExpectLists("phrase pick", {L"8|改革"}, {L"改革开放", L"深化改革"}, {L"深化改革 扩大开放"});
    EXPECT_EQ(Terms(0), Rows{L"改革"});
    EXPECT_TRUE(Terms(1).empty());
    EXPECT_EQ(Terms(2), Rows{L"深化改革"});
    PickEntry(1, 0);  // 改革开放 occurs in no short sentence
    ExpectLists("empty pick", {L"8|改革"}, {L"改革开放", L"深化改革"}, {});
}

TEST_F(SearchWindow, DoubleClickAndOtherNotificationsChangeNothing) {
    TypeSearchText(L"发展");
    HWND words = GetResultListHandle(0);
    SendMessageW(words, LB_SETCURSEL, 0, 0);
    Lists before = Current();
    EXPECT_EQ(OnResultListCommand(MAKEWPARAM(IDC_WORD_LIST, LBN_DBLCLK)), 1);
    EXPECT_EQ(OnResultListCommand(MAKEWPARAM(IDC_WORD_LIST, LBN_SETFOCUS)), 0);
    EXPECT_EQ(OnResultListCommand(MAKEWPARAM(IDC_SEARCH_BOX, EN_CHANGE)), 0);
    EXPECT_EQ(OnSearchBoxCommand(MAKEWPARAM(IDC_SEARCH_BOX, EN_SETFOCUS)), 0);
    EXPECT_EQ(OnSearchBoxCommand(MAKEWPARAM(IDC_WORD_LIST, EN_CHANGE)), 0);
    EXPECT_EQ(Current().phrases, before.phrases);
    // No selection: still answered, nothing rebuilt.
    SendMessageW(GetResultListHandle(1), LB_SETCURSEL, (WPARAM)-1, 0);
    EXPECT_EQ(OnResultListCommand(MAKEWPARAM(IDC_PHRASE_LIST, LBN_SELCHANGE)), 1);
    EXPECT_EQ(Current().clauses, before.clauses);
}

TEST_F(SearchWindow, ShortSentencePickShowsItsParagraphs) {
    TypeSearchText(L"推动高质量发展");
    Lists before = Current();
    PickEntry(2, 0);
    ExpectView("paragraphs",
               {SHANXI + L"我们着力推动高质量发展，经济运行稳中向好。推动高质量发展是首要任务。",
                L"[TITLE]《2024年推动高质量发展专题报告》：[/TITLE]坚持推动高质量发展不动摇。",
                L"没有标题的段落也在推动高质量发展。", L"没有对应报告的段落也推动高质量发展。",
                SHANXI + L"含有[TITLE]未闭合标记的推动高质量发展段落。"},
               L"推动高质量发展");
    EXPECT_EQ(ParagraphHeader(), L"段落(5)");
    Lists after = Current();
    EXPECT_EQ(after.words, before.words);
    EXPECT_EQ(after.clauses, before.clauses);
    EXPECT_EQ(after.headers[2], before.headers[2]);
    // Scrolled to the top with nothing selected.
    HWND view = GetParagraphViewHandle();
    CHARRANGE range = {-1, -1};
    SendMessageW(view, EM_EXGETSEL, 0, (LPARAM)&range);
    EXPECT_EQ(range.cpMin, 0);
    EXPECT_EQ(range.cpMax, 0);
    EXPECT_EQ(SendMessageW(view, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    // Undo has nothing to take back: the text, bold titles and highlights stay.
    EXPECT_EQ(SendMessageW(view, EM_CANUNDO, 0, 0), 0);
    SendMessageW(view, EM_UNDO, 0, 0);
    ExpectView("after undo",
               {SHANXI + L"我们着力推动高质量发展，经济运行稳中向好。推动高质量发展是首要任务。",
                L"[TITLE]《2024年推动高质量发展专题报告》：[/TITLE]坚持推动高质量发展不动摇。",
                L"没有标题的段落也在推动高质量发展。", L"没有对应报告的段落也推动高质量发展。",
                SHANXI + L"含有[TITLE]未闭合标记的推动高质量发展段落。"},
               L"推动高质量发展");
}

TEST_F(SearchWindow, ShortSentenceEdgeCases) {
    // Spaces: the query wants both parts, the highlight the whole sentence only.
    TypeSearchText(L"深化改革");
    PickEntry(2, 0);
    ExpectView("with spaces", {STATE + L"我们深化改革，并且扩大开放。"}, L"");
    EXPECT_EQ(ParagraphHeader(), L"段落(1)");
    // No paragraph: the sentence alone, highlighted.
    TypeSearchText(L"谈发展");
    PickEntry(2, 0);
    ExpectView("no paragraph", {L"没有段落的短句谈发展"}, L"没有段落的短句谈发展");
    EXPECT_EQ(ParagraphHeader(), L"段落(0)");
    // Rows that would pass 8191 units are left out but counted; a later short one fits.
    TypeSearchText(L"超长段落");
    PickEntry(2, 0);
    const std::wstring head = L"超长段落";
    ExpectView("bounded",
               {head + std::wstring(1990, L'文'), head + std::wstring(1990, L'武'), head + std::wstring(1990, L'火'),
                head + std::wstring(1990, L'土'), L"超长段落短尾"},
               L"超长段落");
    EXPECT_EQ(ParagraphHeader(), L"段落(6)");
    // Over 255 units the sentence is still looked up but not highlighted.
    TypeSearchText(L"长句");
    PickEntry(2, 0);
    ExpectView("long sentence", {L"前言长句" + std::wstring(300, L'句') + L"后记"}, L"");
    EXPECT_EQ(ParagraphHeader(), L"段落(1)");
    // A search clears the view.
    TypeSearchText(L"发展");
    EXPECT_EQ(ViewText(), L"");
    EXPECT_EQ(ParagraphHeader(), L"段落");
}

TEST_F(SearchWindow, RenderShowsTitleMarkupAndUnclosedTagsLiterally) {
    ClearParagraphView();
    RenderParagraphText(L"前[TITLE]甲[/TITLE]乙[TITLE]丙[/TIT");
    std::wstring text = ViewText();
    EXPECT_EQ(text, L"前甲乙[TITLE]丙[/TIT");
    std::vector<CharLook> looks = ViewLooks((int)text.size());
    std::string bold;
    for (const CharLook& look : looks) bold += look.bold ? 'B' : '.';
    EXPECT_EQ(bold, ".B" + std::string(14, '.'));
}

TEST_F(SearchWindow, DataMenuPickShowsTheWholeReport) {
    TypeSearchText(L"发展");
    PickEntry(0, 0);
    Lists before = Current();
    SendMessageW(g_main, MSG_DATA_MENU_PICK, 2023, 4);
    PumpMessages();
    ExpectView("2023 Shanxi",
               {SHANXI + L"我们着力推动高质量发展，经济运行稳中向好。推动高质量发展是首要任务。",
                SHANXI + L"全年加快发展新质生产力，新动能持续壮大。",
                SHANXI + L"含有[TITLE]未闭合标记的推动高质量发展段落。"},
               L"");
    EXPECT_EQ(ParagraphHeader(), L"段落(3)");
    Lists after = Current();
    EXPECT_EQ(after.words, before.words);
    EXPECT_EQ(after.phrases, before.phrases);
    EXPECT_EQ(after.clauses, before.clauses);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(after.headers[c], before.headers[c]);
    const struct {
        int year, index;
        const wchar_t* line;
    } missing[] = {
        {2021, 1, L"语料库中没有“2021年北京市政府工作报告”的段落。"},
        {2022, 4, L"语料库中没有“2022年山西省政府工作报告”的段落。"},
        {2025, 77, L"语料库中没有“2025年”的段落。"},
    };
    for (const auto& m : missing) {
        SendMessageW(g_main, MSG_DATA_MENU_PICK, (WPARAM)m.year, m.index);
        PumpMessages();
        ExpectView("missing report", {m.line}, L"");
        EXPECT_EQ(ParagraphHeader(), L"段落(0)");
    }
    SendMessageW(g_main, MSG_DATA_MENU_PICK, 2022, 0);
    PumpMessages();
    EXPECT_EQ(ParagraphHeader(), L"段落(3)");
    EXPECT_EQ(ViewText().substr(0, 17), L"《2022年国务院政府工作报告》：");
}

namespace {

// Answers the popup menu from a second thread: first item, or cancel.
struct MenuAnswer {
    bool seen = false;
    bool choose = true;
};

void AnswerMenu(MenuAnswer* answer) {
    for (int i = 0; i < 50; ++i) {
        HWND menu = FindWindowW(L"#32768", nullptr);
        if (menu && IsWindowVisible(menu)) {
            answer->seen = true;
            Sleep(100);
            if (answer->choose) {
                PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
                PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
            } else {
                PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
            }
            return;
        }
        Sleep(40);
    }
}

LPARAM ScreenPoint(HWND window, int dx, int dy) {
    RECT r;
    GetWindowRect(window, &r);
    return MAKELPARAM(r.left + dx, r.top + dy);
}

std::wstring ClipboardText() {
    std::wstring text;
    if (!OpenClipboard(nullptr)) return L"<no clipboard>";
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (data) {
        const wchar_t* p = (const wchar_t*)GlobalLock(data);
        if (p) text = p;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

}  // namespace

TEST_F(SearchWindow, CopyMenuPutsTheSelectionOnTheClipboard) {
    TypeSearchText(L"深化改革");
    PickEntry(2, 0);
    HWND view = GetParagraphViewHandle();
    // Nothing selected: answered, no menu.
    MenuAnswer none;
    none.choose = false;
    std::thread watcher(AnswerMenu, &none);
    EXPECT_EQ(OnParagraphContextMenu(g_main, ScreenPoint(view, 20, 20)), 1);
    watcher.join();
    EXPECT_FALSE(none.seen);
    // Outside the view, and the keyboard's (-1, -1): not this view's click.
    EXPECT_EQ(OnParagraphContextMenu(g_main, ScreenPoint(GetResultListHandle(0), 20, 20)), 0);
    EXPECT_EQ(OnParagraphContextMenu(g_main, (LPARAM)-1), 0);

    OpenClipboard(nullptr);
    EmptyClipboard();
    CloseClipboard();
    std::wstring text = ViewText();
    size_t at = text.find(L"深化改革");
    ASSERT_NE(at, std::wstring::npos);
    CHARRANGE range = {(LONG)at, (LONG)at + 4};
    SendMessageW(view, EM_EXSETSEL, 0, (LPARAM)&range);
    MenuAnswer pick;
    std::thread chooser(AnswerMenu, &pick);
    EXPECT_EQ(OnParagraphContextMenu(g_main, ScreenPoint(view, 20, 20)), 1);
    chooser.join();
    EXPECT_TRUE(pick.seen);
    EXPECT_EQ(ClipboardText(), L"深化改革");
}

TEST_F(SearchWindow, FontRefreshKeepsContentAndRowHeight) {
    TypeSearchText(L"发展");
    Lists before = Current();
    RefreshResultListFonts();
    RefreshSearchBoxFont();
    RefreshParagraphViewFont();
    PumpMessages();
    Lists after = Current();
    EXPECT_EQ(after.words, before.words);
    EXPECT_EQ(after.clauses, before.clauses);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(SendMessageW(GetResultListHandle(c), LB_GETITEMHEIGHT, 0, 0), GetListItemHeight());
        EXPECT_NE(SendMessageW(GetResultListHandle(c), WM_GETFONT, 0, 0), 0);
    }
}

TEST_F(SearchWindow, TypingIntoTheWordsListFindsTheWordShown) {
    // Idle words: 3|推动 10|开放 8|改革 4|创新 2|发展 7|发扬. Each key searches on from the caret and wraps.
    const struct {
        const wchar_t* search;
        const wchar_t* keys;
        int selected;
        const wchar_t* phrasesHeader;
    } cases[] = {
        {L"", L"1", -1, L"词组(0)"},  // a hidden id prefix finds nothing
        {L"", L"发", 4, L"词组(2)"},
        {L"", L"发发", 5, L"词组(0)"},
        {L"", L"发发发", 4, L"词组(2)"},
        {L"", L"改", 2, L"词组(2)"},
        {L"ab", L"a", 0, L"词组(1)"},  // Latin letters either case
        {L"ab", L"x", -1, L"词组(1)"},
    };
    for (const auto& c : cases) {
        TypeSearchText(L"无此词");  // each case starts on a freshly filled list
        TypeSearchText(c.search);
        HWND words = GetResultListHandle(0);
        for (const wchar_t* k = c.keys; *k; ++k) SendMessageW(words, WM_CHAR, *k, 1);
        PumpMessages();
        char what[64];
        WideCharToMultiByte(CP_UTF8, 0, c.keys, -1, what, sizeof what, nullptr, nullptr);
        EXPECT_EQ(SendMessageW(words, LB_GETCURSEL, 0, 0), c.selected) << what;
        EXPECT_EQ(HeaderText(1), c.phrasesHeader) << what;
    }
}

namespace {

Rows ManyRows(int n) {
    Rows rows;
    for (int i = 0; i < n; ++i) rows.push_back(std::to_wstring(i) + L"|词" + std::to_wstring(i));
    return rows;
}

// The words column as a query of n rows would fill it.
void FillWords(const Rows& rows) {
    BeginResultFill(1);
    for (const std::wstring& row : rows) AddWordRow(row.c_str(), 0);
    ShowResultFill(1);
}

RECT RectInMain(HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, g_main, (POINT*)&r, 2);
    return r;
}

}  // namespace

TEST_F(SearchWindow, BigListsShowTheirCountAndFirstRowsAtOnceThenComplete) {
    const Rows big = ManyRows(30000);
    HWND before = GetResultListHandle(0);
    RECT place = RectInMain(before);
    FillWords(big);
    // The first screen: full count in the header, the visible rows in the list, the rest pending.
    EXPECT_EQ(HeaderText(0), L"词汇(30000)");
    int shown = (int)SendMessageW(GetResultListHandle(0), LB_GETCOUNT, 0, 0);
    EXPECT_GT(shown, 0);
    EXPECT_LT(shown, 200);
    EXPECT_EQ(ResultListsBusy(), 1);
    PumpMessages();
    EXPECT_EQ(ResultListsBusy(), 0);
    EXPECT_EQ(ListEntries(0), big);

    // A search replaces the big list by an empty spare in its place; the old one
    // empties while hidden, and GetDlgItem finds only the one shown.
    TypeSearchText(L"发展");
    ExpectLists("after a big list", {L"2|发展", L"5|高质量发展"},
                {L"高质量发展", L"创新驱动发展", L"发展新质生产力", L"推动高质量发展"},
                {L"创新驱动发展", L"推动高质量发展", L"加快发展新质生产力", L"没有段落的短句谈发展"});
    HWND now = GetResultListHandle(0);
    EXPECT_NE(now, before);
    EXPECT_EQ(GetDlgItem(g_main, IDC_WORD_LIST), now);
    EXPECT_TRUE(IsWindowVisible(now));
    EXPECT_FALSE(IsWindowVisible(before));
    EXPECT_NE(GetDlgCtrlID(before), IDC_WORD_LIST);
    EXPECT_EQ(SendMessageW(before, LB_GETCOUNT, 0, 0), 0);
    RECT moved = RectInMain(now);
    EXPECT_TRUE(EqualRect(&moved, &place));
    EXPECT_EQ(SendMessageW(now, LB_GETITEMHEIGHT, 0, 0), GetListItemHeight());
    EXPECT_EQ(SendMessageW(now, WM_GETFONT, 0, 0), SendMessageW(GetResultHeaderHandle(0), WM_GETFONT, 0, 0));

    // Type-to-find works on the spare as well.
    TypeSearchText(L"");
    SendMessageW(GetResultListHandle(0), WM_CHAR, L'改', 1);
    PumpMessages();
    EXPECT_EQ(SendMessageW(GetResultListHandle(0), LB_GETCURSEL, 0, 0), 2);
}

TEST_F(SearchWindow, ChangedTextAbandonsTheFillingAndAPickKeepsTheOtherLists) {
    // Two big fills in a row, each abandoned after its first screen.
    FillWords(ManyRows(20000));
    FillWords(ManyRows(25000));
    SetWindowTextW(GetSearchBoxHandle(), L"改革");  // EN_CHANGE runs the search without pumping
    ExpectLists("abandoned", {L"8|改革"}, {L"改革开放", L"深化改革"}, {L"深化改革 扩大开放"});
    PumpMessages();
    ExpectLists("after the slices", {L"8|改革"}, {L"改革开放", L"深化改革"}, {L"深化改革 扩大开放"});
    EXPECT_EQ(ResultListsBusy(), 0);

    // A pick rebuilds the lists to its right; the words column goes on filling to its full count.
    const Rows big = ManyRows(12000);
    FillWords(big);
    SendMessageW(GetResultListHandle(1), LB_SETCURSEL, 1, 0);  // 深化改革
    SendMessageW(g_main, WM_COMMAND, MAKEWPARAM(IDC_PHRASE_LIST, LBN_SELCHANGE), (LPARAM)GetResultListHandle(1));
    PumpMessages();
    EXPECT_EQ(ListEntries(0), big);
    EXPECT_EQ(HeaderText(0), L"词汇(12000)");
    EXPECT_EQ(ListEntries(2), Rows{L"深化改革 扩大开放"});
}

TEST_F(SearchWindow, AnEqualAnswerLeavesEveryListAsAFreshFillWould) {
    // The same 20,000 rows again, after the list was left alone, scrolled, selected or only half filled.
    const Rows big = ManyRows(20000);
    FillWords(big);
    PumpMessages();
    HWND kept = GetResultListHandle(0);
    FillWords(big);
    EXPECT_EQ(GetResultListHandle(0), kept);
    EXPECT_EQ(ResultListsBusy(), 0);
    EXPECT_EQ(ListEntries(0), big);
    const struct {
        const char* what;
        WPARAM selected, top;
    } touched[] = {{"selected", 3, 0}, {"scrolled", (WPARAM)-1, 500}, {"both", 7000, 6990}};
    for (const auto& t : touched) {
        HWND list = GetResultListHandle(0);
        SendMessageW(list, LB_SETCURSEL, t.selected, 0);
        SendMessageW(list, LB_SETTOPINDEX, t.top, 0);
        FillWords(big);
        PumpMessages();
        list = GetResultListHandle(0);
        EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR) << t.what;
        EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0) << t.what;
        EXPECT_EQ(SendMessageW(list, LB_GETCARETINDEX, 0, 0), 0) << t.what;
        EXPECT_EQ(ListEntries(0), big) << t.what;
        EXPECT_EQ(HeaderText(0), L"词汇(20000)") << t.what;
    }
    // Abandoned after its first screen, then the same rows: the list still completes.
    FillWords(ManyRows(30000));
    FillWords(big);
    PumpMessages();
    EXPECT_EQ(ListEntries(0), big);
    // One row more or one row different is a new answer.
    Rows more = big;
    more.push_back(L"20000|词末");
    FillWords(more);
    PumpMessages();
    EXPECT_EQ(ListEntries(0), more);
    Rows other = big;
    other[19999] = L"19999|词变";
    FillWords(other);
    PumpMessages();
    EXPECT_EQ(ListEntries(0), other);

    // Typing on with the same rows shows the new terms' highlights in the kept lists.
    TypeSearchText(L"发展");
    Rows phrases = ListEntries(1);
    TypeSearchText(L"发");
    EXPECT_EQ(ListEntries(1), phrases);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(Terms(c), Rows{L"发"});
    RECT update;
    EXPECT_FALSE(GetUpdateRect(GetResultListHandle(1), &update, FALSE));  // painted already, not pending
}
