#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/ui_settings.h"
#include "ui/install_progress.h"

namespace {

std::wstring Text(HWND window) {
    wchar_t text[256] = {0};
    GetWindowTextW(window, text, 256);
    return text;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

TEST(InstallProgressLayout, ScalesEverySizeWithTheDpi) {
    const struct {
        int dpi, textHeight;
        RECT stage, bar;
        int width, height;
    } cases[] = {
        {96, 19, {16, 16, 344, 35}, {16, 45, 344, 63}, 360, 79},
        {144, 28, {24, 24, 516, 52}, {24, 67, 516, 94}, 540, 118},
        {120, 0, {20, 20, 430, 20}, {20, 33, 430, 56}, 450, 76},
    };
    for (const auto& c : cases) {
        InstallProgressLayout layout = LayoutInstallProgress(c.dpi, c.textHeight);
        EXPECT_TRUE(SameRect(layout.stage, c.stage)) << c.dpi;
        EXPECT_TRUE(SameRect(layout.bar, c.bar)) << c.dpi;
        EXPECT_EQ(layout.clientWidth, c.width) << c.dpi;
        EXPECT_EQ(layout.clientHeight, c.height) << c.dpi;
    }
}

TEST(InstallProgressLayout, CentersInTheWorkAreaAndKeepsTheCaptionInside) {
    const struct {
        RECT work;
        int width, height;
        RECT expected;
    } cases[] = {
        {{0, 0, 1280, 984}, 400, 120, {440, 432, 840, 552}},
        {{0, 40, 1280, 1024}, 400, 120, {440, 472, 840, 592}},        // taskbar at the top
        {{-1920, 0, 0, 1040}, 401, 121, {-1161, 459, -760, 580}},     // left of the primary origin
        {{100, 50, 400, 150}, 400, 120, {100, 50, 500, 170}},         // smaller than the window
    };
    for (const auto& c : cases) {
        RECT r = CenterInWorkArea(c.work, c.width, c.height);
        EXPECT_TRUE(SameRect(r, c.expected)) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
}

class InstallProgressWindowTest : public testing::Test {
protected:
    void TearDown() override {
        CloseInstallProgress();
        ResetUiSettingsForTest();
    }
};

TEST_F(InstallProgressWindowTest, OpensAtTheFirstReportFollowsEachAndCloses) {
    ResetUiSettingsForTest();
    EXPECT_EQ(InstallProgressWindow(), nullptr) << "nothing before a report";
    ReportInstallProgress(5, L"Reading encrypted package...", nullptr);
    HWND window = InstallProgressWindow();
    ASSERT_NE(window, nullptr);
    wchar_t cls[64];
    GetClassNameW(window, cls, 64);
    EXPECT_STREQ(cls, INSTALL_PROGRESS_CLASS);
    EXPECT_EQ(Text(window), L"云杉阅报");
    EXPECT_TRUE(IsWindowVisible(window));
    HWND stage = GetDlgItem(window, IDC_INSTALL_STAGE);
    HWND bar = GetDlgItem(window, IDC_INSTALL_BAR);
    ASSERT_NE(stage, nullptr);
    ASSERT_NE(bar, nullptr);

    const struct {
        int percent;
        const wchar_t* text;
    } reports[] = {{20, L"Decrypting..."}, {40, L"Decompressing..."}, {100, L"Initialization complete"}};
    EXPECT_EQ(Text(stage), L"Reading encrypted package...");
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 5);
    for (const auto& r : reports) {
        ReportInstallProgress(r.percent, r.text, nullptr);
        EXPECT_EQ(InstallProgressWindow(), window) << "one window for the whole installation";
        EXPECT_EQ(Text(stage), r.text);
        EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), r.percent);
    }
    // The stage line sits above the bar, both inside the client area.
    RECT client, stageRect, barRect;
    GetClientRect(window, &client);
    GetWindowRect(stage, &stageRect);
    GetWindowRect(bar, &barRect);
    EXPECT_LE(stageRect.bottom, barRect.top);
    EXPECT_EQ(client.right, ScaleForDpi(INSTALL_PROGRESS_CLIENT_WIDTH));

    // Centered on the primary work area.
    RECT work, outer;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(window, &outer);
    EXPECT_LE(abs((outer.left + outer.right) - (work.left + work.right)), 1);
    EXPECT_LE(abs((outer.top + outer.bottom) - (work.top + work.bottom)), 1);

    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window)) << "the user cannot close it mid-installation";
    CloseInstallProgress();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(InstallProgressWindow(), nullptr);
    CloseInstallProgress();  // a second close is harmless
}

TEST_F(InstallProgressWindowTest, FontFollowsTheSizeLevelAndDpi) {
    const struct {
        int dpi, level, height;
    } cases[] = {{96, 0, 12}, {96, 2, 16}, {144, 1, 21}};
    for (const auto& c : cases) {
        ResetUiSettingsForTest();
        SetUiDpiForTest(c.dpi);
        SetFontSizeLevel(c.level);
        ReportInstallProgress(50, L"Extracting archive...", nullptr);
        HWND stage = GetDlgItem(InstallProgressWindow(), IDC_INSTALL_STAGE);
        ASSERT_NE(stage, nullptr);
        LOGFONTW font = {};
        ASSERT_TRUE(GetObjectW((HFONT)SendMessageW(stage, WM_GETFONT, 0, 0), sizeof font, &font));
        EXPECT_EQ(font.lfHeight, -c.height) << c.dpi << " " << c.level;
        RECT client;
        GetClientRect(InstallProgressWindow(), &client);
        EXPECT_EQ(client.right, MulDiv(INSTALL_PROGRESS_CLIENT_WIDTH, c.dpi, 96));
        CloseInstallProgress();
    }
}
