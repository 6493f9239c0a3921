// The search index against the statements, natively, on a generated corpus:
// every query's rows must be the statement's rows, in the same order.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "corpus/corpus_db.h"
#include "corpus/corpus_statements.h"
#include "corpus/like_filter.h"
#include "corpus/like_match.h"
#include "corpus/row_text.h"
#include "corpus/search_index.h"
#include "sqlite3.h"

namespace {

typedef std::vector<std::u16string> Rows;

void Collect(const char16_t* row, uintptr_t context) { ((Rows*)context)->push_back(row); }

std::string Hex(const std::string& s) {
    std::string out;
    char b[4];
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F) out += (char)c;
        else snprintf(b, sizeof b, "\\x%02X", c), out += b;
    }
    return out;
}

const char* CorpusPath() {
    const char* path = getenv("CORPUS_DIFF_DB");
    return path && path[0] ? path : "diff-corpus.db";
}

int SearchCount() {
    const char* n = getenv("CORPUS_DIFF_SEARCHES");
    return n && atoi(n) > 0 ? atoi(n) : 3000;
}

std::vector<std::string> Column(sqlite3* db, const char* sql) {
    std::vector<std::string> out;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) return out;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        const char* t = (const char*)sqlite3_column_text(stmt, 0);
        if (t) out.push_back(t);
    }
    sqlite3_finalize(stmt);
    return out;
}

// Characters of UTF-8 text (a lead byte with its continuation bytes).
std::vector<std::string> Characters(const std::string& s) {
    std::vector<std::string> out;
    for (size_t i = 0; i < s.size();) {
        size_t n = 1;
        while (i + n < s.size() && ((unsigned char)s[i + n] & 0xC0) == 0x80) n++;
        out.push_back(s.substr(i, n));
        i += n;
    }
    return out;
}

class IndexDiff : public ::testing::Test {
protected:
    static sqlite3* db;
    static SearchIndex* index;
    static std::vector<std::string> texts;

