#include "corpus/corpus_tables.h"

#include "sqlite3.h"

// One statement per table naming every column any query reads; preparing is
// enough, no row is read.
static const char* const CORPUS_TABLE_PROBES[] = {
    "SELECT word_id, word_content, pos, count_phrases FROM mo_words LIMIT 0",
    "SELECT phrase_content, count_clauses, words_array FROM mo_phrases LIMIT 0",
    "SELECT clause_content FROM mo_clauses LIMIT 0",
    "SELECT rowid, paragraph_content, article_id FROM mo_paragraphs LIMIT 0",
    "SELECT article_id, article_title FROM mo_articles LIMIT 0",
};

bool CorpusTablesPresent(sqlite3* db) {
    if (!db) return false;
    for (const char* probe : CORPUS_TABLE_PROBES) {
        sqlite3_stmt* statement = nullptr;
        int rc = sqlite3_prepare_v2(db, probe, -1, &statement, nullptr);
        sqlite3_finalize(statement);
        if (rc != SQLITE_OK) return false;
    }
    return true;
}
