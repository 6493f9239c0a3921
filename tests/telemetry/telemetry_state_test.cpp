#include <gtest/gtest.h>
#include <ctype.h>
#include <string.h>
#include <string>

#include "ini_fixture.h"
#include "telemetry/telemetry_state.h"

static bool IsLowerHex(const std::string& text) {
    for (char c : text)
        if (!isdigit((unsigned char)c) && (c < 'a' || c > 'f')) return false;
    return true;
}

static bool IsGuidForm(const std::string& id) {
    if (id.size() != 36) return false;
    for (size_t i = 0; i < id.size(); ++i) {
        bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash != (id[i] == '-')) return false;
        if (!dash && !IsLowerHex(id.substr(i, 1))) return false;
    }
    return true;
}

// Seconds of a "YYYY-MM-DDTHH:MM:SSZ" stamp within one day.
static int SecondsOfDay(const std::string& stamp) {
    return stoi(stamp.substr(11, 2)) * 3600 + stoi(stamp.substr(14, 2)) * 60 + stoi(stamp.substr(17, 2));
}

class TelemetryIni : public testing::Test {
protected:
    void SetUp() override { RemoveIni(); }
    void TearDown() override { RemoveIni(); }
};

TEST_F(TelemetryIni, FirstAndSecondStart) {
    RecordLaunch();
    const TelemetryState* state = GetTelemetryState();
    std::string installId = IniValue("Identity", "InstallId");
    std::string deviceId = IniValue("Identity", "DeviceId");
    std::string first = IniValue("Stats", "FirstLaunch");
    std::string last = IniValue("Stats", "LastLaunch");
    EXPECT_TRUE(IsGuidForm(installId)) << installId;
    EXPECT_EQ(deviceId.size(), 32u);
    EXPECT_TRUE(IsLowerHex(deviceId)) << deviceId;
    EXPECT_EQ(IniValue("Stats", "LaunchCount"), "1");
    ASSERT_EQ(first.size(), 20u);
    ASSERT_EQ(last.size(), 20u);
    int apart = (SecondsOfDay(last) - SecondsOfDay(first) + 86400) % 86400;
    EXPECT_LE(apart, 1);
    EXPECT_STREQ(state->install_id, installId.c_str());
    EXPECT_STREQ(state->device_id, deviceId.c_str());
    EXPECT_STREQ(state->first_launch, first.c_str());
    EXPECT_EQ(state->launch_count, 1);
    EXPECT_EQ(state->enabled, 1);
    EXPECT_STREQ(state->user_agent, L"Tivra/0.1.1");
    EXPECT_EQ(IniValue("Settings", "Enabled"), "<absent>");

    RecordLaunch();
    EXPECT_EQ(IniValue("Identity", "InstallId"), installId);
    EXPECT_EQ(IniValue("Identity", "DeviceId"), deviceId);
    EXPECT_EQ(IniValue("Stats", "FirstLaunch"), first);
    EXPECT_EQ(IniValue("Stats", "LaunchCount"), "2");
    EXPECT_GE(IniValue("Stats", "LastLaunch"), last);
    EXPECT_EQ(state->launch_count, 2);
}

TEST_F(TelemetryIni, EnabledReadsLikeAtoi) {
    const struct {
        const char* line;
        int enabled;
    } cases[] = {{"Enabled=0", 0},   {"Enabled=false", 0}, {"Enabled=abc", 0}, {"Enabled=1", 1},
                 {"Enabled=2", 1},   {"Enabled=", 1},      {"Enabled= -3x", 1}, {"Other=0", 1}};
    for (const auto& c : cases) {
        WriteIni(std::string("[Settings]\r\n") + c.line + "\r\n");
        RecordLaunch();
        EXPECT_EQ(GetTelemetryState()->enabled, c.enabled) << c.line;
        EXPECT_EQ(IniValue("Stats", "LaunchCount"), "1") << c.line;
    }
}

TEST_F(TelemetryIni, HandEditedCounts) {
    const struct {
        const char* stored;
        const char* next;
    } cases[] = {{"abc", "1"}, {"41", "42"}, {"2147483647", "2147483647"}};
    for (const auto& c : cases) {
        WriteIni(std::string("[Stats]\r\nLaunchCount=") + c.stored + "\r\n");
        RecordLaunch();
        EXPECT_EQ(IniValue("Stats", "LaunchCount"), c.next) << c.stored;
    }
}

TEST_F(TelemetryIni, MissingFirstLaunchStaysMissing) {
    WriteIni("[Identity]\r\nInstallId=kept-id\r\n[Stats]\r\nLaunchCount=3\r\n");
    RecordLaunch();
    EXPECT_EQ(IniValue("Identity", "InstallId"), "kept-id");
    EXPECT_EQ(IniValue("Stats", "FirstLaunch"), "<absent>");
    EXPECT_STREQ(GetTelemetryState()->first_launch, "");
    EXPECT_EQ(GetTelemetryState()->launch_count, 4);
}

TEST_F(TelemetryIni, RemovedDeviceIdComesBackTheSame) {
    RecordLaunch();
    std::string deviceId = IniValue("Identity", "DeviceId");
    std::string path = IniPath();
    WritePrivateProfileStringW(L"Identity", L"DeviceId", nullptr, std::wstring(path.begin(), path.end()).c_str());
    EXPECT_EQ(IniValue("Identity", "DeviceId"), "<absent>");
    RecordLaunch();
    EXPECT_EQ(IniValue("Identity", "DeviceId"), deviceId);
    char computed[64];
    ComputeDeviceId(computed, sizeof computed);
    EXPECT_EQ(deviceId, computed);
}

TEST_F(TelemetryIni, StoredDeviceIdIsNeverRecomputed) {
    WriteIni("[Identity]\r\nDeviceId=hash-error\r\n");
    RecordLaunch();
    EXPECT_STREQ(GetTelemetryState()->device_id, "hash-error");
}

TEST_F(TelemetryIni, ValuesRoundTripCutToTheBuffer) {
    EXPECT_FALSE(ReadTelemetryValue("Stats", "Nothing", nullptr, 0));
    char out[8];
    strcpy(out, "same");
    EXPECT_FALSE(ReadTelemetryValue("Stats", "Nothing", out, sizeof out));
    EXPECT_STREQ(out, "same");
    EXPECT_TRUE(WriteTelemetryValue("Stats", "Text", "abcdefghij"));
    EXPECT_TRUE(ReadTelemetryValue("Stats", "Text", out, sizeof out));
    EXPECT_STREQ(out, "abcdefg");
    WriteTelemetryValue("Stats", "Empty", "");
    EXPECT_FALSE(ReadTelemetryValue("Stats", "Empty", out, sizeof out));
}
