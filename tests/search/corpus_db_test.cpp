#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "corpus/corpus_db.h"
#include "sqlite3.h"
#include "tests/support/test_paths.h"

namespace {

std::vector<std::wstring> g_rows;

void Collect(const wchar_t* row, uintptr_t context) {
    EXPECT_EQ(context, 0u);
    g_rows.push_back(row);
}

// A keyed copy of the plain fixture, made the way the installer keys a corpus.
std::string KeyedCopy(const char* name, const char* passphrase) {
    std::string plain = BuildTreePath("fixtures/corpus.db");
    std::string keyed = BuildTreePath(name);
    EXPECT_TRUE(CopyFileA(plain.c_str(), keyed.c_str(), FALSE));
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(keyed.c_str(), &db), SQLITE_OK);
    std::string sql = std::string("PRAGMA rekey = '") + passphrase + "';";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    return keyed;
}

class CorpusQueries : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(CorpusOpen(KeyedCopy("corpus-keyed.db", CorpusPassphrase()).c_str()), CORPUS_OK); }
    static void TearDownTestSuite() { EXPECT_EQ(CorpusClose(), CORPUS_OK); }
    void SetUp() override { g_rows.clear(); }
};

typedef int (*TermQuery)(const wchar_t*, RowCallback, uintptr_t);

struct TermCase {
    const char* name;
    TermQuery query;
    const wchar_t* terms;
    std::vector<std::wstring> rows;
};

const std::wstring TITLED = L"[TITLE]《2023年山西省政府工作报告》：[/TITLE]";

}  // namespace

TEST_F(CorpusQueries, TermQueriesDeliverRowsInOrder) {
    const TermCase cases[] = {
        // Length first, then count; a null word is skipped.
        {"words by length then count", QueryWords, L"发", {L"15|发", L"7|发展", L"11|发扬", L"8|高质量发展", L"9|发展新质生产力"}},
        {"words need every term", QueryWords, L" 创新   科技 ", {L"10|科技创新"}},
        {"percent is literal", QueryWords, L"%", {L"14|50%_增长"}},
        {"underscore is literal", QueryWords, L"_", {L"14|50%_增长"}},
        {"quote is doubled, not an error", QueryWords, L"发'", {}},
        // The 602-unit phrase and the null phrase are skipped.
        {"phrases", QueryPhrases, L"发展", {L"高质量发展", L"创新驱动发展", L"发展新质生产力", L"推动高质量发展"}},
        {"clauses are distinct", QueryClauses, L"发展", {L"推动高质量发展", L"加快发展新质生产力"}},
        // Titled, empty title, no report row; the 2102-unit paragraph is skipped.
        {"paragraphs with and without titles", QueryParagraphs, L"发展",
         {TITLED + L"我们着力推动高质量发展，经济运行稳中向好。", L"全年加快发展新质生产力，新动能持续壮大。",
          L"没有对应报告的段落也在谈发展。"}},
        {"paragraph with a null title", QueryParagraphs, L"科技", {L"坚持以科技创新引领产业创新。"}},
        // 274 bytes: the term is cut to its first 253, after the last whole character.
        {"long term cut on a character", QueryParagraphs, (L"2023" + std::wstring(90, L'发')).c_str(),
         {TITLED + L"前2023" + std::wstring(90, L'发') + L"后"}},
        // "16|a" and 83 whole characters make 253 bytes of the 256-byte row.
        {"long word row cut on a character", QueryWords, L"a长", {L"16|a" + std::wstring(83, L'长')}},
        {"only spaces run nothing", QueryWords, L"   ", {}},
        {"empty terms run nothing", QueryPhrases, L"", {}},
    };
    for (const TermCase& c : cases) {
        g_rows.clear();
        EXPECT_EQ(c.query(c.terms, Collect, 0), CORPUS_OK) << c.name;
        EXPECT_EQ(g_rows, c.rows) << c.name;
    }
}

TEST_F(CorpusQueries, StartupWordsAreTwoCharacterVerbsByCount) {
    EXPECT_EQ(QueryStartupWords(Collect, 0), CORPUS_OK);
    EXPECT_EQ(g_rows, (std::vector<std::wstring>{L"17|推动", L"70|创新", L"7|发展", L"11|发扬"}));
}

