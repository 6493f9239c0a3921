#include "corpus/corpus_statements.h"

#include <stdio.h>

#include "corpus/corpus_db.h"
#include "corpus/like_filter.h"
#include "corpus/row_text.h"
#include "sqlite3.h"

enum RowKind { ROW_WORD, ROW_TEXT, ROW_PARAGRAPH };

struct TermStatement {
    const char* column;
    const char* templ;
    int size;
    RowKind kind;
};

static const TermStatement TERM_STATEMENTS[4] = {
    {"word_content",
     "SELECT word_id, word_content FROM mo_words WHERE %s ORDER BY LENGTH(word_content) ASC, count_phrases DESC ", 1536,
     ROW_WORD},
    {"phrase_content",
     "SELECT phrase_content,count_clauses FROM mo_phrases WHERE %s  ORDER BY LENGTH(phrase_content) ASC,count_clauses "
     "DESC ",
     1536, ROW_TEXT},
    {"clause_content", "SELECT DISTINCT clause_content FROM mo_clauses WHERE %s ORDER BY LENGTH(clause_content) ASC ",
     1536, ROW_TEXT},
    {"p.paragraph_content",
     "SELECT p.paragraph_content, a.article_title FROM mo_paragraphs p LEFT JOIN mo_articles a ON p.article_id = "
     "a.article_id WHERE %s ",
     1792, ROW_PARAGRAPH},
};

const char* CorpusQueryColumn(int query) {
    return query >= 0 && query < 4 ? TERM_STATEMENTS[query].column : "";
}

static void DeliverRows(sqlite3_stmt* stmt, RowKind kind, CorpusRowSink sink, uintptr_t context) {
    char16_t row[PARAGRAPH_ROW_UNITS];
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        int units = -1;
        if (kind == ROW_WORD) {
            const char* word = (const char*)sqlite3_column_text(stmt, 1);
            if (word) units = ComposeWordRow(sqlite3_column_int(stmt, 0), word, row);
        } else if (kind == ROW_TEXT) {
            const char* text = (const char*)sqlite3_column_text(stmt, 0);
            if (text) units = ComposeTextRow(text, row);
        } else {
            const char* paragraph = (const char*)sqlite3_column_text(stmt, 0);
            if (paragraph) units = ComposeParagraphRow(paragraph, (const char*)sqlite3_column_text(stmt, 1), row);
        }
        if (units >= 0) sink(row, context);
    }
}

static int RunStatement(sqlite3* db, const char* sql, RowKind kind, CorpusRowSink sink, uintptr_t context) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) return CORPUS_ERR_PREPARE;
    DeliverRows(stmt, kind, sink, context);
    sqlite3_finalize(stmt);
    return CORPUS_OK;
}

int RunTermStatement(sqlite3* db, int query, const char* termsUtf8, CorpusRowSink sink, uintptr_t context) {
    if (query < 0 || query >= 4) return CORPUS_OK;
    const TermStatement& t = TERM_STATEMENTS[query];
    char condition[1024];
    if (!BuildLikeFilter(termsUtf8, t.column, condition, sizeof condition)) return CORPUS_OK;
    char statement[1792];
    // The templates are this file's own constants, each with one %s.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    snprintf(statement, (size_t)t.size, t.templ, condition);
#pragma GCC diagnostic pop
    return RunStatement(db, statement, t.kind, sink, context);
}

int RunStartupWordsStatement(sqlite3* db, CorpusRowSink sink, uintptr_t context) {
    return RunStatement(db,
                        "SELECT word_id, word_content FROM mo_words WHERE pos='VV' AND LENGTH(word_content) =2 "
                        "ORDER BY count_phrases DESC LIMIT 100",
                        ROW_WORD, sink, context);
}

int RunPhrasesByWordIdStatement(sqlite3* db, int32_t wordId, CorpusRowSink sink, uintptr_t context) {
    char statement[512];
    snprintf(statement, sizeof statement,
             "SELECT phrase_content FROM mo_phrases WHERE words_array LIKE '%%[%d,%%'    OR words_array LIKE "
             "'%%, %d,%%'    OR words_array LIKE '%%, %d]%%'    OR words_array = '[%d]' ORDER BY "
             "LENGTH(phrase_content) ASC,count_clauses DESC ",
             (int)wordId, (int)wordId, (int)wordId, (int)wordId);
    return RunStatement(db, statement, ROW_TEXT, sink, context);
}
