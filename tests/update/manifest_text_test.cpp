#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>

#include "update/update_check.h"

struct VersionCase {
    const char* text;
    int code;
    int major, minor, patch;
};

// Each version text stands in a manifest's tag_name; 0.1.1 is the running version.
TEST(UpdateManifest, VersionTextsAgainstRunningVersion) {
    const VersionCase cases[] = {
        {"0.1.1", UPDATE_UP_TO_DATE, 0, 1, 1},       {"v0.1.1", UPDATE_UP_TO_DATE, 0, 1, 1},
        {"0.1.1-beta", UPDATE_UP_TO_DATE, 0, 1, 1},  {"0.1.2", UPDATE_AVAILABLE, 0, 1, 2},
        {"0.2.0", UPDATE_AVAILABLE, 0, 2, 0},        {"1.0.0", UPDATE_AVAILABLE, 1, 0, 0},
        {"v1", UPDATE_AVAILABLE, 1, 0, 0},           {"V1", UPDATE_AVAILABLE, 1, 0, 0},
        {"1", UPDATE_AVAILABLE, 1, 0, 0},            {"0.0.9", UPDATE_UP_TO_DATE, 0, 0, 9},
        {"0.1.0", UPDATE_UP_TO_DATE, 0, 1, 0},       {"0.1", UPDATE_UP_TO_DATE, 0, 1, 0},
        {"-1.5.0", UPDATE_UP_TO_DATE, -1, 5, 0},     {"2.5", UPDATE_AVAILABLE, 2, 5, 0},
        {" 0.1.2", UPDATE_AVAILABLE, 0, 1, 2},       {"0. 2", UPDATE_AVAILABLE, 0, 2, 0},
        {"0..5", UPDATE_UP_TO_DATE, 0, 0, 0},        {"+0.1.3", UPDATE_AVAILABLE, 0, 1, 3},
        {"99999999999.1", UPDATE_AVAILABLE, 2147483647, 1, 0},
        {"v", UPDATE_BAD_MANIFEST, 0, 0, 0},         {"abc", UPDATE_BAD_MANIFEST, 0, 0, 0},
        {"vv1", UPDATE_BAD_MANIFEST, 0, 0, 0},       {"", UPDATE_BAD_MANIFEST, 0, 0, 0},
        {".1.2", UPDATE_BAD_MANIFEST, 0, 0, 0},      {"-", UPDATE_BAD_MANIFEST, 0, 0, 0},
    };
    for (const VersionCase& c : cases) {
        SCOPED_TRACE(c.text);
        std::string manifest = std::string("{\"tag_name\":\"") + c.text + "\"}";
        UpdateInfo info;
        memset(&info, 0x55, sizeof info);
        EXPECT_EQ(ReadUpdateManifest(manifest.c_str(), &info), c.code);
        EXPECT_EQ(info.major, c.major);
        EXPECT_EQ(info.minor, c.minor);
        EXPECT_EQ(info.patch, c.patch);
        if (c.code != UPDATE_BAD_MANIFEST) {
            wchar_t expected[32];
            MultiByteToWideChar(CP_UTF8, 0, c.text, -1, expected, 32);
            EXPECT_STREQ(info.version, expected);
        } else {
            EXPECT_EQ(info.version[0], 0);
        }
    }
}

struct ManifestCase {
    const char* name;
    const char* json;
    int code;
    const wchar_t* version;
    const wchar_t* url;
    const wchar_t* notes;
    const wchar_t* date;
};

