// The shell's arithmetic, settings file and texts, in the test's own process.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/storage.h"
#include "app/ui_settings.h"
#include "ui/about_box.h"
#include "ui/layout.h"
#include "ui/main_window.h"
#include "ui/privacy_dialog.h"
#include "ui/status_bar.h"
#include "ui/window_ids.h"

static void ExpectPlacement(const Placement& p, int x, int y, int w, int h, const char* what) {
    EXPECT_EQ(p.x, x) << what;
    EXPECT_EQ(p.y, y) << what;
    EXPECT_EQ(p.width, w) << what;
    EXPECT_EQ(p.height, h) << what;
}

TEST(Layout, WorkedExampleAt96Dpi) {
    MainLayout l;
    ASSERT_EQ(ComputeMainLayout(660, 600, 22, 96, &l), 1);
    ExpectPlacement(l.searchBox, 1, 1, 658, 22, "search box");
    const int xs[3] = {1, 166, 331}, ws[3] = {164, 164, 328};
    for (int c = 0; c < 3; ++c) {
        ExpectPlacement(l.headers[c], xs[c], 24, ws[c], 26, "header");
        ExpectPlacement(l.lists[c], xs[c], 50, ws[c], 223, "list");
    }
    ExpectPlacement(l.paragraphHeader, 1, 273, 658, 26, "paragraph header");
    ExpectPlacement(l.paragraphView, 1, 299, 658, 279, "paragraph view");
    // Nothing reaches under the status bar.
    EXPECT_EQ(l.paragraphView.y + l.paragraphView.height, 600 - 22);
}

TEST(Layout, At144DpiMarginsGapsTopAndHeadersScale) {
    MainLayout l;
    ASSERT_EQ(ComputeMainLayout(990, 900, 33, 144, &l), 1);
    ExpectPlacement(l.searchBox, 2, 2, 986, 33, "search box");
    // inner = 990 - 2 * (2 + 2) = 982, cw = 245, w3 = 492
    const int xs[3] = {2, 249, 496}, ws[3] = {245, 245, 492};
    // free = 900 - 33 - 36 = 831, listH = 373, paraH = 458, paraY = 409
    for (int c = 0; c < 3; ++c) {
        ExpectPlacement(l.headers[c], xs[c], 36, ws[c], 39, "header");
        ExpectPlacement(l.lists[c], xs[c], 75, ws[c], 373 - 39, "list");
    }
    ExpectPlacement(l.paragraphHeader, 2, 409, 986, 39, "paragraph header");
    ExpectPlacement(l.paragraphView, 2, 448, 986, 458 - 39, "paragraph view");
}

TEST(Layout, SmallHeightsKeepFiftyPixelSectionsAndOverlap) {
    struct Case {
        int height, listHeight, paragraphTop, paragraphHeight;
    } cases[] = {
        {150, 50, 70, 58},  // free 104: lists clamped, paragraph starts at 24 + 46
        {100, 50, 48, 50},  // free 54: both clamped
        {60, 50, 30, 50},   // free 14: 45 % is 6
    };
    for (const Case& c : cases) {
        MainLayout l;
        ASSERT_EQ(ComputeMainLayout(400, c.height, 22, 96, &l), 1);
        EXPECT_EQ(l.listHeight, c.listHeight) << c.height;
        EXPECT_EQ(l.lists[0].height, c.listHeight - 26) << c.height;
        EXPECT_EQ(l.paragraphTop, c.paragraphTop) << c.height;
        EXPECT_EQ(l.paragraphHeight, c.paragraphHeight) << c.height;
    }
}

TEST(Layout, EmptyClientAreaIsIgnored) {
    MainLayout l = {};
    l.searchBox.x = 77;
    EXPECT_EQ(ComputeMainLayout(0, 600, 22, 96, &l), 0);
    EXPECT_EQ(ComputeMainLayout(660, 0, 22, 96, &l), 0);
    EXPECT_EQ(ComputeMainLayout(-5, -5, 22, 96, &l), 0);
    EXPECT_EQ(l.searchBox.x, 77);
}