    static void SetUpTestSuite() {
        ASSERT_EQ(sqlite3_open_v2(CorpusPath(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK) << CorpusPath();
        auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(SearchIndexBuild(db, &index), CORPUS_OK);
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        printf("index of %s: built in %.0f ms, %.1f MB\n", CorpusPath(), ms, SearchIndexBytes(index) / 1048576.0);
        for (const char* sql : {"SELECT word_content FROM mo_words", "SELECT phrase_content FROM mo_phrases",
                                "SELECT clause_content FROM mo_clauses",
                                "SELECT paragraph_content FROM mo_paragraphs"}) {
            std::vector<std::string> column = Column(db, sql);
            texts.insert(texts.end(), column.begin(), column.end());
        }
    }
    static void TearDownTestSuite() {
        SearchIndexFree(index);
        sqlite3_close(db);
    }

    // Both paths for one query; false (with a message) when they differ.
    static bool Same(int query, const std::string& terms) {
        Rows viaStatement, viaIndex;
        EXPECT_EQ(RunTermStatement(db, query, terms.c_str(), Collect, (uintptr_t)&viaStatement), CORPUS_OK);
        EXPECT_EQ(SearchIndexTermRows(index, query, terms.c_str(), Collect, (uintptr_t)&viaIndex), CORPUS_OK);
        uint32_t counted = (uint32_t)SearchIndexMatchRows(index, query, terms.c_str(), nullptr, 0);
        if (viaStatement == viaIndex && counted == viaIndex.size()) return true;
        ADD_FAILURE() << "query " << query << " terms \"" << Hex(terms) << "\": statement " << viaStatement.size()
                      << " rows, index " << viaIndex.size() << " rows, counted " << counted;
        return false;
    }
};

sqlite3* IndexDiff::db;
SearchIndex* IndexDiff::index;
std::vector<std::string> IndexDiff::texts;

const char* const MALFORMED[] = {"\xED\xA0\x80", "\x80", "\xC0\xAF", "\xE4\xB8", "\xF8\x88\x80\x80\x80", "\xFF",
                                 "\xEF\xBF\xBE", "\xC1\x81"};
const char* const SPECIAL[] = {"%", "_", "\\", "'", "\t", "\xE3\x80\x80", "''", "%_", "\\%", "a_", "X%", "'\\",
                               "\xF0\x9F\x93\x8C", "\xF0\xA0\x80\x80", "\xEF\xBF\xBD", "[7,", ", 7]", "7"};

std::string RandomTerm(std::mt19937& rng, const std::vector<std::string>& texts) {
    auto pick = [&](size_t n) { return (size_t)(rng() % n); };
    switch (pick(12)) {
        case 0:
        case 1:
        case 2: {  // a piece of a row, letters in either case
            std::vector<std::string> chars = Characters(texts[pick(texts.size())]);
            size_t len = 1 + pick(5), from = pick(chars.size());
            std::string term;
            for (size_t i = from; i < chars.size() && i < from + len; i++) term += chars[i];
            for (char& c : term)
                if (isalpha((unsigned char)c) && rng() % 2) c ^= 0x20;
            return term;
        }
        case 3:
        case 4: {  // one character of a row, so mostly common ones
            std::vector<std::string> chars = Characters(texts[pick(texts.size())]);
            return chars[pick(chars.size())];
        }
        case 5: {  // rare and absent characters
            static const char* const RARE[] = {"\xE9\xBE\x98", "Q", "q", "\xE4\xB8\x80", "\xE4\xB9\xBF", "G", "z"};
            return RARE[pick(sizeof RARE / sizeof *RARE)];
        }
        case 6:
        case 7:
            return SPECIAL[pick(sizeof SPECIAL / sizeof *SPECIAL)];
        case 8: {  // over 255 bytes: the cut decides
            std::string text;
            do text = texts[pick(texts.size())];
            while (text.size() < 300);
            std::vector<std::string> chars = Characters(text);
            size_t from = pick(chars.size() / 2), len = 80 + pick(60);
            std::string term;
            for (size_t i = from; i < chars.size() && i < from + len; i++) term += chars[i];
            return term;
        }
        case 9: {  // a row's start with odd bytes around it
            std::vector<std::string> chars = Characters(texts[pick(texts.size())]);
            return chars[0] + MALFORMED[pick(sizeof MALFORMED / sizeof *MALFORMED)];
        }
        case 10:
            return std::string(1 + pick(3), "ab%"[pick(3)]);
        default: {  // the whole of a short row
            std::string t = texts[pick(texts.size())];
            return t.size() < 40 ? t : t.substr(0, 12);
        }
    }
}

}  // namespace

TEST_F(IndexDiff, RandomSearchesGiveTheStatementRows) {
    std::mt19937 rng(20261211);
    int failures = 0, searches = SearchCount(), withRows = 0;
    for (int s = 0; s < searches && failures < 10; s++) {
        std::string terms(rng() % 3, ' ');
        int count = 1 + (int)(rng() % 4);
        for (int t = 0; t < count; t++) {
            if (t) terms += std::string(1 + rng() % 3, ' ');
            terms += RandomTerm(rng, texts);
        }
        terms += std::string(rng() % 2, ' ');
        for (int q = 0; q < 4; q++)
            if (!Same(q, terms)) failures++;
        int found = 0;
        for (int q = 0; q < 4; q++) found += SearchIndexMatchRows(index, q, terms.c_str(), nullptr, 0);
        if (found > 0) withRows++;
    }
    printf("%d searches, %d with rows\n", searches, withRows);
    EXPECT_GT(withRows, searches / 10) << "the generator should find rows often";
}

TEST_F(IndexDiff, EdgeTermsGiveTheStatementRows) {
    std::string fa;
    for (int i = 0; i < 90; i++) fa += "\xE5\x8F\x91";
    const std::string cases[] = {
        "", "   ", "a", "A", "%", "_", "\\", "'", "\t", "\xE3\x80\x80", "2023" + fa, std::string(300, 'a'),
        std::string(254, 'x') + "%", std::string(200, 'x') + " " + std::string(200, 'y') + " " +
            std::string(200, 'z') + " a",
        // Many terms: later ones that no longer fit the 1024-byte list are left out.
        "a b c d e f g h i j k l m n o p q r s t u v w x y z 0 1 2 3 4 5 6 7 8 9 %",
        std::string(250, 'a') + " " + std::string(250, 'b') + " " + std::string(250, 'c') + " d",
        "\xEF\xBF\xBD", "\xED\xA0\x80", "\x80", "\xE5\x8F\x91\x00x", "[7,", ", 7]", "[7]"};
    for (const std::string& terms : cases)
        for (int q = 0; q < 4; q++) Same(q, terms);
}

TEST_F(IndexDiff, EveryWordIdGivesTheStatementPhrases) {
    std::vector<int32_t> ids = {0, -1, -3, 4, 5, 7, 8, 17, 70, INT32_MAX, INT32_MIN, 99999999};
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT word_id FROM mo_words", -1, &stmt, nullptr), SQLITE_OK);
    // A sample: every fifth id unless told otherwise.
    const char* strideText = getenv("CORPUS_DIFF_ID_STRIDE");
    int stride = strideText && atoi(strideText) > 0 ? atoi(strideText) : 5;
    for (int i = 0; sqlite3_step(stmt) == SQLITE_ROW; i++)
        if (i % stride == 0) ids.push_back(sqlite3_column_int(stmt, 0));
    sqlite3_finalize(stmt);
    int failures = 0;
    size_t nonEmpty = 0;
    for (int32_t id : ids) {
        Rows viaStatement, viaIndex;
        ASSERT_EQ(RunPhrasesByWordIdStatement(db, id, Collect, (uintptr_t)&viaStatement), CORPUS_OK);
        ASSERT_EQ(SearchIndexPhrasesByWordId(index, id, Collect, (uintptr_t)&viaIndex), CORPUS_OK);
        if (!viaStatement.empty()) nonEmpty++;
        if (viaStatement != viaIndex && failures++ < 10)
            ADD_FAILURE() << "word id " << id << ": statement " << viaStatement.size() << ", index "
                          << viaIndex.size();
    }
    EXPECT_GT(nonEmpty, ids.size() / 10);
    Rows viaStatement, viaIndex;
    RunStartupWordsStatement(db, Collect, (uintptr_t)&viaStatement);
    SearchIndexStartupWords(index, Collect, (uintptr_t)&viaIndex);
    EXPECT_EQ(viaStatement, viaIndex) << "idle words";
}

TEST_F(IndexDiff, ShortSentencesFindTheStatementParagraphs) {
    std::vector<std::string> sentences = Column(db, "SELECT DISTINCT clause_content FROM mo_clauses ORDER BY 1");
    ASSERT_FALSE(sentences.empty());
    int failures = 0;
    for (size_t i = 0; i < sentences.size() && failures < 10; i += 1 + sentences.size() / 400)
        if (!Same(CORPUS_QUERY_PARAGRAPHS, sentences[i])) failures++;
}

TEST_F(IndexDiff, ParagraphHitsAreTheMatchingParagraphs) {
    for (const char* terms : {"a", "\xE4\xB8\x80", "%", "\xE4\xB8\x80 a"}) {
        std::string viaStatement, viaIndex;
        sqlite3_stmt* stmt = nullptr;
        char condition[1024];
        ASSERT_TRUE(BuildLikeFilter(terms, "p.paragraph_content", condition, sizeof condition));
        std::string sql = std::string("SELECT p.article_id, a.article_id IS NOT NULL, a.article_title FROM "
                                      "mo_paragraphs p LEFT JOIN mo_articles a ON p.article_id = a.article_id "
                                      "WHERE ") + condition;
        ASSERT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            int has = sqlite3_column_int(stmt, 1);
            const char* title = has ? (const char*)sqlite3_column_text(stmt, 2) : nullptr;
            viaStatement += std::to_string(sqlite3_column_int64(stmt, 0)) + "|" + std::to_string(has) + "|" +
                            (title ? title : "(null)") + "\n";
        }
        sqlite3_finalize(stmt);
        auto hit = [](int64_t id, int has, const char* title, uintptr_t context) {
            *(std::string*)context += std::to_string(id) + "|" + std::to_string(has) + "|" +
                                      (title ? title : "(null)") + "\n";
        };
        SearchIndexParagraphHits(index, terms, hit, (uintptr_t)&viaIndex);
        EXPECT_EQ(viaStatement, viaIndex) << Hex(terms);
    }
}

