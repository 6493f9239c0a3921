#include <gtest/gtest.h>
#include <string>

#include "box_watch.h"
#include "ui/window_ids.h"
#include "update/update_check.h"

static std::wstring g_opened;
static int g_openCount;

static void RecordOpen(const wchar_t* url) {
    g_opened = url;
    ++g_openCount;
}

class UpdateBoxes : public testing::Test {
protected:
    void SetUp() override {
        g_opened.clear();
        g_openCount = 0;
        SetUrlOpenerForTest(RecordOpen);
    }
    void TearDown() override { SetUrlOpenerForTest(nullptr); }

    // Shows the outcome of a check for (major, minor, patch) and answers its box.
    int Show(int major, int minor, int patch, const wchar_t* url, int silent, int answer, bool withRecord = true) {
        UpdateInfo info = {};
        info.major = major;
        info.minor = minor;
        info.patch = patch;
        swprintf(info.version, 32, L"%d.%d.%d", major, minor, patch);
        wcscpy(info.download_url, url);
        BoxWatchStart(answer);
        ShowUpdateResult(nullptr, withRecord ? &info : nullptr, silent);
        return BoxWatchStop(boxes, 8);
    }
    SeenBox boxes[8] = {};
};

TEST_F(UpdateBoxes, UpToDateShowsNoticeOnlyForMenuCheck) {
    ASSERT_EQ(Show(0, 1, 1, L"", 0, IDOK), 1);
    EXPECT_STREQ(boxes[0].caption, L"检查更新");
    EXPECT_STREQ(boxes[0].text, L"当前版本 0.1.1 已是最新版本！");
    EXPECT_TRUE(boxes[0].hasOk);
    EXPECT_FALSE(boxes[0].hasYesNo);
    EXPECT_EQ(Show(0, 1, 0, L"", 1, IDOK), 0);
    EXPECT_EQ(Show(-1, 5, 0, L"", 1, IDOK), 0);
}

TEST_F(UpdateBoxes, NoRecordShowsErrorUnlessSilent) {
    ASSERT_EQ(Show(0, 0, 0, L"", 0, IDOK, false), 1);
    EXPECT_STREQ(boxes[0].caption, L"检查更新");
    EXPECT_STREQ(boxes[0].text, L"检查更新时发生错误，请稍后重试。");
    EXPECT_EQ(Show(0, 0, 0, L"", 1, IDOK, false), 0);
}

TEST_F(UpdateBoxes, OfferShownWhetherSilentOrNot) {
    for (int silent : {0, 1}) {
        ASSERT_EQ(Show(0, 2, 0, L"https://example.org/dl", silent, IDNO), 1);
        EXPECT_STREQ(boxes[0].caption, L"发现新版本");
        EXPECT_STREQ(boxes[0].text, L"发现新版本！\n\n当前版本：0.1.1\n最新版本：0.2.0\n发布日期：未知\n\n更新内容：\n"
                                    L"暂无更新说明\n\n是否立即前往下载页面？");
        EXPECT_TRUE(boxes[0].hasYesNo);
    }
    EXPECT_EQ(g_openCount, 0);
}

TEST_F(UpdateBoxes, YesOpensOnlyWebAddresses) {
    const struct {
        const wchar_t* url;
        bool opens;
    } cases[] = {
        {L"https://example.org/dl", true},
        {L"http://example.org/dl", true},
        {L"", false},
        {L"C:\\Windows\\System32\\calc.exe", false},
        {L"file:///C:/Windows/notepad.exe", false},
        {L"\\\\server\\share\\setup.exe", false},
    };
    for (const auto& c : cases) {
        g_openCount = 0;
        g_opened.clear();
        ASSERT_EQ(Show(1, 0, 0, c.url, 1, IDYES), 1) << c.url;
        EXPECT_EQ(g_openCount, c.opens ? 1 : 0) << c.url;
        if (c.opens) {
            EXPECT_EQ(g_opened, c.url);
        }
    }
}

// The record travels with the posted message; a post nobody can receive frees it.
TEST(UpdateResultPost, RecordGoesToTheWindowOrIsFreed) {
    HWND live = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, nullptr, nullptr);
    HWND gone = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(live, nullptr);
    ASSERT_NE(gone, nullptr);
    DestroyWindow(gone);
    const long before = LiveUpdateInfoCount();

    UpdateInfo* info = NewUpdateInfo();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->version[0], 0);
    EXPECT_EQ(LiveUpdateInfoCount(), before + 1);
    ASSERT_EQ(PostUpdateResult(live, 1, UPDATE_AVAILABLE, info), 1);
    EXPECT_EQ(LiveUpdateInfoCount(), before + 1) << "the window owns a posted record";
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, live, MSG_UPDATE_RESULT, MSG_UPDATE_RESULT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, (WPARAM)((1 << 16) | UPDATE_AVAILABLE));
    EXPECT_EQ((UpdateInfo*)msg.lParam, info);
    FreeUpdateInfo(info);
    EXPECT_EQ(LiveUpdateInfoCount(), before);

    const struct {
        int code;
        bool withRecord;
    } cases[] = {{UPDATE_UP_TO_DATE, true}, {UPDATE_NETWORK_ERROR, true}, {UPDATE_INTERNAL_ERROR, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(PostUpdateResult(gone, 0, c.code, c.withRecord ? NewUpdateInfo() : nullptr), 0) << c.code;
        EXPECT_EQ(LiveUpdateInfoCount(), before) << c.code;
    }
    DestroyWindow(live);
}