TEST_F(CorpusQueries, PhrasesByWordIdMatchWholeIdsOnly) {
    EXPECT_EQ(QueryPhrasesByWordId(7, Collect, 0), CORPUS_OK);
    // First, middle, last and only entry; never 17 or 70.
    EXPECT_EQ(g_rows, (std::vector<std::wstring>{L"七在前面", L"七在中间", L"七是唯一", L"创新驱动发展", L"科技创新引领"}));
}

TEST_F(CorpusQueries, NullArgumentsRunNothing) {
    EXPECT_EQ(QueryWords(nullptr, Collect, 0), CORPUS_OK);
    EXPECT_EQ(QueryWords(L"发", nullptr, 0), CORPUS_OK);
    EXPECT_EQ(QueryStartupWords(nullptr, 0), CORPUS_OK);
    EXPECT_TRUE(g_rows.empty());
}

TEST_F(CorpusQueries, OpenWhileOpenKeepsTheConnection) {
    EXPECT_EQ(CorpusOpen("Z:\\nonexistent\\folder\\x.db"), CORPUS_OK);
    EXPECT_EQ(QueryWords(L"推动", Collect, 0), CORPUS_OK);
    EXPECT_EQ(g_rows.size(), 1u);
}

TEST(CorpusOpenFailures, WrongKeyPlainFileAndNotADatabase) {
    std::string wrong = KeyedCopy("corpus-wrong-key.db", "AAAAAAAAAAAAAAAA");
    std::string text = BuildTreePath("fixtures/not-a-database.db");
    FILE* f = fopen(text.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    for (int i = 0; i < 200; i++) fputs("this is not a database file\n", f);
    fclose(f);
    const std::string paths[] = {wrong, BuildTreePath("fixtures/corpus.db"), text};
    for (const std::string& path : paths) {
        EXPECT_EQ(CorpusOpen(path.c_str()), CORPUS_ERR_KEY) << path;
        EXPECT_STREQ(CorpusLastError(), "Invalid database key or corrupted database");
        EXPECT_EQ(QueryWords(L"发", Collect, 0), CORPUS_ERR_NOT_OPEN) << "no connection is left";
        EXPECT_STREQ(CorpusLastError(), "Database not initialized");
        EXPECT_EQ(CorpusClose(), CORPUS_OK);
    }
}

// A file that opens under the key but lacks the corpus tables is no corpus:
// it would only ever show empty lists.
TEST(CorpusOpenFailures, MissingTablesDoNotOpen) {
    std::string empty = BuildTreePath("fixtures/corpus-empty.db");
    DeleteFileA(empty.c_str());
    EXPECT_EQ(CorpusOpen(empty.c_str()), CORPUS_ERR_KEY);
    EXPECT_STREQ(CorpusLastError(), "Invalid database key or corrupted database");
    g_rows.clear();
    EXPECT_EQ(QueryWords(L"发", Collect, 0), CORPUS_ERR_NOT_OPEN) << "no connection is left";
    EXPECT_EQ(QueryPhrasesByWordId(7, Collect, 0), CORPUS_ERR_NOT_OPEN);
    EXPECT_TRUE(g_rows.empty());
    EXPECT_EQ(CorpusClose(), CORPUS_OK);
    EXPECT_EQ(CorpusClose(), CORPUS_OK) << "closing twice is harmless";
}

TEST(CorpusPassphrase, SixteenLettersAndDigits) {
    EXPECT_STREQ(CorpusPassphrase(), "Mz7qPx4LwN2vRt9K");
    EXPECT_EQ(CorpusPassphrase(), CorpusPassphrase());
}

namespace {

std::string Like(const std::string& column, const std::string& escaped, bool first) {
    return (first ? "" : " AND ") + column + " LIKE '%" + escaped + "%' ESCAPE '\\'";
}

}  // namespace

TEST(LikeFilter, ConditionsEscapesAndCuts) {
    const std::string x300(300, 'x'), x255(255, 'x'), x254(254, 'x');
    const std::string a300(300, 'a'), b250(250, 'b'), b210(210, 'b');
    struct Case {
        const char* name;
        std::string input;
        int capacity;
        std::string expected;
    };
    const Case cases[] = {
        {"two terms", "科技 创新", 1024, Like("c", "科技", true) + Like("c", "创新", false)},
        {"runs and edge spaces", "  a   b  ", 1024, Like("c", "a", true) + Like("c", "b", false)},
        {"tab and ideographic space are term characters", "a\tb　c", 1024, Like("c", "a\tb　c", true)},
        {"escapes", "it's 5%_\\", 1024, Like("c", "it''s", true) + Like("c", "5\\%\\_\\\\", false)},
        {"term cut at 255 bytes", x300, 1024, Like("c", x255, true)},
        {"escape pair never straddles the cut", x254 + "%", 1024, Like("c", x254, true)},
        {"input cut at 511 bytes", a300 + " " + b250, 1024, Like("c", std::string(255, 'a'), true) + Like("c", b210, false)},
        {"a term that does not fit is left out, a later short one kept", std::string(200, 'x') + " " + std::string(200, 'y') + " z",
         400, Like("c", std::string(200, 'x'), true) + Like("c", "z", false)},
    };
    for (const Case& c : cases) {
        char out[1024] = "untouched";
        ASSERT_TRUE(BuildLikeFilter(c.input.c_str(), "c", out, c.capacity)) << c.name;
        EXPECT_EQ(std::string(out), c.expected) << c.name;
    }
    for (const char* nothing : {"", " ", "     "}) {
        char out[16] = "untouched";
        EXPECT_FALSE(BuildLikeFilter(nothing, "c", out, sizeof out));
        EXPECT_STREQ(out, "untouched");
    }
    char small[300] = "untouched";
    EXPECT_FALSE(BuildLikeFilter(x300.c_str(), "c", small, 200)) << "nothing fits a tiny buffer";
}

TEST(LikeFilter, WorkedExampleForWordContent) {
    char out[1024];
    ASSERT_TRUE(BuildLikeFilter("科技 创新", "word_content", out, sizeof out));
    EXPECT_STREQ(out, "word_content LIKE '%科技%' ESCAPE '\\' AND word_content LIKE '%创新%' ESCAPE '\\'");
}

TEST(LikeFilter, LongTermsAreCutOnACharacterBoundary) {
    std::wstring terms(171, L'发');  // 513 bytes of UTF-8
    char out[512];
    CorpusTermsToUtf8(terms.c_str(), out, sizeof out);
    EXPECT_EQ(strlen(out), 510u);
    std::wstring emoji = std::wstring(127, L'发') + L"\U0001F4CC";  // 381 + 4 bytes fits
    CorpusTermsToUtf8(emoji.c_str(), out, sizeof out);
    EXPECT_EQ(strlen(out), 385u);
    std::wstring split = std::wstring(170, L'发') + L"\U0001F4CC";  // the pair would pass 511
    CorpusTermsToUtf8(split.c_str(), out, sizeof out);
    EXPECT_EQ(strlen(out), 510u);
}

TEST(LikeFilter, EscapedTermsEndOnAWholeCharacter) {
    std::string fa90, fa83;
    for (int i = 0; i < 90; i++) fa90 += "发";
    for (int i = 0; i < 83; i++) fa83 += "发";
    const std::string x253(253, 'x');
    struct Case {
        const char* name;
        std::string term;
        std::string escaped;
    };
    const Case cases[] = {
        {"ASCII then three-byte characters", "2023" + fa90, "2023" + fa83},
        {"a four-byte character that would pass 255", x253 + "\xF0\x9F\x93\x8C", x253},
        {"an escape pair after whole characters", x253 + "%", x253 + "\\%"},
    };
    for (const Case& c : cases) {
        char out[1024];
        ASSERT_TRUE(BuildLikeFilter(c.term.c_str(), "c", out, sizeof out)) << c.name;
        EXPECT_EQ(std::string(out), Like("c", c.escaped, true)) << c.name;
    }
}