// The matcher alone against the engine's LIKE, over odd bytes and wildcards.
// A whole table through the index against its ordered statement: every row,
// ties, duplicates and skipped rows included.
Rows StatementTable(sqlite3* db, int query) {
    static const char* const ORDERED[3] = {
        "SELECT word_id, word_content FROM mo_words ORDER BY LENGTH(word_content) ASC, count_phrases DESC",
        "SELECT phrase_content FROM mo_phrases ORDER BY LENGTH(phrase_content) ASC,count_clauses DESC",
        "SELECT DISTINCT clause_content FROM mo_clauses ORDER BY LENGTH(clause_content) ASC"};
    Rows rows;
    sqlite3_stmt* stmt = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, ORDERED[query], -1, &stmt, nullptr), SQLITE_OK);
    char16_t row[PARAGRAPH_ROW_UNITS];
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        int column = query == CORPUS_QUERY_WORDS ? 1 : 0;
        const char* text = (const char*)sqlite3_column_text(stmt, column);
        if (!text) continue;
        int units = query == CORPUS_QUERY_WORDS ? ComposeWordRow(sqlite3_column_int(stmt, 0), text, row)
                                                : ComposeTextRow(text, row);
        if (units >= 0) rows.push_back(row);
    }
    sqlite3_finalize(stmt);
    return rows;
}