TEST(UpdateManifest, KeyOrderAndFallbacks) {
    const ManifestCase cases[] = {
        {"empty tag_name wins over version", R"({"tag_name":"","version":"0.2.0"})", UPDATE_BAD_MANIFEST, L"", L"",
         L"", L""},
        {"second keys", R"({"version":"0.2.0","download_url":"https://d/","changelog":"c","release_date":"2026"})",
         UPDATE_AVAILABLE, L"0.2.0", L"https://d/", L"c", L"2026"},
        {"first keys win",
         R"({"download_url":"D","html_url":"H","changelog":"C","body":"B","release_date":"R","published_at":"P","version":"9","tag_name":"0.3"})",
         UPDATE_AVAILABLE, L"0.3", L"H", L"B", L"P"},
        {"numeric version takes the next quoted text", R"({"version": 2, "body": "notes"})", UPDATE_BAD_MANIFEST,
         L"", L"", L"", L""},
        {"numeric version with nothing quoted after", R"({"version": 2})", UPDATE_BAD_MANIFEST, L"", L"", L"", L""},
        {"no version key", R"({"name":"0.2.0"})", UPDATE_BAD_MANIFEST, L"", L"", L"", L""},
        {"nested key found first", R"({"assets":{"tag_name":"9.9.9"},"tag_name":"0.1.0"})", UPDATE_AVAILABLE,
         L"9.9.9", L"", L"", L""},
        {"missing extras stay empty", R"({"tag_name":"v0.1.1"})", UPDATE_UP_TO_DATE, L"v0.1.1", L"", L"", L""},
        {"escapes in notes", R"({"tag_name":"1","body":"a\nb\t\"q\" \\ \u4e2d \/"})", UPDATE_AVAILABLE, L"1", L"",
         L"a\nb\t\"q\" \\ \\u4e2d \\/", L""},
        {"utf-8 notes", "{\"tag_name\":\"1\",\"body\":\"\xe4\xbf\xae\xe5\xa4\x8d\"}", UPDATE_AVAILABLE, L"1", L"",
         L"修复", L""},
        {"40-byte version cut to 31",
         R"({"tag_name":"0.2.0-aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"})", UPDATE_AVAILABLE,
         L"0.2.0-aaaaaaaaaaaaaaaaaaaaaaaaa", L"", L"", L""},
    };
    for (const ManifestCase& c : cases) {
        SCOPED_TRACE(c.name);
        UpdateInfo info;
        EXPECT_EQ(ReadUpdateManifest(c.json, &info), c.code);
        EXPECT_STREQ(info.version, c.version);
        EXPECT_STREQ(info.download_url, c.url);
        EXPECT_STREQ(info.release_notes, c.notes);
        EXPECT_STREQ(info.release_date, c.date);
    }
    EXPECT_EQ(wcslen(L"0.2.0-aaaaaaaaaaaaaaaaaaaaaaaaa"), 31u);
    EXPECT_EQ(ReadUpdateManifest("{}", nullptr), UPDATE_INTERNAL_ERROR);
}

struct FindCase {
    const char* json;
    const char* key;
    int size;
    bool found;
    const char* value;
};

TEST(UpdateManifest, JsonFindStringIsATextSearch) {
    const FindCase cases[] = {
        {R"({"k":"v"})", "k", 64, true, "v"},
        {R"({"k" :  "v"})", "k", 64, true, "v"},
        {R"({"k":""})", "k", 64, true, ""},
        {R"({"k":"a\"b\\c\nd\re\tf"})", "k", 64, true, "a\"b\\c\nd\re\tf"},
        {R"({"k":"\u00e9\/\x"})", "k", 64, true, "\\u00e9\\/\\x"},
        {R"({"k":"\\\\"})", "k", 64, true, "\\\\"},
        {R"({"k":"open)", "k", 64, true, "open"},
        {R"({"k":"ends\)", "k", 64, true, "ends\\"},
        {R"({"k":"abcdef"})", "k", 4, true, "abc"},
        {R"({"k":"ab\ncd"})", "k", 4, true, "ab\\"},
        {R"({"k":"abc"})", "k", 1, true, ""},
        {R"({"k":1,"j":"next"})", "k", 64, true, "j"},
        {R"({"kk":"v"})", "k", 64, false, nullptr},
        {R"({"k"})", "k", 64, false, nullptr},
        {R"({"k":1})", "k", 64, false, nullptr},
        {"", "k", 64, false, nullptr},
        {R"({"k":"v"})", "k", 0, false, nullptr},
    };
    for (const FindCase& c : cases) {
        SCOPED_TRACE(std::string(c.json) + " size " + std::to_string(c.size));
        char out[64];
        strcpy(out, "untouched");
        EXPECT_EQ(JsonFindString(c.json, c.key, out, c.size), c.found);
        EXPECT_STREQ(out, c.found ? c.value : "untouched");
    }
}

