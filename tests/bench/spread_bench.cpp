// How long the 出处分布 window takes to fill, from the command to a painted
// window, for the corpus's most common character and a few other wordings, over
// a full-size keyed corpus. Prints figures; it is not a test.
//   spread_bench PLAIN.db   (tests/bench/make_bench_corpus.py writes it)
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "corpus/corpus_db.h"
#include "corpus/corpus_reports.h"
#include "sqlite3.h"
#include "tests/search_ui/search_window.h"
#include "ui/spread_window.h"
#include "ui/window_ids.h"

namespace {

double Now() {
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

// The character standing in the most paragraphs of the plain corpus, counted here.
std::wstring MostCommonCharacter(sqlite3* plain, long long* paragraphs) {
    std::map<wchar_t, long long> inParagraphs;
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(plain, "SELECT paragraph_content FROM mo_paragraphs", -1, &stmt, nullptr);
    *paragraphs = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        const char* text = (const char*)sqlite3_column_text(stmt, 0);
        if (!text) continue;
        ++*paragraphs;
        wchar_t wide[8192];
        int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, 8192);
        std::vector<wchar_t> seen(wide, wide + (n > 0 ? n - 1 : 0));
        std::sort(seen.begin(), seen.end());
        seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
        for (wchar_t c : seen) ++inParagraphs[c];
    }
    sqlite3_finalize(stmt);
    wchar_t best = L'的';
    long long most = 0;
    for (auto& [c, count] : inParagraphs)
        if (count > most) most = count, best = c;
    return std::wstring(1, best);
}

long long g_hits;
void CountHit(int64_t, int, const char*, uintptr_t) { ++g_hits; }

HWND g_host;
HWND g_box;

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

void CreateHost() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TivraSpreadBenchHost";
    RegisterClassW(&wc);
    g_host = CreateWindowExW(0, wc.lpszClassName, L"bench", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400, nullptr, nullptr,
                             wc.hInstance, nullptr);
    g_box = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 300, 24, g_host,
                            (HMENU)(INT_PTR)IDC_SEARCH_BOX, wc.hInstance, nullptr);
    ShowWindow(g_host, SW_SHOW);
}

void Percentiles(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    printf("  %-34s p50 %7.1f ms   max %7.1f ms   (%zu runs)\n", what, ms[ms.size() / 2], ms.back(), ms.size());
}

void Measure(const std::wstring& wording, int runs) {
    std::vector<double> query, open, refresh, refreshPaint;
    for (int r = 0; r < runs; ++r) {
        g_hits = 0;
        double t0 = Now();
        QueryParagraphHits(wording.c_str(), CountHit, 0);
        query.push_back(Now() - t0);

        SetWindowTextW(g_box, wording.c_str());
        t0 = Now();
        ShowSourceSpread(g_host);  // opens and fills
        UpdateWindow(GetSpreadWindowHandle());
        open.push_back(Now() - t0);
        PumpMessages();

        t0 = Now();
        ShowSourceSpread(g_host);  // the second command refreshes the open window
        double filled = Now();
        UpdateWindow(GetSpreadWindowHandle());
        refresh.push_back(Now() - t0);
        refreshPaint.push_back(Now() - filled);
        PumpMessages();
        DestroyWindow(GetSpreadWindowHandle());
        PumpMessages();
    }
    int units = WideCharToMultiByte(CP_UTF8, 0, wording.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8((size_t)units, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wording.c_str(), -1, &utf8[0], units, nullptr, nullptr);
    printf("\n\"%s\": %lld paragraphs hold it\n", utf8.c_str(), g_hits);
    Percentiles("hit query alone", query);
    Percentiles("command to painted window (open)", open);
    Percentiles("command to painted window (refresh)", refresh);
    Percentiles("  of which painting", refreshPaint);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: spread_bench PLAIN.db  (build the bench_corpus target first)\n");
        return 2;
    }
    std::string plainPath = argv[1];
    std::string keyedPath = plainPath + ".spread-keyed";
    if (!OpenKeyedCorpus(plainPath, keyedPath)) {
        fprintf(stderr, "cannot key and open %s: %s\n", keyedPath.c_str(), CorpusLastError());
        return 1;
    }
    sqlite3* plain = nullptr;
    if (sqlite3_open_v2(plainPath.c_str(), &plain, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return 1;
    long long paragraphs = 0;
    std::wstring common = MostCommonCharacter(plain, &paragraphs);
    sqlite3_close(plain);
    printf("corpus: %lld paragraphs; target: the window filled within 100 ms for the most common character\n",
           paragraphs);
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&init);
    CreateHost();
    // The statements first, then the index the program builds after opening.
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) {
            double t0 = Now();
            CorpusStartIndexBuild();
            while (CorpusIndexState() == CORPUS_INDEX_BUILDING && Now() - t0 < 120000) Sleep(5);
            if (CorpusIndexState() != CORPUS_INDEX_READY) {
                printf("\nthe index could not be built\n");
                break;
            }
            printf("\n== with the index (ready after %.0f ms)\n", Now() - t0);
        } else {
            printf("\n== through the statements\n");
        }
        CorpusSetIndexEnabled(pass == 1);
        Measure(common, 15);
        Measure(L"发展", 10);
        Measure(L"创新 驱动", 10);
        Measure(L"没有这个词", 10);
    }
    DestroyWindow(g_host);
    CorpusClose();
    DeleteFileA(keyedPath.c_str());
    return 0;
}
