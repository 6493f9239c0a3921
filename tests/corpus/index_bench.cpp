// Index figures under Wine, a program that prints them (not a test):
//   index_bench.exe Z:PLAIN.db
// Keys a copy of the plain corpus as the installer would, opens it, and prints
// the index build time, its size, the peak working set, and query times with
// the index on and off.
#include <windows.h>
#include <psapi.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "corpus/corpus_db.h"
#include "corpus/search_index.h"
#include "sqlite3.h"

static double Now() {
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart * 1000.0 / (double)f.QuadPart;
}

static int g_rows;
static void Count(const wchar_t*, uintptr_t) { g_rows++; }

typedef int (*TermQuery)(const wchar_t*, RowCallback, uintptr_t);

// Median of a few runs of one query, in milliseconds.
static double Time(TermQuery query, const wchar_t* terms, int* rows) {
    std::vector<double> runs;
    for (int i = 0; i < 5; i++) {
        g_rows = 0;
        double start = Now();
        query(terms, Count, 0);
        runs.push_back(Now() - start);
    }
    *rows = g_rows;
    std::sort(runs.begin(), runs.end());
    return runs[2];
}

static int ById(const wchar_t*, RowCallback callback, uintptr_t context) {
    return QueryPhrasesByWordId(1, callback, context);
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: index_bench PLAIN.db\n");
        return 2;
    }
    std::string keyed = std::string(argv[1]) + ".keyed";
    if (!CopyFileA(argv[1], keyed.c_str(), FALSE)) return 1;
    sqlite3* db = nullptr;
    sqlite3_open(keyed.c_str(), &db);
    std::string rekey = std::string("PRAGMA rekey = '") + CorpusPassphrase() + "';";
    sqlite3_exec(db, rekey.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    if (CorpusOpen(keyed.c_str()) != CORPUS_OK) return 1;
    double start = Now();
    CorpusStartIndexBuild();
    while (CorpusIndexState() == CORPUS_INDEX_BUILDING) Sleep(5);
    double built = Now() - start;
    PROCESS_MEMORY_COUNTERS memory = {};
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    printf("index: state %d, ready %.0f ms after the start, %.1f MB; peak working set %.1f MB\n", CorpusIndexState(),
           built, SearchIndexBytes(CorpusSearchIndex()) / 1048576.0, memory.PeakWorkingSetSize / 1048576.0);
    struct Case {
        const char* name;
        TermQuery query;
        const wchar_t* terms;
    };
    const Case cases[] = {
        {"phrases 的", QueryPhrases, L"的"},         {"clauses 的", QueryClauses, L"的"},
        {"paragraphs 的", QueryParagraphs, L"的"},   {"phrases 发展", QueryPhrases, L"发展"},
        {"clauses 发展 创新", QueryClauses, L"发展 创新"}, {"words 发", QueryWords, L"发"},
        {"phrases rare 龘", QueryPhrases, L"龘"},     {"phrases by word id 1", ById, nullptr},
    };
    printf("%-22s %8s %10s %10s %8s\n", "query", "rows", "index ms", "stmt ms", "ratio");
    for (const Case& c : cases) {
        int rowsOn = 0, rowsOff = 0;
        CorpusSetIndexEnabled(true);
        double on = Time(c.query, c.terms, &rowsOn);
        CorpusSetIndexEnabled(false);
        double off = Time(c.query, c.terms, &rowsOff);
        printf("%-22s %8d %10.2f %10.2f %8.0f%s\n", c.name, rowsOn, on, off, off / (on > 0.001 ? on : 0.001),
               rowsOn == rowsOff ? "" : "  ROWS DIFFER");
    }
    CorpusClose();
    DeleteFileA(keyed.c_str());
    return 0;
}
