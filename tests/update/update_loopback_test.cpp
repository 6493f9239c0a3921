// Talks to tests/net/loopback_server.py, which passes its address in TIVRA_TEST_SERVER.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string>
#include <vector>

#include "box_watch.h"
#include "ui/window_ids.h"
#include "update/update_check.h"

static std::string g_manifestUrl;

// Linked in place of the build's own address, so each test picks its manifest.
const char* UpdateManifestUrl() { return g_manifestUrl.c_str(); }

static std::string Server() {
    const char* base = getenv("TIVRA_TEST_SERVER");
    return base ? base : "";
}

static std::string Encode(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (isalnum(c) || c == '-' || c == '.' || c == '_') {
            out += (char)c;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

static std::string Echo(int status, const std::string& body, int chunks = 0) {
    return Server() + "/echo?status=" + std::to_string(status) + "&chunks=" + std::to_string(chunks) +
           "&body=" + Encode(body);
}

class Loopback : public testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(Server().empty()) << "run under tests/net/loopback_server.py"; }
};

TEST_F(Loopback, OnlyStatus200Succeeds) {
    const struct {
        int status;
        bool ok;
    } cases[] = {{200, true}, {204, false}, {404, false}, {500, false}};
    for (const auto& c : cases) {
        char* body = (char*)1;
        int length = -1;
        EXPECT_EQ(HttpGetText(Echo(c.status, "{}").c_str(), &body, &length), c.ok) << c.status;
        if (c.ok) {
            ASSERT_NE(body, nullptr);
            EXPECT_STREQ(body, "{}");
            EXPECT_EQ(length, 2);
        } else {
            EXPECT_EQ(body, nullptr);
            EXPECT_EQ(length, 0);
        }
        free(body);
    }
}

TEST_F(Loopback, EmptyBodyAndChunkedBody) {
    char* body = (char*)1;
    int length = -1;
    EXPECT_TRUE(HttpGetText(Echo(200, "").c_str(), &body, &length));
    EXPECT_EQ(body, nullptr);
    EXPECT_EQ(length, 0);

    std::string piece = "abcdefghijklmnopqrstuvwxyz\xe4\xb8\xad", big;
    for (int i = 0; i < 300; ++i) big += piece;
    ASSERT_TRUE(HttpGetText((Echo(200, piece, 97) + "&repeat=300").c_str(), &body, &length));
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(length, (int)big.size());
    EXPECT_EQ(std::string(body, length), big);
    EXPECT_EQ(body[length], 0);
    free(body);
}

TEST_F(Loopback, SendsUpdaterAgentAndAcceptHeader) {
    char* body = nullptr;
    int length = 0;
    ASSERT_TRUE(HttpGetText((Server() + "/headers").c_str(), &body, &length));
    std::string headers(body, length);
    free(body);
    EXPECT_NE(headers.find("User-Agent: Tivra-Updater/1.0\n"), std::string::npos) << headers;
    EXPECT_NE(headers.find("Accept: application/json\n"), std::string::npos) << headers;
}

TEST_F(Loopback, FailuresAreNetworkErrors) {
    UpdateInfo info;
    EXPECT_EQ(CheckForUpdateFrom(Echo(200, "").c_str(), &info), UPDATE_NETWORK_ERROR);
    EXPECT_EQ(CheckForUpdateFrom(Echo(500, R"({"tag_name":"9.0"})").c_str(), &info), UPDATE_NETWORK_ERROR);
    EXPECT_EQ(CheckForUpdateFrom("http://127.0.0.1:1/version.json", &info), UPDATE_NETWORK_ERROR);
    EXPECT_EQ(CheckForUpdateFrom("not a url", &info), UPDATE_NETWORK_ERROR);
    EXPECT_EQ(CheckForUpdateFrom(Echo(200, R"({"tag_name":"abc"})").c_str(), &info), UPDATE_BAD_MANIFEST);
    EXPECT_EQ(CheckForUpdateFrom(Echo(200, R"({"tag_name":"0.3.0","html_url":"https://x/"})", 5).c_str(), &info),
              UPDATE_AVAILABLE);
    EXPECT_STREQ(info.version, L"0.3.0");
    EXPECT_STREQ(info.download_url, L"https://x/");
}

// A window that routes results the way the main window does and records them.
struct Result {
    int code;
    int silent;
};
static std::vector<Result> g_results;

static LRESULT CALLBACK ResultWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != MSG_UPDATE_RESULT) return DefWindowProcW(window, message, wParam, lParam);
    int code = LOWORD(wParam), silent = HIWORD(wParam);
    UpdateInfo* info = (UpdateInfo*)lParam;
    g_results.push_back({code, silent});
    if (code == UPDATE_UP_TO_DATE || code == UPDATE_AVAILABLE)
        ShowUpdateResult(window, info, code == UPDATE_AVAILABLE ? 0 : silent);
    FreeUpdateInfo(info);
    return 0;
}

