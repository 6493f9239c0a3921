// Replays a typing session through the real search box and list boxes over a
// full-size keyed corpus and prints where the time goes, per keystroke and as
// p50/p95/max, against the same statements on an unencrypted copy.
//   search_bench PLAIN.db   (tests/bench/make_bench_corpus.py writes it)
#include <windows.h>
#include <psapi.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "corpus/corpus_db.h"
#include "search/result_lists.h"
#include "search/search_box.h"
#include "sqlite3.h"
#include "tests/search_ui/search_window.h"

namespace {

const wchar_t* const SESSION[] = {
    L"发", L"发展", L"发展 ", L"发展 经", L"发展 经济", L"发展 经", L"发展 ", L"发展", L"发", L"",
    L"创", L"创新", L"创新 驱", L"创新 驱动", L"科", L"科技", L"科技 创新", L"改", L"改革", L"改革 开放",
    L"建", L"建设", L"城", L"城市", L"城市 更新", L"高", L"高质", L"高质量", L"高质量 发展", L"农",
    L"农村", L"乡村 振兴", L"鑐", L"鶰", L"的",
};
const int KEYS = (int)(sizeof SESSION / sizeof SESSION[0]);

double Now() {
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

std::vector<std::wstring> g_rows[3];
void Collect0(const wchar_t* row, uintptr_t) { g_rows[0].push_back(row); }
void Collect1(const wchar_t* row, uintptr_t) { g_rows[1].push_back(row); }
void Collect2(const wchar_t* row, uintptr_t) { g_rows[2].push_back(row); }

struct Key {
    double query[3] = {0, 0, 0};
    double fill = 0, total = 0;
    double plain[3] = {0, 0, 0};
    size_t rows[3] = {0, 0, 0};
    unsigned long long digest = 0;  // of what the list boxes held after the real search
};

unsigned long long Digest() {
    unsigned long long h = 1469598103934665603ull;
    for (int c = 0; c < 3; ++c)
        for (const std::wstring& row : ListEntries(c)) {
            for (wchar_t ch : row) h = (h ^ (unsigned)ch) * 1099511628211ull;
            h = (h ^ 0xFFFF) * 1099511628211ull;
        }
    return h;
}

// The same statements as the corpus queries send, on a connection of our own.
const char* const TEMPLATES[3] = {
    "SELECT word_id, word_content FROM mo_words WHERE %s ORDER BY LENGTH(word_content) ASC, count_phrases DESC ",
    "SELECT phrase_content,count_clauses FROM mo_phrases WHERE %s  ORDER BY LENGTH(phrase_content) ASC,count_clauses "
    "DESC ",
    "SELECT DISTINCT clause_content FROM mo_clauses WHERE %s ORDER BY LENGTH(clause_content) ASC ",
};
const char* const COLUMNS[3] = {"word_content", "phrase_content", "clause_content"};

size_t PlainQuery(sqlite3* db, int list, const wchar_t* terms) {
    char utf8[512], condition[1024], sql[1536];
    CorpusTermsToUtf8(terms, utf8, sizeof utf8);
    if (!BuildLikeFilter(utf8, COLUMNS[list], condition, sizeof condition)) return 0;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    snprintf(sql, sizeof sql, TEMPLATES[list], condition);
#pragma GCC diagnostic pop
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) return 0;
    size_t rows = 0;
    wchar_t wide[512];
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        const char* text = (const char*)sqlite3_column_text(stmt, list == 0 ? 1 : 0);
        if (text && MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, 511)) ++rows;
    }
    sqlite3_finalize(stmt);
    return rows;
}

void FillLists() {
    for (int c = 0; c < 3; ++c) SendMessageW(GetResultListHandle(c), WM_SETREDRAW, FALSE, 0);
    ClearResultLists();
    RowCallback adders[3] = {AddWordRow, AddPhraseRow, AddClauseRow};
    for (int c = 0; c < 3; ++c)
        for (const std::wstring& row : g_rows[c]) adders[c](row.c_str(), 0);
    for (int c = 0; c < 3; ++c) {
        SendMessageW(GetResultListHandle(c), WM_SETREDRAW, TRUE, 0);
        InvalidateRect(GetResultListHandle(c), nullptr, TRUE);
    }
    UpdateListHeaders();
    for (int c = 0; c < 3; ++c) UpdateWindow(GetResultListHandle(c));
}

