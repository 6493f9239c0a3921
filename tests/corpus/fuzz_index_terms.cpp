// Fuzzes the index's term handling against the statements: any bytes as the
// terms of all four term queries must give the statement's rows, and the LIKE
// matcher must agree with the engine's LIKE.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "corpus/corpus_statements.h"
#include "corpus/like_match.h"
#include "corpus/search_index.h"
#include "sqlite3.h"

static sqlite3* g_db;
static SearchIndex* g_index;
static sqlite3_stmt* g_like;

static const char* const SETUP =
    "CREATE TABLE mo_articles (article_id INTEGER PRIMARY KEY, article_title TEXT);"
    "CREATE TABLE mo_words (word_id INTEGER PRIMARY KEY, word_content TEXT, pos TEXT, count_phrases INTEGER);"
    "CREATE TABLE mo_phrases (phrase_id INTEGER PRIMARY KEY, phrase_content TEXT, count_clauses INTEGER,"
    " words_array TEXT);"
    "CREATE TABLE mo_clauses (clause_id INTEGER PRIMARY KEY, clause_content TEXT);"
    "CREATE TABLE mo_paragraphs (paragraph_id INTEGER PRIMARY KEY, article_id INTEGER, paragraph_content TEXT);"
    "INSERT INTO mo_articles VALUES (1, '2023年山西省政府工作报告'), (2, ''), (3, NULL), (4, CAST(X'EDA080' AS TEXT));"
    "INSERT INTO mo_words VALUES (1, '发展', 'VV', 5), (2, 'Ab%_c', 'NN', 5), (3, NULL, 'VV', 9),"
    " (4, CAST(X'E58F9100E5B195' AS TEXT), 'VV', 1), (5, 'it''s\\', 'VV', 1), (6, '　\t📌', 'VV', 2),"
    " (7, CAST(X'80C0AFFFF888808080' AS TEXT), 'NN', 3), (8, 'a' || replace(hex(zeroblob(100)), '0', '长'), 'NN', 1);"
    "INSERT INTO mo_phrases (phrase_content, count_clauses, words_array) VALUES ('推动高质量发展', 3, '[1, 2]'),"
    " ('ABC abc', 2, '[2]'), ('%_\\''', 2, '[5, 1]'), (NULL, 1, '[1]'), (CAST(X'EDBFBF41' AS TEXT), 1, '[7]'),"
    " ('发发发展展', 3, '[1]'), ('x', 3, X'5B315D');"
    "INSERT INTO mo_clauses (clause_content) VALUES ('推动高质量发展'), ('推动高质量发展'), ('aBc'), (NULL),"
    " (CAST(X'E4B8' AS TEXT)), ('　发展　'), ('\\%');"
    "INSERT INTO mo_paragraphs (article_id, paragraph_content) VALUES (1, '我们推动高质量发展。'), (2, 'ABC发展'),"
    " (3, 'abc'), (9, '没有报告的段落 %_'), (NULL, CAST(X'F09F938CEFBFBD' AS TEXT)), (4, '''引号''');";

static void Collect(const char16_t* row, uintptr_t context) { ((std::vector<std::u16string>*)context)->push_back(row); }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (sqlite3_open(":memory:", &g_db) != SQLITE_OK) abort();
    if (sqlite3_exec(g_db, SETUP, nullptr, nullptr, nullptr) != SQLITE_OK) abort();
    if (SearchIndexBuild(g_db, &g_index) != 0) abort();
    if (sqlite3_prepare_v2(g_db, "SELECT ?1 LIKE ?2 ESCAPE '\\'", -1, &g_like, nullptr) != SQLITE_OK) abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 700) return 0;
    std::string terms((const char*)data, size);
    terms = terms.c_str();  // the queries read up to the first NUL
    for (int q = 0; q < 4; q++) {
        std::vector<std::u16string> viaStatement, viaIndex;
        RunTermStatement(g_db, q, terms.c_str(), Collect, (uintptr_t)&viaStatement);
        SearchIndexTermRows(g_index, q, terms.c_str(), Collect, (uintptr_t)&viaIndex);
        if (viaStatement != viaIndex) __builtin_trap();
        if ((size_t)SearchIndexMatchRows(g_index, q, terms.c_str(), nullptr, 0) != viaIndex.size()) __builtin_trap();
    }
    // The same bytes split into a text and a pattern of any form.
    size_t split = size ? data[0] % (terms.size() + 1) : 0;
    std::string text = terms.substr(0, split), pattern = terms.substr(split);
    sqlite3_bind_text(g_like, 1, text.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(g_like, 2, pattern.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(g_like) == SQLITE_ROW) {
        bool engine = sqlite3_column_int(g_like, 0) != 0;
        if (engine != LikeMatches(pattern.c_str(), text.c_str())) __builtin_trap();
    }
    sqlite3_reset(g_like);
    return 0;
}
