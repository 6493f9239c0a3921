#include <gtest/gtest.h>
#include <string.h>
#include <string>

#include "telemetry/report_text.h"
#include "telemetry/telemetry_state.h"

TEST(ReportText, JsonEscapeTable) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"0.1.1", "0.1.1"},
        {"5f0c-aa", "5f0c-aa"},
        {"\xe5\xbc\xa0\xe4\xb8\x89", "\xe5\xbc\xa0\xe4\xb8\x89"},
        {"a\"b", "a\\\"b"},
        {"C:\\x", "C:\\\\x"},
        {"a\nb\rc\td\be\ff", "a\\nb\\rc\\td\\be\\ff"},
        {"\x01\x1f", "\\u0001\\u001f"},
        {"/ \x7f", "/ \x7f"},
        {"bad \xff end", "bad \\ufffd end"},
        {"cut \xe5\xbc", "cut \\ufffd\\ufffd"},
        {"surrogate \xed\xa0\x80", "surrogate \\ufffd\\ufffd\\ufffd"},
        {"overlong \xc0\xaf", "overlong \\ufffd\\ufffd"},
        {"", ""},
    };
    for (const auto& c : cases) {
        char out[128];
        EXPECT_EQ(JsonEscape(c.in, out, sizeof out), (int)strlen(c.out)) << c.in;
        EXPECT_STREQ(out, c.out) << c.in;
    }
}

TEST(ReportText, JsonEscapeCutsOnlyBetweenWholePieces) {
    char out[8];
    EXPECT_EQ(JsonEscape("ab\"cd", out, 4), 2);
    EXPECT_STREQ(out, "ab");
    EXPECT_EQ(JsonEscape("a\x01", out, 6), 1);
    EXPECT_STREQ(out, "a");
    EXPECT_EQ(JsonEscape("\xe4\xb8\xad\xe4\xb8\xad", out, 6), 3);
    EXPECT_STREQ(out, "\xe4\xb8\xad");
}

static LaunchReport SampleReport() {
    LaunchReport r = {};
    strcpy(r.app_version, "0.1.1");
    strcpy(r.install_id, "0f8fad5b-d9cb-469f-a165-70867728950e");
    strcpy(r.device_id, "b21f0a2cff6691ad5f6e9d778a4be47f");
    strcpy(r.os_name, "Windows 10");
    strcpy(r.os_version, "10.0.19045");
    strcpy(r.os_arch, "x64");
    strcpy(r.os_locale, "zh-CN");
    r.screen_width = 1920;
    r.screen_height = 1080;
    r.dpi_scale = 125;
    r.launch_count = 42;
    strcpy(r.first_launch, "2026-01-02T03:04:05Z");
    strcpy(r.last_launch, "2026-12-10T14:00:00Z");
    strcpy(r.timestamp, "2026-12-10T14:00:01Z");
    strcpy(r.install_type, "setup");
    return r;
}

TEST(ReportText, BodyMembersInOrderAndUnchangedWhenNothingNeedsEscaping) {
    LaunchReport r = SampleReport();
    char body[2048];
    int length = FormatLaunchReportBody(&r, body, sizeof body);
    const char* expected =
        "{\"app_version\":\"0.1.1\",\"install_id\":\"0f8fad5b-d9cb-469f-a165-70867728950e\","
        "\"device_id\":\"b21f0a2cff6691ad5f6e9d778a4be47f\",\"os_name\":\"Windows 10\",\"os_version\":\"10.0.19045\","
        "\"os_arch\":\"x64\",\"os_locale\":\"zh-CN\",\"screen_width\":1920,\"screen_height\":1080,\"dpi_scale\":125,"
        "\"launch_count\":42,\"first_launch\":\"2026-01-02T03:04:05Z\",\"last_launch\":\"2026-12-10T14:00:00Z\","
        "\"timestamp\":\"2026-12-10T14:00:01Z\",\"install_type\":\"setup\"}";
    EXPECT_STREQ(body, expected);
    EXPECT_EQ(length, (int)strlen(expected));
}

TEST(ReportText, HandEditedValuesAreEscapedAndTheWorstCaseStillFits) {
    LaunchReport r = SampleReport();
    strcpy(r.install_id, "a\"b\\c");
    strcpy(r.first_launch, "x\ny");
    char body[2048];
    ASSERT_GT(FormatLaunchReportBody(&r, body, sizeof body), 0);
    EXPECT_NE(strstr(body, "\"install_id\":\"a\\\"b\\\\c\""), nullptr) << body;
    EXPECT_NE(strstr(body, "\"first_launch\":\"x\\ny\""), nullptr) << body;

    // Every value read from telemetry.ini full of characters that need escaping.
    memset(r.install_id, '"', 63);
    memset(r.device_id, '\x01', 63);
    memset(r.first_launch, '\\', 31);
    memset(r.last_launch, '\x02', 31);
    EXPECT_GT(FormatLaunchReportBody(&r, body, sizeof body), 0);
    EXPECT_EQ(FormatLaunchReportBody(&r, body, 100), 0);
    EXPECT_STREQ(body, "");
}

