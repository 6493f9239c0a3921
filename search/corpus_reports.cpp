#include "search/corpus_reports.h"

#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "sqlite3.h"

// The corpus module keeps its connection private, so the report query has its own.
static sqlite3* g_reportDb;

int CorpusReportsOpen(const char* path) {
    CorpusReportsClose();
    if (sqlite3_open_v2(path, &g_reportDb, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        CorpusReportsClose();
        return CORPUS_ERR_OPEN;
    }
    const char* key = CorpusPassphrase();
    if (sqlite3_key(g_reportDb, key, (int)strlen(key)) != SQLITE_OK ||
        sqlite3_exec(g_reportDb, "SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr) != SQLITE_OK) {
        CorpusReportsClose();
        return CORPUS_ERR_KEY;
    }
    return CORPUS_OK;
}

void CorpusReportsClose() {
    if (g_reportDb) sqlite3_close(g_reportDb);
    g_reportDb = nullptr;
}

static void DeliverRow(const char* title, const char* paragraph, RowCallback callback, uintptr_t context) {
    static char row[8192];
    static wchar_t wide[8192];
    snprintf(row, sizeof row, "[TITLE]《%s》：[/TITLE]%s", title ? title : "", paragraph ? paragraph : "");
    if (MultiByteToWideChar(CP_UTF8, 0, row, -1, wide, 8192) <= 0) return;
    callback(wide, context);
}

int QueryReportParagraphs(const wchar_t* title, RowCallback callback, uintptr_t context) {
    if (!g_reportDb) return CORPUS_ERR_NOT_OPEN;
    if (!title || !callback) return CORPUS_OK;
    char utf8[1024];
    if (WideCharToMultiByte(CP_UTF8, 0, title, -1, utf8, sizeof utf8, nullptr, nullptr) <= 0) return CORPUS_OK;
    sqlite3_stmt* stmt = nullptr;
    const char* sql =
        "SELECT a.article_title, p.paragraph_content FROM mo_paragraphs p JOIN mo_articles a "
        "ON a.article_id = p.article_id WHERE a.article_title = ?1 ORDER BY p.rowid;";
    if (sqlite3_prepare_v2(g_reportDb, sql, -1, &stmt, nullptr) != SQLITE_OK) return CORPUS_ERR_PREPARE;
    sqlite3_bind_text(stmt, 1, utf8, -1, SQLITE_TRANSIENT);
    while (sqlite3_step(stmt) == SQLITE_ROW)
        DeliverRow((const char*)sqlite3_column_text(stmt, 0), (const char*)sqlite3_column_text(stmt, 1), callback,
                   context);
    sqlite3_finalize(stmt);
    return CORPUS_OK;
}