TEST(UpdateManifest, CompareVersionsFirstDifferenceDecides) {
    EXPECT_EQ(CompareVersions(0, 1, 1, 0, 1, 1), 0);
    EXPECT_EQ(CompareVersions(1, 0, 0, 0, 9, 9), 1);
    EXPECT_EQ(CompareVersions(0, 1, 0, 0, 0, 9), 1);
    EXPECT_EQ(CompareVersions(0, 1, 1, 0, 1, 2), -1);
    EXPECT_EQ(CompareVersions(-1, 5, 0, 0, 1, 1), -1);
}

TEST(UpdateOffer, OnlyWebAddressesReachTheShell) {
    const struct {
        const wchar_t* url;
        bool web;
    } cases[] = {
        {L"https://example.org/dl", true}, {L"http://example.org/", true}, {L"HTTPS://EXAMPLE.ORG", true},
        {L"https://", false},              {L"http:/x", false},            {L"file:///C:/Windows/notepad.exe", false},
        {L"C:\\Windows\\notepad.exe", false}, {L"\\\\host\\share\\x.exe", false}, {L"notepad", false},
        {L"ftp://example.org", false},     {L"javascript:alert(1)", false}, {L" https://example.org", false},
        {L"https://a b", false},           {L"https://a\n", false},        {L"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsWebUrl(c.url), c.web) << c.url;
    }
    EXPECT_FALSE(IsWebUrl(nullptr));
}

TEST(UpdateOffer, TextWithDefaultsAndTheCut) {
    UpdateInfo info = {};
    wcscpy(info.version, L"v0.2.0");
    wchar_t offer[4096];
    FormatUpdateOffer(&info, offer, 4096);
    EXPECT_STREQ(offer, L"发现新版本！\n\n当前版本：0.1.1\n最新版本：v0.2.0\n发布日期：未知\n\n更新内容：\n暂无更新说明"
                        L"\n\n是否立即前往下载页面？");

    wcscpy(info.release_date, L"2026-12-01");
    wcscpy(info.release_notes, L"a\nb");
    FormatUpdateOffer(&info, offer, 4096);
    EXPECT_STREQ(offer, L"发现新版本！\n\n当前版本：0.1.1\n最新版本：v0.2.0\n发布日期：2026-12-01\n\n更新内容：\na\nb"
                        L"\n\n是否立即前往下载页面？");

    for (int i = 0; i < 2047; ++i) info.release_notes[i] = L'x';
    info.release_notes[2047] = 0;
    FormatUpdateOffer(&info, offer, 4096);
    size_t length = wcslen(offer);
    EXPECT_GE(length, 1023u);
    EXPECT_LE(length, 1024u);
    EXPECT_EQ(wcsncmp(offer, L"发现新版本！\n\n当前版本：0.1.1\n最新版本：v0.2.0\n发布日期：2026-12-01\n\n更新内容：\nxxx", 50), 0);
    EXPECT_EQ(offer[length - 1], L'x');
}

TEST(UpdateManifest, ExampleManifestOffersItsVersion) {
    const char* source = getenv("TIVRA_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    std::string path = std::string(source) + "/update/version.example.json";
    FILE* file = fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr) << path;
    char text[4096] = {0};
    fread(text, 1, sizeof text - 1, file);
    fclose(file);
    UpdateInfo info;
    EXPECT_EQ(ReadUpdateManifest(text, &info), UPDATE_AVAILABLE);
    EXPECT_STREQ(info.version, L"v0.2.0");
    EXPECT_STREQ(info.download_url, L"https://example.org/tivra/download");
    EXPECT_STREQ(info.release_notes, L"修复若干问题\n新增 2025 年报告");
    EXPECT_STREQ(info.release_date, L"2026-12-01");
}
