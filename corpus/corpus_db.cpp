#include "corpus/corpus_db.h"

#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>

#include "corpus/corpus_statements.h"
#include "corpus/search_index.h"
#include "corpus/corpus_tables.h"
#include "sqlite3.h"

static sqlite3* g_db;
static char g_lastError[256];
static const char PASSPHRASE[16] = {'M', 'z', '7', 'q', 'P', 'x', '4', 'L', 'w', 'N', '2', 'v', 'R', 't', '9', 'K'};
static char g_passphrase[17];
static char g_path[1024];

// The index is complete before it is published and only read afterwards;
// the lock orders publishing by the worker against retiring at close.
static std::atomic<SearchIndex*> g_index;
static std::atomic<int> g_indexState;
static int g_generation;
static SRWLOCK g_indexLock = SRWLOCK_INIT;
static bool g_indexEnabled = true;

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
    // A path too long to keep whole gives no index rather than another file's.
    if (strlen(path) < sizeof g_path) memcpy(g_path, path, strlen(path) + 1);
    else g_path[0] = 0;
    return CORPUS_OK;
}

int CorpusClose() {
    if (!g_db) return CORPUS_OK;
    if (sqlite3_close(g_db) != SQLITE_OK) {
        SetCorpusError(sqlite3_errmsg(g_db));
        return CORPUS_ERR_CLOSE;
    }
    g_db = nullptr;
    AcquireSRWLockExclusive(&g_indexLock);
    g_generation++;
    SearchIndex* index = g_index.exchange(nullptr);
    g_indexState = CORPUS_INDEX_NONE;
    ReleaseSRWLockExclusive(&g_indexLock);
    SearchIndexFree(index);
    return CORPUS_OK;
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


struct IndexBuildJob {
    char path[1024];
    int generation;
    SearchIndex* index;
    unsigned parts;
    int status;
};

static int ReadIndexParts(IndexBuildJob* job) {
    sqlite3* db = nullptr;
    int status = CORPUS_ERR_INDEX;
    if (sqlite3_open_v2(job->path, &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_key(db, CorpusPassphrase(), 16) == SQLITE_OK) {
        // Room for the sorts to stay in memory.
        sqlite3_exec(db, "PRAGMA cache_size = -16384;", nullptr, nullptr, nullptr);
        status = SearchIndexReadParts(db, job->index, job->parts);
    }
    sqlite3_close(db);
    return status;
}

static DWORD WINAPI IndexPartsThread(LPVOID parameter) {
    IndexBuildJob* job = (IndexBuildJob*)parameter;
    job->status = ReadIndexParts(job);
    return 0;
}

// The phrases (the largest sort) on a helper thread, the rest here; both
// write disjoint parts of one index, complete before it is published.
static DWORD WINAPI IndexBuildThread(LPVOID parameter) {
    IndexBuildJob* job = (IndexBuildJob*)parameter;
    SearchIndex* index = SearchIndexCreate();
    int status = CORPUS_ERR_INDEX;
    if (index) {
        IndexBuildJob phrases = *job;
        phrases.index = index;
        phrases.parts = INDEX_PART_PHRASES;
        phrases.status = CORPUS_ERR_INDEX;
        HANDLE helper = CreateThread(nullptr, 0, IndexPartsThread, &phrases, 0, nullptr);
        job->index = index;
        job->parts = INDEX_PARTS_ALL & ~(helper ? (unsigned)INDEX_PART_PHRASES : 0u);
        status = ReadIndexParts(job);
        if (helper) {
            WaitForSingleObject(helper, INFINITE);
            CloseHandle(helper);
            if (status == CORPUS_OK) status = phrases.status;
        }
        if (status != CORPUS_OK) {
            SearchIndexFree(index);
            index = nullptr;
        }
    }
    AcquireSRWLockExclusive(&g_indexLock);
    if (job->generation == g_generation) {
        g_index.store(index, std::memory_order_release);
        g_indexState = index ? CORPUS_INDEX_READY : CORPUS_INDEX_FAILED;
        index = nullptr;
    }
    ReleaseSRWLockExclusive(&g_indexLock);
    SearchIndexFree(index);  // built for a corpus closed meanwhile
    free(job);
    return 0;
}

int CorpusStartIndexBuild() {
    if (!g_db) return CORPUS_ERR_NOT_OPEN;
    if (g_indexState != CORPUS_INDEX_NONE) return CORPUS_OK;
    if (!g_path[0]) {
        g_indexState = CORPUS_INDEX_FAILED;
        return CORPUS_ERR_INDEX;
    }
    IndexBuildJob* job = (IndexBuildJob*)malloc(sizeof(IndexBuildJob));
    if (!job) return CORPUS_ERR_INDEX;
    memcpy(job->path, g_path, sizeof job->path);
    AcquireSRWLockExclusive(&g_indexLock);
    job->generation = g_generation;
    g_indexState = CORPUS_INDEX_BUILDING;
    ReleaseSRWLockExclusive(&g_indexLock);
    HANDLE thread = CreateThread(nullptr, 0, IndexBuildThread, job, 0, nullptr);
    if (!thread) {
        free(job);
        g_indexState = CORPUS_INDEX_FAILED;
        return CORPUS_ERR_INDEX;
    }
    CloseHandle(thread);
    return CORPUS_OK;
}

int CorpusIndexState() { return g_indexState; }
void CorpusSetIndexEnabled(bool enabled) { g_indexEnabled = enabled; }
bool CorpusIndexEnabled() { return g_indexEnabled; }

const SearchIndex* CorpusSearchIndex() {
    return g_indexEnabled ? g_index.load(std::memory_order_acquire) : nullptr;
}

int CorpusMatchRows(int query, const wchar_t* terms, uint32_t* rows, int capacity) {
    const SearchIndex* index = g_db ? CorpusSearchIndex() : nullptr;
    if (!index) return -1;
    if (!terms) return 0;
    char utf8[512];
    CorpusTermsToUtf8(terms, utf8, sizeof utf8);
    return SearchIndexMatchRows(index, query, utf8, rows, capacity);
}

const wchar_t* CorpusRowText(int query, uint32_t row) {
    const SearchIndex* index = g_db ? CorpusSearchIndex() : nullptr;
    return index ? (const wchar_t*)SearchIndexRowText(index, query, row) : nullptr;
}

struct Delivery {
    RowCallback callback;
    uintptr_t context;
};

static void DeliverToCallback(const char16_t* row, uintptr_t context) {
    const Delivery* d = (const Delivery*)context;
    d->callback((const wchar_t*)row, d->context);
}

static bool CheckOpen() {
    if (g_db) return true;
    SetCorpusError("Database not initialized");
    return false;
}

static int StatementResult(int status) {
    if (status == CORPUS_ERR_PREPARE) SetCorpusError(sqlite3_errmsg(g_db));
    return status;
}

static int RunTermQuery(int query, const wchar_t* terms, RowCallback callback, uintptr_t context) {
    if (!CheckOpen()) return CORPUS_ERR_NOT_OPEN;
    if (!terms || !callback) return CORPUS_OK;
    char utf8[512];
    CorpusTermsToUtf8(terms, utf8, sizeof utf8);
    Delivery d = {callback, context};
    if (const SearchIndex* index = CorpusSearchIndex())
        return SearchIndexTermRows(index, query, utf8, DeliverToCallback, (uintptr_t)&d);
    return StatementResult(RunTermStatement(g_db, query, utf8, DeliverToCallback, (uintptr_t)&d));
}

int QueryStartupWords(RowCallback callback, uintptr_t context) {
    if (!CheckOpen()) return CORPUS_ERR_NOT_OPEN;
    if (!callback) return CORPUS_OK;
    Delivery d = {callback, context};
    if (const SearchIndex* index = CorpusSearchIndex())
        return SearchIndexStartupWords(index, DeliverToCallback, (uintptr_t)&d);
    return StatementResult(RunStartupWordsStatement(g_db, DeliverToCallback, (uintptr_t)&d));
}

int QueryWords(const wchar_t* terms, RowCallback callback, uintptr_t context) {
    return RunTermQuery(CORPUS_QUERY_WORDS, terms, callback, context);
}

int QueryPhrases(const wchar_t* terms, RowCallback callback, uintptr_t context) {
    return RunTermQuery(CORPUS_QUERY_PHRASES, terms, callback, context);
}

int QueryClauses(const wchar_t* terms, RowCallback callback, uintptr_t context) {
    return RunTermQuery(CORPUS_QUERY_CLAUSES, terms, callback, context);
}

int QueryParagraphs(const wchar_t* terms, RowCallback callback, uintptr_t context) {
    return RunTermQuery(CORPUS_QUERY_PARAGRAPHS, terms, callback, context);
}

int QueryPhrasesByWordId(int32_t wordId, RowCallback callback, uintptr_t context) {
    if (!CheckOpen()) return CORPUS_ERR_NOT_OPEN;
    if (!callback) return CORPUS_OK;
    Delivery d = {callback, context};
    if (const SearchIndex* index = CorpusSearchIndex())
        return SearchIndexPhrasesByWordId(index, wordId, DeliverToCallback, (uintptr_t)&d);
    return StatementResult(RunPhrasesByWordIdStatement(g_db, wordId, DeliverToCallback, (uintptr_t)&d));
}