static std::wstring g_opened;
static void RecordOpen(const wchar_t* url) { g_opened = url; }

class Worker : public Loopback {
protected:
    void SetUp() override {
        Loopback::SetUp();
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ResultWndProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"UpdateResultSink";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, L"UpdateResultSink", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        ASSERT_NE(window, nullptr);
        g_results.clear();
        g_opened.clear();
        SetUrlOpenerForTest(RecordOpen);
    }
    void TearDown() override {
        SetUrlOpenerForTest(nullptr);
        DestroyWindow(window);
    }
    // Pumps messages until `count` results arrived or 30 seconds passed.
    bool WaitForResults(size_t count) {
        DWORD deadline = GetTickCount() + 30000;
        while (g_results.size() < count && (int)(deadline - GetTickCount()) > 0) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        }
        return g_results.size() >= count;
    }
    HWND window = nullptr;
};

TEST_F(Worker, TwoChecksAtOnceAreBothAnswered) {
    // The server answers only while both requests wait at once.
    g_manifestUrl = Server() + "/barrier?n=2&body=" + Encode(R"({"tag_name":"0.1.1"})");
    BoxWatchStart(IDOK);
    StartUpdateCheck(window, 1);
    StartUpdateCheck(window, 1);
    ASSERT_TRUE(WaitForResults(2));
    SeenBox boxes[8];
    EXPECT_EQ(BoxWatchStop(boxes, 8), 0);
    for (const Result& r : g_results) {
        EXPECT_EQ(r.code, UPDATE_UP_TO_DATE);
        EXPECT_EQ(r.silent, 1);
    }
}

TEST_F(Worker, MenuCheckOutcomesCarryTheirCode) {
    const struct {
        std::string url;
        int code;
    } cases[] = {
        {Echo(200, R"({"tag_name":"0.1.1"})"), UPDATE_UP_TO_DATE},
        {Echo(404, ""), UPDATE_NETWORK_ERROR},
        {Echo(200, R"({"tag_name":"v"})"), UPDATE_BAD_MANIFEST},
    };
    for (const auto& c : cases) {
        g_results.clear();
        g_manifestUrl = c.url;
        BoxWatchStart(IDOK);
        StartUpdateCheck(window, 0);
        ASSERT_TRUE(WaitForResults(1));
        SeenBox boxes[8];
        int shown = BoxWatchStop(boxes, 8);
        EXPECT_EQ(g_results[0].code, c.code);
        EXPECT_EQ(g_results[0].silent, 0);
        // The up-to-date notice is ours; the error boxes belong to the main window.
        EXPECT_EQ(shown, c.code == UPDATE_UP_TO_DATE ? 1 : 0);
        if (shown) {
            EXPECT_STREQ(boxes[0].text, L"当前版本 0.1.1 已是最新版本！");
        }
    }
}

TEST_F(Worker, SilentCheckOffersNewerVersionAndYesOpensIt) {
    g_manifestUrl = Echo(200, R"({"tag_name":"v0.2.0","html_url":"https://example.org/dl","body":"line1\nline2",)"
                              R"("published_at":"2026-12-01"})");
    BoxWatchStart(IDYES);
    StartUpdateCheck(window, 1);
    ASSERT_TRUE(WaitForResults(1));
    SeenBox boxes[8];
    ASSERT_EQ(BoxWatchStop(boxes, 8), 1);
    EXPECT_EQ(g_results[0].code, UPDATE_AVAILABLE);
    EXPECT_EQ(g_results[0].silent, 1);
    EXPECT_STREQ(boxes[0].caption, L"发现新版本");
    EXPECT_STREQ(boxes[0].text, L"发现新版本！\n\n当前版本：0.1.1\n最新版本：v0.2.0\n发布日期：2026-12-01\n\n更新内容：\n"
                                L"line1\nline2\n\n是否立即前往下载页面？");
    EXPECT_EQ(g_opened, L"https://example.org/dl");
}
