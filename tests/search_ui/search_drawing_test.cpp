// The owner-drawn lists as they reach the screen: pixels read back from the
// real list boxes after they painted themselves.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "corpus/corpus_db.h"
#include "search/list_drawing.h"
#include "search/result_lists.h"
#include "search/ui_fonts.h"
#include "tests/search_ui/search_window.h"
#include "ui/window_ids.h"

namespace {

const COLORREF YELLOW = RGB(254, 226, 90);

// The client area of a control as 32-bit pixels.
struct Capture {
    int width = 0, height = 0;
    std::vector<COLORREF> pixels;
    COLORREF at(int x, int y) const { return pixels[(size_t)y * width + x]; }
};

Capture Grab(HWND control) {
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    PumpMessages();
    RECT rc;
    GetClientRect(control, &rc);
    Capture cap;
    cap.width = rc.right;
    cap.height = rc.bottom;
    HDC screen = GetDC(control);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = cap.width;
    bi.bmiHeader.biHeight = -cap.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, cap.width, cap.height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const DWORD* p = (const DWORD*)bits;
    for (int i = 0; i < cap.width * cap.height; ++i)
        cap.pixels.push_back(RGB((p[i] >> 16) & 0xFF, (p[i] >> 8) & 0xFF, p[i] & 0xFF));
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(control, screen);
    return cap;
}

// Columns of one list row that hold the given colour: first and one past last.
struct Span {
    int first = -1, last = -1;
    int count = 0;
};

Span ColourColumns(const Capture& cap, int row, COLORREF colour) {
    int height = GetListItemHeight();
    Span s;
    for (int x = 0; x < cap.width; ++x) {
        bool hit = false;
        for (int y = row * height; y < (row + 1) * height && y < cap.height; ++y)
            if (cap.at(x, y) == colour) hit = true;
        if (hit) {
            if (s.first < 0) s.first = x;
            s.last = x + 1;
            ++s.count;
        }
    }
    return s;
}

int TextWidth(HWND list, const wchar_t* text) {
    HDC dc = GetDC(list);
    HGDIOBJ old = SelectObject(dc, (HFONT)SendMessageW(list, WM_GETFONT, 0, 0));
    SIZE size = {};
    GetTextExtentPoint32W(dc, text, (int)wcslen(text), &size);
    SelectObject(dc, old);
    ReleaseDC(list, dc);
    return size.cx;
}

class ListDrawing : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(OpenKeyedCorpus(BuildPath("search_ui/ui_corpus.db"), BuildPath("search_ui/drawing-keyed.db")));
        CreateSearchTestWindow();
    }
    static void TearDownTestSuite() {
        DestroySearchTestWindow();
        CorpusClose();
    }
    void SetUp() override { TypeSearchText(L""); }
};

}  // namespace

TEST_F(ListDrawing, MatchedTermAloneIsOnYellow) {
    TypeSearchText(L"发展");
    HWND words = GetResultListHandle(0);  // 发展, 高质量发展
    Capture cap = Grab(words);
    int x0 = ScaleForDpi(4);
    Span first = ColourColumns(cap, 0, YELLOW);
    EXPECT_EQ(first.first, x0);
    EXPECT_EQ(first.last, x0 + TextWidth(words, L"发展"));
    EXPECT_EQ(first.count, first.last - first.first) << "one unbroken run";
    // In 高质量发展 the yellow starts after the plain 高质量.
    Span second = ColourColumns(cap, 1, YELLOW);
    EXPECT_EQ(second.first, x0 + TextWidth(words, L"高质量"));
    EXPECT_EQ(second.last, x0 + TextWidth(words, L"高质量发展"));
    // Text is drawn in the window colour elsewhere: no yellow in the unused rows.
    EXPECT_EQ(ColourColumns(cap, 2, YELLOW).count, 0);
}

TEST_F(ListDrawing, FirstMatchingTermWins) {
    HWND words = GetResultListHandle(0);
    int x0 = ScaleForDpi(4);
    TypeSearchText(L"发 发展");  // 发展 first in the list
    Span shortFirst = ColourColumns(Grab(words), 0, YELLOW);
    EXPECT_EQ(shortFirst.first, x0);
    EXPECT_EQ(shortFirst.last, x0 + TextWidth(words, L"发")) << "发 highlighted, 展 plain";
    TypeSearchText(L"发展 发");
    Span longFirst = ColourColumns(Grab(words), 0, YELLOW);
    EXPECT_EQ(longFirst.first, x0);
    EXPECT_EQ(longFirst.last, x0 + TextWidth(words, L"发展"));
}

TEST_F(ListDrawing, SelectedEntryShowsNoYellow) {
    TypeSearchText(L"发展");
    HWND phrases = GetResultListHandle(1);
    SendMessageW(phrases, LB_SETCURSEL, 1, 0);
    Capture cap = Grab(phrases);
    EXPECT_EQ(ColourColumns(cap, 1, YELLOW).count, 0);
    EXPECT_GT(ColourColumns(cap, 1, GetSysColor(COLOR_HIGHLIGHT)).count, cap.width / 2);
    EXPECT_GT(ColourColumns(cap, 0, YELLOW).count, 0) << "the entry above keeps its highlight";
    EXPECT_GT(ColourColumns(cap, 2, YELLOW).count, 0);
}

TEST_F(ListDrawing, WordIdIsHiddenAndLatinMatchesEitherCase) {
    TypeSearchText(L"ab");
    HWND words = GetResultListHandle(0);  // 9|AB测试
    Span span = ColourColumns(Grab(words), 0, YELLOW);
    int x0 = ScaleForDpi(4);
    EXPECT_EQ(span.first, x0) << "the id and bar are not drawn";
    EXPECT_EQ(span.last, x0 + TextWidth(words, L"AB"));
}

TEST_F(ListDrawing, IdleWordsAndPickedListDrawPlain) {
    Capture idle = Grab(GetResultListHandle(0));
    for (int row = 0; row < 6; ++row) EXPECT_EQ(ColourColumns(idle, row, YELLOW).count, 0) << row;
    // After a word pick the words list highlights nothing, the phrases list the word.
    TypeSearchText(L"发展");
    PickEntry(0, 1);  // 高质量发展
    HWND words = GetResultListHandle(0);
    SendMessageW(words, LB_SETCURSEL, (WPARAM)-1, 0);
    EXPECT_EQ(ColourColumns(Grab(words), 0, YELLOW).count, 0);
    EXPECT_GT(ColourColumns(Grab(GetResultListHandle(1)), 0, YELLOW).count, 0);
}

TEST_F(ListDrawing, HeadersAndOtherControls) {
    DRAWITEMSTRUCT item = {};
    item.CtlID = 4001;
    EXPECT_EQ(DrawResultItem(&item), 0);
    MEASUREITEMSTRUCT measure = {};
    measure.CtlID = IDC_CLAUSE_LIST;
    EXPECT_EQ(MeasureResultItem(&measure), 1);
    EXPECT_EQ((int)measure.itemHeight, GetListItemHeight());
    measure.CtlID = IDC_CLAUSE_HEADER;
    measure.itemHeight = 7;
    EXPECT_EQ(MeasureResultItem(&measure), 0);
    EXPECT_EQ(measure.itemHeight, 7u);
    // A header is a flat button-face label holding its counted text.
    TypeSearchText(L"发展");
    Capture header = Grab(GetResultHeaderHandle(0));
    EXPECT_EQ(header.at(1, 1), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(HeaderText(0), L"词汇(2)");
}