TEST(StatusBar, PartsTruncateAndLastRunsToTheEnd) {
    struct Case {
        int width, first, second;
    } cases[] = {{660, 220, 440}, {100, 33, 66}, {2, 0, 1}};
    for (const Case& c : cases) {
        int edges[3];
        ComputeStatusParts(c.width, edges);
        EXPECT_EQ(edges[0], c.first);
        EXPECT_EQ(edges[1], c.second);
        EXPECT_EQ(edges[2], -1);
    }
}

TEST(StatusBar, TextsHoldTheSymbolsAsSurrogatePairs) {
    EXPECT_EQ(std::wstring(STATUS_BAR_TEXTS[0]), L"\u26A1 查词汇 · 查词组 · 查出处");
    const wchar_t* pin = STATUS_BAR_TEXTS[1];
    const wchar_t* page = STATUS_BAR_TEXTS[2];
    EXPECT_EQ((unsigned)pin[0], 0xD83Du);
    EXPECT_EQ((unsigned)pin[1], 0xDCCCu);
    EXPECT_EQ(std::wstring(pin + 2), L" 2021-2025年省政府报告");
    EXPECT_EQ((unsigned)page[0], 0xD83Du);
    EXPECT_EQ((unsigned)page[1], 0xDCC3u);
    EXPECT_EQ(std::wstring(page + 2), L" 300万字政府工作报告");
}

class Settings : public ::testing::Test {
protected:
    wchar_t path[260] = {0};
    void SetUp() override {
        ResetUiSettingsForTest();
        char utf8[260];
        ASSERT_EQ(GetDataFilePath("settings.ini", utf8, sizeof utf8), 1);
        MultiByteToWideChar(CP_UTF8, 0, utf8, -1, path, 260);
        DeleteFileW(path);
    }
    void TearDown() override {
        DeleteFileW(path);
        ResetUiSettingsForTest();
    }
    void Write(const char* text) {
        HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD written;
        WriteFile(f, text, (DWORD)strlen(text), &written, nullptr);
        CloseHandle(f);
    }
    bool Exists() { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }
    std::wstring Value(const wchar_t* key) {
        wchar_t value[64];
        GetPrivateProfileStringW(L"UI", key, L"(none)", value, 64, path);
        return value;
    }
};

TEST_F(Settings, NoFileMeansDefaultsAndNoFileIsCreated) {
    InitUiSettings();
    EXPECT_EQ(GetFontSizeLevel(), 1);
    EXPECT_EQ(GetCloseAction(), 0);
    EXPECT_FALSE(Exists());
}

TEST_F(Settings, FileValuesOutOfRangeFallBackToDefaults) {
    struct Case {
        const char* file;
        int level, closeAction;
    } cases[] = {
        {"[UI]\r\nFontSizeLevel=3\r\nCloseAction=2\r\n", 1, 0},
        {"[UI]\r\nFontSizeLevel=-1\r\nCloseAction=-1\r\n", 1, 0},
        {"[UI]\r\nFontSizeLevel=99999\r\n", 1, 0},
        {"[UI]\r\nFontSizeLevel=2\r\nCloseAction=1\r\n", 2, 1},
        {"[UI]\r\nFontSizeLevel=0\r\nCloseAction=0\r\n", 0, 0},
        {"[Other]\r\nFontSizeLevel=2\r\nCloseAction=1\r\n", 1, 0},
    };
    for (const Case& c : cases) {
        ResetUiSettingsForTest();
        Write(c.file);
        InitUiSettings();
        EXPECT_EQ(GetFontSizeLevel(), c.level) << c.file;
        EXPECT_EQ(GetCloseAction(), c.closeAction) << c.file;
    }
}

TEST_F(Settings, EachSaveWritesOnlyItsOwnKey) {
    InitUiSettings();
    SetFontSizeLevel(2);
    SaveFontSizeLevel();
    ASSERT_TRUE(Exists());
    EXPECT_EQ(Value(L"FontSizeLevel"), L"2");
    EXPECT_EQ(Value(L"CloseAction"), L"(none)");
    SetCloseAction(1);
    SaveCloseAction();
    EXPECT_EQ(Value(L"CloseAction"), L"1");
    EXPECT_EQ(Value(L"FontSizeLevel"), L"2");
    // A new start reads back what was saved.
    ResetUiSettingsForTest();
    InitUiSettings();
    EXPECT_EQ(GetFontSizeLevel(), 2);
    EXPECT_EQ(GetCloseAction(), 1);
}

