#include "search/corpus_db.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "search/corpus_tables.h"
#include "sqlite3.h"

static sqlite3* g_db;
static char g_lastError[256];
static const char PASSPHRASE[16] = {'M', 'z', '7', 'q', 'P', 'x', '4', 'L', 'w', 'N', '2', 'v', 'R', 't', '9', 'K'};
static char g_passphrase[17];

static void SetCorpusError(const char* text) {
    if (!text) return;
    strncpy(g_lastError, text, sizeof g_lastError - 1);
    g_lastError[sizeof g_lastError - 1] = 0;
}

const char* CorpusPassphrase() {
    if (!g_passphrase[0]) {
        memcpy(g_passphrase, PASSPHRASE, 16);
        g_passphrase[16] = 0;
    }
    return g_passphrase;
}

const char* CorpusLastError() { return g_lastError; }

sqlite3* CorpusConnection() { return g_db; }

static void CloseFailed() {
    sqlite3_close(g_db);
    g_db = nullptr;
}

int CorpusOpen(const char* path) {
    if (g_db) return CORPUS_OK;
    if (sqlite3_open(path, &g_db) != SQLITE_OK) {
        if (g_db) SetCorpusError(sqlite3_errmsg(g_db));
        CloseFailed();
        return CORPUS_ERR_OPEN;
    }
    if (sqlite3_key(g_db, CorpusPassphrase(), 16) != SQLITE_OK) {
        SetCorpusError("Failed to set encryption key");
        CloseFailed();
        return CORPUS_ERR_KEY;
    }
    // The first read of the file is what proves the passphrase; a file that
    // opens but lacks the corpus tables is no corpus either.
    if (sqlite3_exec(g_db, "SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr) != SQLITE_OK ||
        !CorpusTablesPresent(g_db)) {
        SetCorpusError("Invalid database key or corrupted database");
        CloseFailed();
        return CORPUS_ERR_KEY;
    }
    // Every keystroke scans whole tables; a page cache that holds the corpus
    // spares decrypting it again each time. Only reading, never the file, changes.
    sqlite3_exec(g_db, "PRAGMA cache_size = -65536;", nullptr, nullptr, nullptr);
    return CORPUS_OK;
}

int CorpusClose() {
    if (!g_db) return CORPUS_OK;
    if (sqlite3_close(g_db) != SQLITE_OK) {
        SetCorpusError(sqlite3_errmsg(g_db));
        return CORPUS_ERR_CLOSE;
    }
    g_db = nullptr;
    return CORPUS_OK;
}

// Escapes one term for a LIKE pattern with backslash as escape character,
// writing at most 255 bytes and never half an escape pair.
static void EscapeTerm(const char* term, size_t length, char* out) {
    size_t n = 0;
    for (size_t i = 0; i < length; i++) {
        char c = term[i];
        if (c == '\'' || c == '%' || c == '_' || c == '\\') {
            if (n + 2 > 255) break;
            out[n++] = c == '\'' ? '\'' : '\\';
            out[n++] = c;
        } else {
            if (n + 1 > 255) break;
            out[n++] = c;
        }
    }
    out[n] = 0;
}

bool BuildLikeFilter(const char* input, const char* column, char* out, int capacity) {
    if (!input || !column || !out || capacity <= 0) return false;
    const char* p = input;
    while (*p == ' ') p++;
    if (!*p) return false;

    char work[512];
    strncpy(work, input, 511);
    work[511] = 0;
    char* start = work;
    while (*start == ' ') start++;
    size_t len = strlen(start);
    while (len > 0 && start[len - 1] == ' ') start[--len] = 0;
    if (len == 0) return false;

    out[0] = 0;
    size_t outLen = 0;
    bool first = true;
    char* cursor = start;
    while (*cursor) {
        while (*cursor == ' ') cursor++;
        if (!*cursor) break;
        char* end = cursor;
        while (*end && *end != ' ') end++;
        char escaped[256];
        EscapeTerm(cursor, (size_t)(end - cursor), escaped);
        char condition[512];
        snprintf(condition, sizeof condition, "%s%s LIKE '%%%s%%' ESCAPE '\\'", first ? "" : " AND ", column, escaped);
        size_t condLen = strlen(condition);
        if (condLen + outLen < (size_t)capacity) {
            memcpy(out + outLen, condition, condLen + 1);
            outLen += condLen;
            first = false;
        }
        cursor = end;
    }
    return !first;
}

// Converts terms to UTF-8, cutting on a character boundary when they do not fit.
void CorpusTermsToUtf8(const wchar_t* terms, char* out, int size) {
    out[0] = 0;
    int units = (int)wcslen(terms);
    while (units > 0) {
        int n = WideCharToMultiByte(CP_UTF8, 0, terms, units, out, size - 1, nullptr, nullptr);
        if (n > 0) {
            out[n] = 0;
            return;
        }
        units--;
        if (units > 0 && IS_HIGH_SURROGATE(terms[units - 1])) units--;
    }
}

static int Prepare(const char* sql, sqlite3_stmt** stmt) {
    if (sqlite3_prepare_v2(g_db, sql, -1, stmt, nullptr) != SQLITE_OK) {
        SetCorpusError(sqlite3_errmsg(g_db));
        return CORPUS_ERR_PREPARE;
    }
    return CORPUS_OK;
}

enum RowKind { ROW_WORD, ROW_TEXT, ROW_PARAGRAPH };

static void DeliverRows(sqlite3_stmt* stmt, RowKind kind, RowCallback callback, uintptr_t context) {
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        if (kind == ROW_WORD) {
            const char* word = (const char*)sqlite3_column_text(stmt, 1);
            if (!word) continue;
            char row[256];
            snprintf(row, sizeof row, "%d|%s", sqlite3_column_int(stmt, 0), word);
            wchar_t wide[512];
            if (MultiByteToWideChar(CP_UTF8, 0, row, -1, wide, 511) == 0) continue;
            wide[511] = 0;
            callback(wide, context);
        } else if (kind == ROW_TEXT) {
            const char* text = (const char*)sqlite3_column_text(stmt, 0);
            if (!text) continue;
            wchar_t wide[512];
            if (MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, 511) == 0) continue;
            callback(wide, context);
        } else {
            const char* paragraph = (const char*)sqlite3_column_text(stmt, 0);
            if (!paragraph) continue;
            wchar_t body[2048];
            if (MultiByteToWideChar(CP_UTF8, 0, paragraph, -1, body, 2047) == 0) continue;
            const char* title = (const char*)sqlite3_column_text(stmt, 1);
            wchar_t wideTitle[256];
            if (title && title[0] && MultiByteToWideChar(CP_UTF8, 0, title, -1, wideTitle, 255) != 0) {
                wchar_t row[2560];
                _snwprintf(row, 2560, L"[TITLE]《%s》：[/TITLE]%s", wideTitle, body);
                row[2559] = 0;
                callback(row, context);
            } else {
                callback(body, context);
            }
        }
    }
}

