#include "corpus/corpus_reports.h"

#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "sqlite3.h"

#define ROW_UNITS 2560

// The condition of the terms, as the paragraph query builds it; false with no usable term.
static bool TermCondition(const wchar_t* terms, char* condition, int capacity) {
    if (!terms) return false;
    char utf8[512];
    CorpusTermsToUtf8(terms, utf8, sizeof utf8);
    return BuildLikeFilter(utf8, "p.paragraph_content", condition, capacity);
}

static void DeliverReportRow(const wchar_t* title, const char* paragraph, RowCallback callback, uintptr_t context) {
    int units = MultiByteToWideChar(CP_UTF8, 0, paragraph, -1, nullptr, 0);
    if (units <= 0) return;
    int titleUnits = (int)wcslen(title);
    int rowUnits = units + titleUnits + 20;  // tags, marks and the terminator
    wchar_t fixed[ROW_UNITS];
    wchar_t* row = rowUnits <= ROW_UNITS ? fixed : (wchar_t*)malloc(sizeof(wchar_t) * (size_t)rowUnits);
    if (!row) return;
    int head = _snwprintf(row, (size_t)rowUnits, L"[TITLE]《%s》：[/TITLE]", title);
    if (head > 0 && MultiByteToWideChar(CP_UTF8, 0, paragraph, -1, row + head, rowUnits - head) > 0)
        callback(row, context);
    if (row != fixed) {
        SecureZeroMemory(row, sizeof(wchar_t) * (size_t)rowUnits);  // it held corpus text
        free(row);
    }
}

int QueryReportParagraphsWithTerms(const wchar_t* title, const wchar_t* terms, RowCallback callback,
                                   uintptr_t context) {
    sqlite3* db = CorpusConnection();
    if (!db) return CORPUS_ERR_NOT_OPEN;
    if (!title || !title[0] || !callback) return CORPUS_OK;
    if (wcslen(title) > 255) return CORPUS_OK;
    char utf8[1024];
    if (WideCharToMultiByte(CP_UTF8, 0, title, -1, utf8, sizeof utf8, nullptr, nullptr) <= 0) return CORPUS_OK;
    char condition[1024];
    bool filtered = terms && TermCondition(terms, condition, sizeof condition);
    char sql[1536];
    // The title is bound, never pasted into the statement; the terms are escaped by the filter.
    snprintf(sql, sizeof sql,
             "SELECT p.paragraph_content FROM mo_paragraphs p JOIN mo_articles a ON a.article_id = p.article_id "
             "WHERE a.article_title = ?1%s%s ORDER BY p.rowid",
             filtered ? " AND " : "", filtered ? condition : "");
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) return CORPUS_ERR_PREPARE;
    sqlite3_bind_text(stmt, 1, utf8, -1, SQLITE_TRANSIENT);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        const char* paragraph = (const char*)sqlite3_column_text(stmt, 0);
        if (paragraph) DeliverReportRow(title, paragraph, callback, context);
    }
    sqlite3_finalize(stmt);
    return CORPUS_OK;
}

int QueryReportParagraphs(const wchar_t* title, RowCallback callback, uintptr_t context) {
    return QueryReportParagraphsWithTerms(title, nullptr, callback, context);
}

int QueryParagraphHits(const wchar_t* terms, ParagraphHitCallback callback, uintptr_t context) {
    sqlite3* db = CorpusConnection();
    if (!db) return CORPUS_ERR_NOT_OPEN;
    if (!terms || !callback) return CORPUS_OK;
    char condition[1024];
    if (!TermCondition(terms, condition, sizeof condition)) return CORPUS_OK;
    char sql[1792];
    snprintf(sql, sizeof sql,
             "SELECT p.article_id, a.article_id IS NOT NULL, a.article_title FROM mo_paragraphs p "
             "LEFT JOIN mo_articles a ON p.article_id = a.article_id WHERE %s",
             condition);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) return CORPUS_ERR_PREPARE;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        int hasArticle = sqlite3_column_int(stmt, 1);
        const char* title = hasArticle ? (const char*)sqlite3_column_text(stmt, 2) : nullptr;
        callback(sqlite3_column_int64(stmt, 0), hasArticle, title, context);
    }
    sqlite3_finalize(stmt);
    return CORPUS_OK;
}