TEST_F(Settings, SettersIgnoreValuesOutOfRange) {
    SetFontSizeLevel(2);
    for (int bad : {3, -1, 1000}) {
        SetFontSizeLevel(bad);
        EXPECT_EQ(GetFontSizeLevel(), 2) << bad;
    }
    SetCloseAction(1);
    for (int bad : {2, -1}) {
        SetCloseAction(bad);
        EXPECT_EQ(GetCloseAction(), 1) << bad;
    }
}

TEST(Scaling, FontsAndRowsFollowDpiAndLevel) {
    struct Case {
        int dpi, level, fontHeight, rowHeight;
    } cases[] = {
        {96, 0, 12, 20}, {96, 1, 14, 24}, {96, 2, 16, 28}, {144, 1, 21, 36}, {120, 0, 15, 25}, {120, 2, 20, 35},
    };
    for (const Case& c : cases) {
        ResetUiSettingsForTest();
        SetUiDpiForTest(c.dpi);
        SetFontSizeLevel(c.level);
        EXPECT_EQ(ScaleForDpi(GetLevelFontSize()), c.fontHeight) << c.dpi << " " << c.level;
        EXPECT_EQ(GetListItemHeight(), c.rowHeight) << c.dpi << " " << c.level;
        HFONT font = CreateUiFont(GetLevelFontSize(), 0, nullptr);
        ASSERT_NE(font, nullptr);
        LOGFONTW lf;
        ASSERT_EQ(GetObjectW(font, sizeof lf, &lf), (int)sizeof lf);
        EXPECT_EQ(lf.lfHeight, -c.fontHeight);
        EXPECT_EQ(lf.lfWeight, FW_NORMAL);
        EXPECT_EQ(lf.lfQuality, CLEARTYPE_QUALITY);
        EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);
        EXPECT_EQ(std::wstring(lf.lfFaceName), L"Microsoft YaHei UI");
        DeleteObject(font);
    }
    ResetUiSettingsForTest();
    HFONT bold = CreateUiFont(14, 1, L"SimSun");
    LOGFONTW lf;
    GetObjectW(bold, sizeof lf, &lf);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_EQ(std::wstring(lf.lfFaceName), L"SimSun");
    DeleteObject(bold);
}

TEST(Scaling, RoundsToNearest) {
    ResetUiSettingsForTest();
    SetUiDpiForTest(120);
    EXPECT_EQ(ScaleForDpi(1), 1);      // 1.25
    EXPECT_EQ(ScaleForDpi(450), 563);  // 562.5
    EXPECT_EQ(ScaleForDpi(90), 113);   // 112.5
    EXPECT_EQ(ScaleForDpi(28), 35);
    ResetUiSettingsForTest();
}

// A real message-only window, to see what the data menu commands post.
class DataMenu : public ::testing::Test {
protected:
    HWND window = nullptr;
    void SetUp() override {
        window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    }
    void TearDown() override { DestroyWindow(window); }
};

TEST_F(DataMenu, ItemsPostYearAndReportIndex) {
    ASSERT_NE(window, nullptr);
    struct Case {
        int id, year, index;
    } cases[] = {
        {41000, 2021, 0},        {41000 + 200 + 5, 2023, 5}, {41000 + 400 + 31, 2025, 31},
        {41000 + 499, 2025, 99}, {41100, 2022, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HandleMenuCommand(window, c.id), 1) << c.id;
        MSG msg;
        ASSERT_TRUE(PeekMessageW(&msg, window, MSG_DATA_MENU_PICK, MSG_DATA_MENU_PICK, PM_REMOVE)) << c.id;
        EXPECT_EQ((int)msg.wParam, c.year) << c.id;
        EXPECT_EQ((int)msg.lParam, c.index) << c.id;
    }
    for (int other : {40999, 41500, 12345, 0}) {
        EXPECT_EQ(HandleMenuCommand(window, other), 0) << other;
        MSG msg;
        EXPECT_FALSE(PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) << other;
    }
}

