#include "corpus/corpus_reports.h"

#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "corpus/search_index.h"
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

// The reports' titles, read once per hit query so the paragraph scan needs no join.
struct ReportTitles {
    int64_t* ids;      // ascending
    char** titles;     // null for a null title
    int count;
};

static void FreeReportTitles(ReportTitles* r) {
    for (int i = 0; i < r->count; ++i) free(r->titles[i]);
    free(r->ids);
    free(r->titles);
    *r = {nullptr, nullptr, 0};
}

static int LoadReportTitles(sqlite3* db, ReportTitles* r) {
    *r = {nullptr, nullptr, 0};
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT article_id, article_title FROM mo_articles ORDER BY article_id", -1, &stmt,
                           nullptr) != SQLITE_OK)
        return 0;
    int capacity = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        if (sqlite3_column_type(stmt, 0) == SQLITE_NULL) continue;  // no paragraph can join a null id
        if (r->count == capacity) {
            capacity = capacity ? capacity * 2 : 256;
            int64_t* ids = (int64_t*)realloc(r->ids, sizeof(int64_t) * (size_t)capacity);
            if (ids) r->ids = ids;
            char** titles = (char**)realloc(r->titles, sizeof(char*) * (size_t)capacity);
            if (titles) r->titles = titles;
            if (!ids || !titles) break;
        }
        const char* title = (const char*)sqlite3_column_text(stmt, 1);
        r->ids[r->count] = sqlite3_column_int64(stmt, 0);
        r->titles[r->count] = title ? _strdup(title) : nullptr;
        ++r->count;
    }
    sqlite3_finalize(stmt);
    return 1;
}

// The report's index, or -1 when no report row has the id (the join would find none).
static int FindReportTitle(const ReportTitles* r, int64_t id) {
    int low = 0, high = r->count - 1;
    while (low <= high) {
        int mid = (low + high) / 2;
        if (r->ids[mid] == id) {
            // Equal ids cannot happen for a primary key; take the first like the join's first match.
            while (mid > 0 && r->ids[mid - 1] == id) --mid;
            return mid;
        }
        if (r->ids[mid] < id) low = mid + 1;
        else high = mid - 1;
    }
    return -1;
}

int QueryParagraphHits(const wchar_t* terms, ParagraphHitCallback callback, uintptr_t context) {
    sqlite3* db = CorpusConnection();
    if (!db) return CORPUS_ERR_NOT_OPEN;
    if (!terms || !callback) return CORPUS_OK;
    // The index holds each paragraph's report beside it, in the same order.
    if (const SearchIndex* index = CorpusSearchIndex()) {
        char utf8[512];
        CorpusTermsToUtf8(terms, utf8, sizeof utf8);
        return SearchIndexParagraphHits(index, utf8, callback, context);
    }
    char condition[1024];
    if (!TermCondition(terms, condition, sizeof condition)) return CORPUS_OK;
    char sql[1536];
    snprintf(sql, sizeof sql, "SELECT p.article_id FROM mo_paragraphs p WHERE %s", condition);
    ReportTitles reports;
    if (!LoadReportTitles(db, &reports)) return CORPUS_ERR_PREPARE;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        FreeReportTitles(&reports);
        return CORPUS_ERR_PREPARE;
    }
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        int found = -1;
        int64_t id = sqlite3_column_int64(stmt, 0);
        if (sqlite3_column_type(stmt, 0) != SQLITE_NULL) found = FindReportTitle(&reports, id);
        callback(id, found >= 0, found >= 0 ? reports.titles[found] : nullptr, context);
    }
    sqlite3_finalize(stmt);
    FreeReportTitles(&reports);
    return CORPUS_OK;
}