Rows IndexTableRows(const SearchIndex* index, int query) {
    Rows rows;
    for (uint32_t r = 0; r < SearchIndexRowCount(index, query); r++)
        if (const char16_t* text = SearchIndexRowText(index, query, r)) rows.push_back(text);
    return rows;
}

TEST_F(IndexDiff, WholeTablesAreInTheStatementOrder) {
    for (int query = 0; query < 3; query++) {
        Rows expected = StatementTable(db, query);
        EXPECT_GT(expected.size(), 100u);
        EXPECT_TRUE(IndexTableRows(index, query) == expected) << "query " << query;
    }
}

// Small corpora whose sort keys and short sentences mix storage classes, and
// tables with an index: each gives the statement's tables.
TEST(IndexBuild, MixedKeysGiveTheStatementOrder) {
    const char* const SCHEMA =
        "CREATE TABLE mo_articles (article_id INTEGER PRIMARY KEY, article_title TEXT);"
        "CREATE TABLE mo_words (word_id INTEGER PRIMARY KEY, word_content TEXT, pos TEXT, count_phrases INTEGER);"
        "CREATE TABLE mo_phrases (phrase_id INTEGER PRIMARY KEY, phrase_content TEXT, count_clauses INTEGER,"
        " words_array TEXT);"
        "CREATE TABLE mo_clauses (clause_id INTEGER PRIMARY KEY, clause_content TEXT);"
        "CREATE TABLE mo_paragraphs (paragraph_id INTEGER PRIMARY KEY, article_id INTEGER, paragraph_content TEXT);";
    // Rows stored in an order the sorts must change, with ties kept in scan order.
    const char* const PLAIN_ROWS =
        "INSERT INTO mo_words (word_id, word_content, pos, count_phrases) VALUES (9, '发展', 'VV', NULL),"
        " (3, '创新', 'VV', 3), (5, '改革', 'VV', NULL), (1, '开放', 'VV', 3), (2, '经济社会', 'VV', -5),"
        " (8, '民生', 'VV', 9223372036854775807), (7, '的', 'VV', -9223372036854775808), (4, NULL, 'VV', 1),"
        " (6, CAST(x'e58f91ff' AS TEXT), 'VV', 3), (10, x'e58f91', 'VV', 3), (11, 123, 'VV', 3);"
        "INSERT INTO mo_phrases (phrase_content, count_clauses, words_array) VALUES ('稳中求进', NULL, '[9]'),"
        " ('高质量', 2, '[3, 9]'), ('新发展', 2, '[9]'), ('稳', 7, '[1]'), ('进', NULL, NULL), ('新', 7, '[9, 1]');"
        "INSERT INTO mo_clauses (clause_content) VALUES ('坚持稳中求进'), ('x'), (x'78'), ('5'), (5), ('坚持稳中求进'),"
        " (CAST(x'e58f9100e5b195' AS TEXT)), (CAST(x'e58f9100e5b196' AS TEXT)), (CAST(x'e58f9100e5b195' AS TEXT)),"
        " (''), (x''), (NULL), ('x'), (x'78'), (NULL), (5), ('推进');";
    const char* const OTHER_CLASSES =
        "INSERT INTO mo_words (word_id, word_content, pos, count_phrases) VALUES (1, '发展', 'VV', 2.5),"
        " (2, '创新', 'VV', '7'), (3, '改革', 'VV', x'01'), (4, '开放', 'VV', 3), (5, '民生', 'VV', NULL);"
        "INSERT INTO mo_phrases (phrase_content, count_clauses, words_array) VALUES ('稳中', 1.0, '[1]'),"
        " ('求进', 1, '[2]'), ('高质', '1', '[3]'), ('发展', 0.5, '[1]');"
        "INSERT INTO mo_clauses (clause_content) VALUES (1), (1.0), ('1'), (2.5), ('坚持'), (2.5), ('推进');";
    const char* const INDEXES =
        "CREATE INDEX words_by_count ON mo_words(count_phrases, word_content, word_id);"
        "CREATE INDEX clauses_by_text ON mo_clauses(clause_content);";
    struct Case {
        const char* name;
        const char* rows;
        const char* extra;
    };
    const Case cases[] = {
        {"nulls, ties, blobs, numbers and NULs", PLAIN_ROWS, ""},
        {"counts and sentences of other classes", OTHER_CLASSES, ""},
        {"tables with an index", PLAIN_ROWS, INDEXES},
        {"short sentences under another collation", PLAIN_ROWS,
         "DROP TABLE mo_clauses;"
         "CREATE TABLE mo_clauses (clause_id INTEGER PRIMARY KEY, clause_content TEXT COLLATE NOCASE);"
         "INSERT INTO mo_clauses (clause_content) VALUES ('abc'), ('ABC'), ('推进'), ('Abc'), ('x'), ('X');"},
    };
    for (const Case& c : cases) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, SCHEMA, nullptr, nullptr, nullptr), SQLITE_OK) << c.name;
        ASSERT_EQ(sqlite3_exec(db, c.rows, nullptr, nullptr, nullptr), SQLITE_OK) << c.name << sqlite3_errmsg(db);
        ASSERT_EQ(sqlite3_exec(db, c.extra, nullptr, nullptr, nullptr), SQLITE_OK) << c.name << sqlite3_errmsg(db);
        SearchIndex* index = nullptr;
        ASSERT_EQ(SearchIndexBuild(db, &index), CORPUS_OK) << c.name;
        for (int query = 0; query < 3; query++) {
            Rows expected = StatementTable(db, query);
            EXPECT_FALSE(expected.empty()) << c.name;
            EXPECT_TRUE(IndexTableRows(index, query) == expected) << c.name << ", query " << query;
        }
        for (int32_t id = 0; id <= 10; id++) {
            Rows viaStatement, viaIndex;
            EXPECT_EQ(RunPhrasesByWordIdStatement(db, id, Collect, (uintptr_t)&viaStatement), CORPUS_OK);
            EXPECT_EQ(SearchIndexPhrasesByWordId(index, id, Collect, (uintptr_t)&viaIndex), CORPUS_OK);
            EXPECT_TRUE(viaStatement == viaIndex) << c.name << ", word id " << id;
        }
        SearchIndexFree(index);
        sqlite3_close(db);
    }
}