static int RunStatement(const char* sql, RowKind kind, RowCallback callback, uintptr_t context) {
    sqlite3_stmt* stmt = nullptr;
    int status = Prepare(sql, &stmt);
    if (status != CORPUS_OK) return status;
    DeliverRows(stmt, kind, callback, context);
    sqlite3_finalize(stmt);
    return CORPUS_OK;
}

static int RunTermQuery(const wchar_t* terms, const char* column, const char* templ, size_t statementSize,
                        RowKind kind, RowCallback callback, uintptr_t context) {
    if (!g_db) {
        SetCorpusError("Database not initialized");
        return CORPUS_ERR_NOT_OPEN;
    }
    if (!terms || !callback) return CORPUS_OK;
    char utf8[512];
    CorpusTermsToUtf8(terms, utf8, sizeof utf8);
    char condition[1024];
    if (!BuildLikeFilter(utf8, column, condition, sizeof condition)) return CORPUS_OK;
    char statement[1792];
    // The templates are this file's own constants, each with one %s.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    snprintf(statement, statementSize, templ, condition);
#pragma GCC diagnostic pop
    return RunStatement(statement, kind, callback, context);
}

int QueryStartupWords(RowCallback callback, uintptr_t context) {
    if (!g_db) {
        SetCorpusError("Database not initialized");
        return CORPUS_ERR_NOT_OPEN;
    }
    if (!callback) return CORPUS_OK;
    return RunStatement("SELECT word_id, word_content FROM mo_words WHERE pos='VV' AND LENGTH(word_content) =2 "
                        "ORDER BY count_phrases DESC LIMIT 100",
                        ROW_WORD, callback, context);
}

int QueryWords(const wchar_t* terms, RowCallback callback, uintptr_t context) {
    return RunTermQuery(terms, "word_content",
                        "SELECT word_id, word_content FROM mo_words WHERE %s ORDER BY LENGTH(word_content) ASC, "
                        "count_phrases DESC ",
                        1536, ROW_WORD, callback, context);
}

int QueryPhrases(const wchar_t* terms, RowCallback callback, uintptr_t context) {
    return RunTermQuery(terms, "phrase_content",
                        "SELECT phrase_content,count_clauses FROM mo_phrases WHERE %s  ORDER BY "
                        "LENGTH(phrase_content) ASC,count_clauses DESC ",
                        1536, ROW_TEXT, callback, context);
}

int QueryClauses(const wchar_t* terms, RowCallback callback, uintptr_t context) {
    return RunTermQuery(terms, "clause_content",
                        "SELECT DISTINCT clause_content FROM mo_clauses WHERE %s ORDER BY LENGTH(clause_content) ASC ",
                        1536, ROW_TEXT, callback, context);
}

int QueryParagraphs(const wchar_t* terms, RowCallback callback, uintptr_t context) {
    return RunTermQuery(terms, "p.paragraph_content",
                        "SELECT p.paragraph_content, a.article_title FROM mo_paragraphs p LEFT JOIN mo_articles a ON "
                        "p.article_id = a.article_id WHERE %s ",
                        1792, ROW_PARAGRAPH, callback, context);
}

int QueryPhrasesByWordId(int32_t wordId, RowCallback callback, uintptr_t context) {
    if (!g_db) {
        SetCorpusError("Database not initialized");
        return CORPUS_ERR_NOT_OPEN;
    }
    if (!callback) return CORPUS_OK;
    char statement[512];
    snprintf(statement, sizeof statement,
             "SELECT phrase_content FROM mo_phrases WHERE words_array LIKE '%%[%d,%%'    OR words_array LIKE "
             "'%%, %d,%%'    OR words_array LIKE '%%, %d]%%'    OR words_array = '[%d]' ORDER BY "
             "LENGTH(phrase_content) ASC,count_clauses DESC ",
             (int)wordId, (int)wordId, (int)wordId, (int)wordId);
    return RunStatement(statement, ROW_TEXT, callback, context);
}