TEST(ReportNames, IndexRangeIsChecked) {
    EXPECT_EQ(std::wstring(GetReportName(0)), L"国务院政府工作报告");
    EXPECT_EQ(std::wstring(GetReportName(5)), L"内蒙古自治区政府工作报告");
    EXPECT_EQ(std::wstring(GetReportName(31)), L"新疆维吾尔自治区政府工作报告");
    EXPECT_EQ(std::wstring(GetReportName(32)), L"");
    EXPECT_EQ(std::wstring(GetReportName(-1)), L"");
}

static std::vector<std::wstring> PolicyLines() {
    std::vector<std::wstring> lines;
    std::wstring text = PRIVACY_POLICY_TEXT;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(L"\r\n", start);
        lines.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos) break;
        start = end + 2;
    }
    return lines;
}

TEST(PrivacyPolicy, HasTheFixedStructure) {
    std::vector<std::wstring> lines = PolicyLines();
    ASSERT_EQ(lines.size(), 93u);
    // Every line feed follows a carriage return, as the edit control needs.
    std::wstring whole = PRIVACY_POLICY_TEXT;
    size_t feeds = 0;
    for (size_t i = 0; i < whole.size(); ++i)
        if (whole[i] == L'\n') {
            ++feeds;
            EXPECT_TRUE(i > 0 && whole[i - 1] == L'\r') << i;
        }
    EXPECT_EQ(feeds, 92u);
    EXPECT_EQ(lines[0], L"云杉阅报 隐私政策");
    EXPECT_EQ(lines[1], L"");
    EXPECT_EQ(lines[2], L"更新日期：2026 年 1 月");
    EXPECT_EQ(lines[3], L"生效日期：2026 年 1 月");
    EXPECT_EQ(lines[4], L"");
    EXPECT_NE(lines[5].find(L"云杉阅报"), std::wstring::npos);
    EXPECT_NE(lines[5].find(L"本软件"), std::wstring::npos);
    const wchar_t* headings[9] = {L"一、我们收集的信息类型", L"二、信息的使用目的",   L"三、信息的存储与保护",
                                  L"四、信息的共享与披露",   L"五、用户的选择与控制", L"六、第三方服务说明",
                                  L"七、未成年人保护",       L"八、隐私政策的变更",   L"九、联系我们"};
    size_t at[9];
    for (int h = 0; h < 9; ++h) {
        at[h] = 0;
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i] == headings[h]) at[h] = i;
        ASSERT_NE(at[h], 0u) << h;
        if (h > 0) {
            EXPECT_GT(at[h], at[h - 1]) << h;
        }
    }
    size_t sub1 = 0, sub2 = 0, bullets = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == L"1. 非个人身份信息（可能收集）") sub1 = i;
        if (lines[i] == L"2. 我们不主动收集的信息") sub2 = i;
        if (lines[i].rfind(L"• ", 0) == 0) ++bullets;
    }
    EXPECT_GT(sub1, at[0]);
    EXPECT_GT(sub2, sub1);
    EXPECT_LT(sub2, at[1]);
    EXPECT_EQ(bullets, 16u);
    size_t n = lines.size();
    EXPECT_EQ(lines[n - 1], L"感谢您对云杉阅报的信任与使用。");
    EXPECT_EQ(lines[n - 2], L"");
    EXPECT_EQ(lines[n - 3].rfind(L"联系方式：", 0), 0u);
    EXPECT_GT(lines[n - 3].size(), wcslen(L"联系方式："));
    EXPECT_EQ(lines[n - 4], L"软件名称：云杉阅报");
}

TEST(PrivacyPolicy, TellsHowToSwitchTheLaunchReportOff) {
    std::wstring text = PRIVACY_POLICY_TEXT;
    for (const wchar_t* needle : {L"telemetry.ini", L"[Settings]", L"Enabled=0", L"settings.ini", L"SHA-256"})
        EXPECT_NE(text.find(needle), std::wstring::npos) << needle;
}

TEST(AboutBox, TextAndCaption) {
    EXPECT_EQ(std::wstring(ABOUT_TEXT), L"云杉阅报 v0.1.1\n\n一个简单的政府工作报告搜索工具");
    EXPECT_EQ(std::wstring(ABOUT_CAPTION), L"关于");
}
