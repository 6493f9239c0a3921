// Talks to tests/net/loopback_server.py, which passes its address in TIVRA_TEST_SERVER
// and answers GET /_log with one line per POST it received since the last call.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>

#include "ini_fixture.h"
#include "telemetry/launch_report.h"
#include "telemetry/telemetry_state.h"
#include "update/update_check.h"

static std::string g_launchUrl;

// Linked in place of the build's own address, so each test picks its endpoint.
const char* TelemetryLaunchUrl() { return g_launchUrl.c_str(); }

static std::string Server() {
    const char* base = getenv("TIVRA_TEST_SERVER");
    return base ? base : "";
}

static std::vector<std::string> TakeLog() {
    std::vector<std::string> lines;
    char* body = nullptr;
    int length = 0;
    if (!HttpGetText((Server() + "/_log").c_str(), &body, &length) || !body) return lines;
    std::string text(body, length);
    free(body);
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

// Collects POSTs until `count` arrived or 20 seconds passed.
static std::vector<std::string> WaitForPosts(size_t count) {
    std::vector<std::string> lines;
    DWORD deadline = GetTickCount() + 20000;
    while (lines.size() < count && (int)(deadline - GetTickCount()) > 0) {
        for (const std::string& line : TakeLog()) lines.push_back(line);
        if (lines.size() < count) Sleep(50);
    }
    return lines;
}

static std::string ReadFileText(const std::string& path) {
    std::string text;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return text;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    fclose(file);
    return text;
}

static const char* kMembers =
    "keys=app_version,install_id,device_id,os_name,os_version,os_arch,os_locale,screen_width,screen_height,"
    "dpi_scale,launch_count,first_launch,last_launch,timestamp,install_type\t";

class LaunchReportLoopback : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(Server().empty()) << "run under tests/net/loopback_server.py";
        RemoveIni();
        g_launchUrl = Server() + "/launch";
        TakeLog();
    }
    void TearDown() override { RemoveIni(); }
};

TEST_F(LaunchReportLoopback, PostResultByStatus) {
    RecordLaunch();
    const struct {
        std::string url;
        int result;
    } cases[] = {{Server() + "/launch", 0},
                 {Server() + "/status/204", 0},
                 {Server() + "/status/404", 2},
                 {Server() + "/status/500", 2},
                 {"http://127.0.0.1:1/launch", 1},
                 {"no url", 1}};
    for (const auto& c : cases) EXPECT_EQ(HttpPostJson(c.url.c_str(), "{}"), c.result) << c.url;
    std::vector<std::string> lines = TakeLog();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].find("POST /launch\tct=application/json\tua=Tivra/0.1.1\tjson=ok"), 0u) << lines[0];
}

TEST_F(LaunchReportLoopback, OneReportPerStartWithFifteenMembersInOrder) {
    RecordLaunch();
    StartLaunchReport();
    std::vector<std::string> lines = WaitForPosts(1);
    ASSERT_EQ(lines.size(), 1u);
    const std::string& line = lines[0];
    EXPECT_EQ(line.find("POST /launch\tct=application/json\tua=Tivra/0.1.1\tjson=ok\t"), 0u) << line;
    EXPECT_NE(line.find(kMembers), std::string::npos) << line;
    EXPECT_NE(line.find("\tlaunch_count=1\t"), std::string::npos) << line;
    EXPECT_NE(line.find("\"install_id\":\"" + IniValue("Identity", "InstallId") + "\""), std::string::npos);
    EXPECT_NE(line.find("\"last_launch\":\"" + IniValue("Stats", "LastLaunch") + "\""), std::string::npos);
    EXPECT_NE(line.find("\"app_version\":\"0.1.1\""), std::string::npos);
    EXPECT_NE(line.find("\"install_type\":\"setup\"}"), std::string::npos);
}

TEST_F(LaunchReportLoopback, DisabledStartSendsNothing) {
    WriteIni("[Settings]\r\nEnabled=0\r\n");
    RecordLaunch();
    StartLaunchReport();
    LaunchReportThread(nullptr);
    // The next start, enabled, is the only one the server hears of.
    WriteTelemetryValue("Settings", "Enabled", "1");
    RecordLaunch();
    StartLaunchReport();
    std::vector<std::string> lines = WaitForPosts(1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("\tlaunch_count=2\t"), std::string::npos) << lines[0];
}

TEST_F(LaunchReportLoopback, HandEditedValuesStillGiveValidJson) {
    WriteIni("[Identity]\r\nInstallId=a\"b\\c\r\nDeviceId=\\\"\r\n[Stats]\r\nFirstLaunch=\"quoted\"x\r\n");
    RecordLaunch();
    StartLaunchReport();
    std::vector<std::string> lines = WaitForPosts(1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("\tjson=ok\t"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(kMembers), std::string::npos) << lines[0];
}

TEST_F(LaunchReportLoopback, FailedAnswersChangeNothing) {
    RecordLaunch();
    std::string before = ReadFileText(IniPath());
    g_launchUrl = Server() + "/status/500";
    StartLaunchReport();
    ASSERT_EQ(WaitForPosts(1).size(), 1u);
    g_launchUrl = "http://127.0.0.1:1/launch";
    EXPECT_EQ(LaunchReportThread(nullptr), 0u);
    EXPECT_EQ(ReadFileText(IniPath()), before);
}