TEST(ReportText, Djb2AndDigestHex) {
    const struct {
        const char* in;
        unsigned int hash;
    } cases[] = {{"", 0x1505u},
                 {"a", 0x2b606u},
                 {"PC|user|C:\\windows\\system32|Tivra", 0x722e881bu},
                 {"\xe5\xbc\xa0\xe4\xb8\x89", 0xc3e0144bu},
                 {"\xff", 0x2b5a4u}};
    for (const auto& c : cases) EXPECT_EQ(Djb2Hash(c.in), c.hash) << c.in;

    unsigned char digest[32];
    for (int i = 0; i < 32; ++i) digest[i] = (unsigned char)(i * 17);
    const struct {
        int size;
        const char* hex;
    } sizes[] = {{64, "00112233445566778899aabbccddeeff"}, {34, "00112233445566778899aabbccddeeff"},
                 {33, "00112233445566778899aabbccddeeff"}, {32, "00112233445566778899aabbccddee"},
                 {5, "0011"}, {3, "00"}, {2, ""}, {1, ""}};
    for (const auto& s : sizes) {
        char out[64];
        memset(out, 'z', sizeof out);
        FormatDigestHex(digest, out, s.size);
        EXPECT_STREQ(out, s.hex) << s.size;
    }
}

TEST(ReportText, OsNamesScalesArchitecturesAndInstallKinds) {
    const struct {
        unsigned long major, minor, build;
        const char* name;
    } names[] = {{10, 0, 22000, "Windows 11"}, {10, 0, 22631, "Windows 11"}, {10, 0, 21999, "Windows 10"},
                 {6, 3, 9600, "Windows 8.1"},  {6, 2, 9200, "Windows 8"},    {6, 1, 7601, "Windows 7"},
                 {6, 0, 6002, "Windows 6.0"},  {5, 1, 2600, "Windows 5.1"},  {11, 2, 1, "Windows 11.2"}};
    for (const auto& n : names) {
        char out[64];
        FormatOsName(n.major, n.minor, n.build, out, sizeof out);
        EXPECT_STREQ(out, n.name) << n.major << "." << n.minor << "." << n.build;
    }
    const int dpis[][2] = {{96, 100}, {120, 125}, {144, 150}, {168, 175}, {192, 200}, {100, 104}};
    for (const auto& d : dpis) EXPECT_EQ(DpiScaleFor(d[0]), d[1]) << d[0];
    EXPECT_STREQ(ArchitectureName(9), "x64");
    EXPECT_STREQ(ArchitectureName(0), "x86");
    EXPECT_STREQ(ArchitectureName(12), "ARM64");
    EXPECT_STREQ(ArchitectureName(5), "ARM");
    EXPECT_STREQ(ArchitectureName(6), "Unknown");
    EXPECT_STREQ(InstallTypeFor(L"C:\\Program Files\\WindowsApps\\Tivra_1\\Tivra.exe"), "msix");
    EXPECT_STREQ(InstallTypeFor(L"C:\\Program Files\\windowsapps\\Tivra_1\\Tivra.exe"), "setup");
    EXPECT_STREQ(InstallTypeFor(L"C:\\Tivra\\Tivra.exe"), "setup");
}

TEST(ReportText, CopyCutsBetweenCharacters) {
    char out[4];
    CopyUtf8Cut("ab\xe4\xb8\xad", out, sizeof out);
    EXPECT_STREQ(out, "ab");
    CopyUtf8Cut("abc", out, sizeof out);
    EXPECT_STREQ(out, "abc");
}

// Digests computed apart from the system, with Python's hashlib.
TEST(DeviceId, FirstHalfOfSha256OfTheInput) {
    const struct {
        const char* input;
        const char* id;
    } cases[] = {
        {"PC|user|C:\\windows\\system32|Tivra", "b21f0a2cff6691ad5f6e9d778a4be47f"},
        {"unknown|unknown||Tivra", "9546aada9abab4b5df3a0d04af3a9262"},
        {"DESKTOP-1|\xe5\xbc\xa0\xe4\xb8\x89|C:\\Windows\\system32|Tivra", "36e8ee408c6d40aff1e0d3fe01df58c2"},
    };
    for (const auto& c : cases) {
        char id[64];
        HashDeviceIdInput(c.input, id, sizeof id);
        EXPECT_STREQ(id, c.id) << c.input;
    }
    char input[512];
    BuildDeviceIdInput("", "", "", input, sizeof input);
    EXPECT_STREQ(input, "|||Tivra");
    char id[64];
    HashDeviceIdInput(input, id, sizeof id);
    EXPECT_STREQ(id, "cf55e3c3c8c58bc074f06ce70063e164");
}

TEST(Timestamp, UtcFormat) {
    SYSTEMTIME t = {};
    t.wYear = 2026;
    t.wMonth = 3;
    t.wDay = 4;
    t.wHour = 5;
    t.wMinute = 6;
    t.wSecond = 7;
    t.wMilliseconds = 999;
    char out[32];
    FormatTimestamp(&t, out, sizeof out);
    EXPECT_STREQ(out, "2026-03-04T05:06:07Z");
    FormatTimestamp(&t, out, 5);
    EXPECT_STREQ(out, "2026");
}