std::vector<Key> Replay(sqlite3* plain, bool print) {
    std::vector<Key> keys(KEYS);
    TypeSearchText(L"");
    for (int k = 0; k < KEYS; ++k) {
        Key& key = keys[k];
        // The real road: EN_CHANGE, RunSearch, the three queries into the list boxes, painting.
        double t0 = Now();
        TypeSearchText(SESSION[k]);
        for (int c = 0; c < 3; ++c) UpdateWindow(GetResultListHandle(c));
        key.total = Now() - t0;
        key.digest = Digest();
        // The same keystroke taken apart: each query alone, then filling the boxes.
        wchar_t normalized[256];
        NormalizeSearchText(SESSION[k], normalized, 256);
        RowCallback collectors[3] = {Collect0, Collect1, Collect2};
        int (*queries[3])(const wchar_t*, RowCallback, uintptr_t) = {QueryWords, QueryPhrases, QueryClauses};
        bool unchanged = k > 0 && [&] {
            wchar_t before[256];
            NormalizeSearchText(SESSION[k - 1], before, 256);
            return wcscmp(before, normalized) == 0;
        }();
        for (int c = 0; c < 3; ++c) {
            g_rows[c].clear();
            if (unchanged || !normalized[0]) continue;  // the real road ran no query either
            double q0 = Now();
            queries[c](normalized, collectors[c], 0);
            key.query[c] = Now() - q0;
            key.rows[c] = g_rows[c].size();
            double p0 = Now();
            size_t plainRows = PlainQuery(plain, c, normalized);
            key.plain[c] = Now() - p0;
            if (plainRows != key.rows[c]) printf("  !! plain copy gave %zu rows, keyed %zu\n", plainRows, key.rows[c]);
        }
        if (!unchanged && normalized[0]) {
            double f0 = Now();
            FillLists();
            key.fill = Now() - f0;
            if (Digest() != key.digest) printf("  !! list contents differ after the refill\n");
        }
        if (print) {
            char text[64];
            WideCharToMultiByte(CP_UTF8, 0, SESSION[k], -1, text, sizeof text, nullptr, nullptr);
            printf("%2d %-16s rows %6zu %6zu %6zu | words %7.1f phrases %7.1f clauses %7.1f | fill %7.1f | "
                   "total %7.1f | plain %6.1f %6.1f %6.1f ms%s\n",
                   k + 1, (std::string("\"") + text + "\"").c_str(), key.rows[0], key.rows[1], key.rows[2],
                   key.query[0], key.query[1], key.query[2], key.fill, key.total, key.plain[0], key.plain[1],
                   key.plain[2], unchanged ? "  (unchanged text)" : "");
        }
    }
    return keys;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t i = (size_t)(p * (double)(v.size() - 1) + 0.5);
    return v[i];
}

void Report(const char* title, const std::vector<Key>& keys) {
    printf("%s, over the keystrokes that ran a search:\n", title);
    struct Row {
        const char* name;
        double (*get)(const Key&);
    } rows[] = {
        {"words query", [](const Key& k) { return k.query[0]; }},
        {"phrases query", [](const Key& k) { return k.query[1]; }},
        {"clauses query", [](const Key& k) { return k.query[2]; }},
        {"list fill", [](const Key& k) { return k.fill; }},
        {"total (real)", [](const Key& k) { return k.total; }},
        {"plain words", [](const Key& k) { return k.plain[0]; }},
        {"plain phrases", [](const Key& k) { return k.plain[1]; }},
        {"plain clauses", [](const Key& k) { return k.plain[2]; }},
    };
    double keyed = 0, plain = 0;
    for (const Row& r : rows) {
        std::vector<double> v;
        for (const Key& k : keys)
            if (k.fill > 0) v.push_back(r.get(k));
        printf("  %-14s p50 %8.1f  p95 %8.1f  max %8.1f ms\n", r.name, Percentile(v, 0.5), Percentile(v, 0.95),
               Percentile(v, 1.0));
    }
    for (const Key& k : keys) {
        keyed += k.query[0] + k.query[1] + k.query[2];
        plain += k.plain[0] + k.plain[1] + k.plain[2];
    }
    printf("  keyed/plain query time over the session: %.0f / %.0f ms = %.2f\n", keyed, plain,
           plain > 0 ? keyed / plain : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: search_bench PLAIN.db  (build the bench_corpus target first)\n");
        return 2;
    }
    std::string plainPath = argv[1];
    std::string keyedPath = plainPath + ".keyed";
    if (!OpenKeyedCorpus(plainPath, keyedPath)) {
        fprintf(stderr, "cannot key and open %s: %s\n", keyedPath.c_str(), CorpusLastError());
        return 1;
    }
    sqlite3* plain = nullptr;
    if (sqlite3_open_v2(plainPath.c_str(), &plain, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return 1;
    sqlite3_stmt* stmt = nullptr;
    long long cacheAsOpened = 0;
    sqlite3_prepare_v2(CorpusConnection(), "PRAGMA cache_size", -1, &stmt, nullptr);
    if (sqlite3_step(stmt) == SQLITE_ROW) cacheAsOpened = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);

    CreateSearchTestWindow();
    const char* configs[2] = {"engine default page cache (cache_size -2000)", "page cache as CorpusOpen sets it"};
    char pragma[64];
    std::vector<Key> results[2];
    for (int run = 0; run < 2; ++run) {
        long long cache = run == 0 ? -2000 : cacheAsOpened;
        snprintf(pragma, sizeof pragma, "PRAGMA cache_size = %lld;", cache);
        sqlite3_exec(CorpusConnection(), pragma, nullptr, nullptr, nullptr);
        sqlite3_exec(plain, pragma, nullptr, nullptr, nullptr);
        printf("\n== %s: cache_size %lld ==\n", configs[run], cache);
        results[run] = Replay(plain, true);
        Report(configs[run], results[run]);
    }
    bool same = true;
    for (int k = 0; k < KEYS; ++k) same = same && results[0][k].digest == results[1][k].digest;
    printf("\nlist contents identical in both runs: %s\n", same ? "yes" : "NO");
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    printf("peak working set %.1f MiB, peak private bytes %.1f MiB\n", pmc.PeakWorkingSetSize / 1048576.0,
           pmc.PeakPagefileUsage / 1048576.0);
    DestroySearchTestWindow();
    sqlite3_close(plain);
    CorpusClose();
    DeleteFileA(keyedPath.c_str());
    return same ? 0 : 1;
}
