#include "corpus/corpus_reports.h"

#include <windows.h>
#include <stdio.h>

#include "sqlite3.h"

int QueryReportParagraphs(const wchar_t* title, RowCallback callback, uintptr_t context) {
    sqlite3* db = CorpusConnection();
    if (!db) return CORPUS_ERR_NOT_OPEN;
    if (!title || !title[0] || !callback) return CORPUS_OK;
    wchar_t wideTitle[256];
    if (wcslen(title) > 255) return CORPUS_OK;
    wcscpy(wideTitle, title);
    char utf8[1024];
    if (WideCharToMultiByte(CP_UTF8, 0, title, -1, utf8, sizeof utf8, nullptr, nullptr) <= 0) return CORPUS_OK;
    // The title is bound, never pasted into the statement.
    const char* sql =
        "SELECT p.paragraph_content FROM mo_paragraphs p JOIN mo_articles a ON a.article_id = p.article_id "
        "WHERE a.article_title = ?1 ORDER BY p.rowid";
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) return CORPUS_ERR_PREPARE;
    sqlite3_bind_text(stmt, 1, utf8, -1, SQLITE_TRANSIENT);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        const char* paragraph = (const char*)sqlite3_column_text(stmt, 0);
        if (!paragraph) continue;
        wchar_t body[2048];
        if (MultiByteToWideChar(CP_UTF8, 0, paragraph, -1, body, 2047) == 0) continue;
        wchar_t row[2560];
        _snwprintf(row, 2560, L"[TITLE]《%s》：[/TITLE]%s", wideTitle, body);
        row[2559] = 0;
        callback(row, context);
    }
    sqlite3_finalize(stmt);
    return CORPUS_OK;
}