TEST(LikeMatcher, AgreesWithTheEngine) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT ?1 LIKE ?2 ESCAPE '\\'", -1, &stmt, nullptr), SQLITE_OK);
    const char* const pieces[] = {"a", "A", "b", "%", "_", "\\", "'", "\xE5\x8F\x91", "\xE5\xB1\x95", "\xED\xA0\x80",
                                  "\x80", "\xC0\xAF", "\xFF", "\xF0\x9F\x93\x8C", "\xEF\xBF\xBD", "\xE4\xB8", " "};
    std::mt19937 rng(7);
    int disagreements = 0;
    for (int i = 0; i < 30000 && disagreements < 10; i++) {
        std::string text, pattern;
        for (int n = (int)(rng() % 8); n > 0; n--) text += pieces[rng() % 17];
        for (int n = (int)(rng() % 5); n > 0; n--) pattern += pieces[rng() % 17];
        if (rng() % 2) pattern = "%" + pattern + "%";
        sqlite3_bind_text(stmt, 1, text.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 2, pattern.c_str(), -1, SQLITE_TRANSIENT);
        ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
        bool engine = sqlite3_column_int(stmt, 0) != 0;
        sqlite3_reset(stmt);
        if (engine != LikeMatches(pattern.c_str(), text.c_str()) && disagreements++ < 10)
            ADD_FAILURE() << "\"" << Hex(text) << "\" LIKE \"" << Hex(pattern) << "\": engine " << engine;
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}

// A damaged page met while building leaves no index; the statements still run.
TEST(IndexBuild, DamagedPageLeavesTheStatementsServing) {
    std::string damaged = std::string(CorpusPath()) + ".damaged";
    FILE* in = fopen(CorpusPath(), "rb");
    ASSERT_NE(in, nullptr);
    std::vector<char> bytes;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, in)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    fclose(in);
    ASSERT_GT(bytes.size(), 40000u);
    // A page in the paragraphs, the table written last.
    size_t page = 4096, at = (bytes.size() * 9 / 10) / page * page;
    memset(&bytes[at], 0xFF, page);
    FILE* out = fopen(damaged.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), out);
    fclose(out);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(damaged.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    SearchIndex* index = (SearchIndex*)1;
    EXPECT_NE(SearchIndexBuild(db, &index), CORPUS_OK);
    EXPECT_EQ(index, nullptr);
    std::vector<std::string> words = Column(db, "SELECT word_content FROM mo_words LIMIT 1");
    ASSERT_FALSE(words.empty()) << "the words are on undamaged pages";
    Rows rows;
    EXPECT_EQ(RunTermStatement(db, CORPUS_QUERY_WORDS, Characters(words[0])[0].c_str(), Collect, (uintptr_t)&rows),
              CORPUS_OK);
    EXPECT_FALSE(rows.empty()) << "the words are on undamaged pages";
    sqlite3_close(db);
    remove(damaged.c_str());
}
