// Replays a typing session through the real search box and list boxes over a
// full-size keyed corpus, once on the statements and once on the search index,
// and prints per keystroke and as p50/p95/max: keystroke to first screen (every
// header counted, the visible rows of the three lists painted), keystroke to
// complete lists, the message loop's longest busy stretch while the lists fill
// or empty (a second thread pings the window), a rare term, a word pick and a
// short-sentence pick, the index build time and the peak working set.
//   search_bench PLAIN.db   (tests/bench/make_bench_corpus.py writes it)
#include <windows.h>
#include <psapi.h>
#include <stdio.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "corpus/corpus_db.h"
#include "search/paragraph_view.h"
#include "search/result_lists.h"
#include "search/search_box.h"
#include "tests/search_ui/search_window.h"
#include "ui/window_ids.h"

namespace {

const wchar_t* const SESSION[] = {
    L"发", L"发展", L"发展 ", L"发展 经", L"发展 经济", L"发展 经", L"发展 ", L"发展", L"发", L"",
    L"创", L"创新", L"创新 驱", L"创新 驱动", L"科", L"科技", L"科技 创新", L"改", L"改革", L"改革 开放",
    L"建", L"建设", L"城", L"城市", L"城市 更新", L"高", L"高质", L"高质量", L"高质量 发展", L"农",
    L"农村", L"乡村 振兴", L"鑐", L"鶰", L"的",
};
const int KEYS = (int)(sizeof SESSION / sizeof SESSION[0]);
const wchar_t* const RARE[] = {L"鑐", L"鶰", L"鑐鶰"};

double Now() {
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

// The pinger: while `g_watching`, sends WM_NULL to the window every millisecond
// and keeps the longest answer, which is the longest stretch the loop was busy.
std::atomic<bool> g_pinging{true}, g_watching{false};
std::atomic<double> g_watchFrom{0};  // pings sent before this (during the keystroke itself) do not count
std::atomic<long long> g_longestPingUs{0};
HWND g_window;

void Pinger() {
    while (g_pinging) {
        if (!g_watching) {
            Sleep(1);
            continue;
        }
        double t0 = Now();
        DWORD_PTR r = 0;
        SendMessageTimeoutW(g_window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &r);
        long long us = (long long)((Now() - t0) * 1000.0);
        if (g_watching && t0 >= g_watchFrom && us > g_longestPingUs) g_longestPingUs = us;
        Sleep(1);
    }
}

bool ListsComplete() {
    for (int c = 0; c < 3; ++c)
        if (SendMessageW(GetResultListHandle(c), LB_GETCOUNT, 0, 0) != ResultRowCount(c)) return false;
    return true;
}

// Dispatches until the condition holds; returns the longest single dispatch.
template <typename Done>
double PumpUntil(Done done) {
    double longest = 0;
    MSG msg;
    double deadline = Now() + 120000;
    while (!done() && Now() < deadline) {
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            continue;
        }
        double t0 = Now();
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        longest = std::max(longest, Now() - t0);
    }
    return longest;
}

struct Step {
    double first = 0, complete = 0, busy = 0, ping = 0, slice = 0, queries = 0;
    double listsFirst = 0, listsComplete = 0;  // the same rows through the lists alone, no queries
    int rows[3] = {0, 0, 0};
    unsigned long long digest = 0;
    bool ran = false;
    int Total() const { return rows[0] + rows[1] + rows[2]; }
};

unsigned long long Digest() {
    unsigned long long h = 1469598103934665603ull;
    for (int c = 0; c < 3; ++c) {
        for (const std::wstring& row : ListEntries(c)) {
            for (wchar_t ch : row) h = (h ^ (unsigned)ch) * 1099511628211ull;
            h = (h ^ 0xFFFF) * 1099511628211ull;
        }
        for (wchar_t ch : HeaderText(c)) h = (h ^ (unsigned)ch) * 1099511628211ull;
    }
    return h;
}

// One change of the road: `act` is the keystroke or pick; first screen when it
// returns, complete when every list holds its header's count; the slices that
// empty hidden lists are then run out too, so each step starts quiet.
template <typename Act>
Step Measure(Act act) {
    Step s;
    g_longestPingUs = 0;
    TakeLongestSliceMs();
    g_watchFrom = 1e300;
    g_watching = true;
    double t0 = Now();
    act();
    s.first = Now() - t0;
    g_watchFrom = Now();
    s.busy = PumpUntil(ListsComplete);
    s.complete = Now() - t0;
    s.busy = std::max(s.busy, PumpUntil([] { return !ResultListsBusy(); }));
    g_watching = false;
    s.ping = (double)g_longestPingUs / 1000.0;
    s.slice = TakeLongestSliceMs();
    for (int c = 0; c < 3; ++c) s.rows[c] = ResultRowCount(c);
    s.digest = Digest();
    return s;
}

void CountRow(const wchar_t*, uintptr_t) {}

void Type(const wchar_t* text) { SetWindowTextW(GetSearchBoxHandle(), text); }

void Pick(int column, int index) {
    HWND list = GetResultListHandle(column);
    SendMessageW(list, LB_SETCURSEL, (WPARAM)index, 0);
    SendMessageW(g_window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE), (LPARAM)list);
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t i = (size_t)(p * (double)(v.size() - 1) + 0.5);
    return v[i];
}

void PrintStat(const char* name, const std::vector<double>& v) {
    printf("  %-34s p50 %7.1f  p95 %7.1f  max %7.1f ms  (n=%zu)\n", name, Percentile(v, 0.5), Percentile(v, 0.95),
           Percentile(v, 1.0), v.size());
}

struct PathResult {
    std::vector<Step> keys;
    std::vector<Step> rare;
    Step wordPick, clausePick;
    double sessionMs = 0;
};

PathResult RunPath(const char* name) {
    PathResult r;
    printf("\n== %s ==\n", name);
    Measure([] { Type(L""); });
    double s0 = Now();
    for (int k = 0; k < KEYS; ++k) {
        wchar_t before[256], now[256];
        NormalizeSearchText(k ? SESSION[k - 1] : L"", before, 256);
        NormalizeSearchText(SESSION[k], now, 256);
        Step s = Measure([k] { Type(SESSION[k]); });
        s.ran = wcscmp(before, now) != 0 && now[0];
        if (s.ran) {  // the three queries alone, into a counter
            double q0 = Now();
            QueryWords(now, CountRow, 0);
            QueryPhrases(now, CountRow, 0);
            QueryClauses(now, CountRow, 0);
            s.queries = Now() - q0;
            // The lists' part alone: the same rows again, from the keystroke's own answer.
            std::vector<std::wstring> rows[3];
            for (int c = 0; c < 3; ++c) rows[c] = ListEntries(c);
            Step lists = Measure([&rows] {
                BeginResultFill(RESULT_COLUMNS_ALL);
                RowCallback adders[3] = {AddWordRow, AddPhraseRow, AddClauseRow};
                for (int c = 0; c < 3; ++c)
                    for (const std::wstring& row : rows[c]) adders[c](row.c_str(), 0);
                ShowResultFill(RESULT_COLUMNS_ALL);
            });
            s.listsFirst = lists.first;
            s.listsComplete = lists.complete;
            s.slice = std::max(s.slice, lists.slice);
            s.ping = std::max(s.ping, lists.ping);
            s.busy = std::max(s.busy, lists.busy);
            if (lists.digest != s.digest) printf("  !! the lists differ after the refill\n");
        }
        r.keys.push_back(s);
        char text[64];
        WideCharToMultiByte(CP_UTF8, 0, SESSION[k], -1, text, sizeof text, nullptr, nullptr);
        printf("%2d %-16s rows %6d %6d %6d | first %6.1f complete %6.1f | queries alone %6.1f | lists alone first "
               "%5.1f complete %6.1f | slice %5.1f dispatch %5.1f ping %5.1f ms%s\n",
               k + 1, (std::string("\"") + text + "\"").c_str(), s.rows[0], s.rows[1], s.rows[2], s.first, s.complete,
               s.queries, s.listsFirst, s.listsComplete, s.slice, s.busy, s.ping, s.ran ? "" : "  (no search)");
    }
    r.sessionMs = Now() - s0;
    for (const wchar_t* rare : RARE) {
        Measure([] { Type(L""); });
        r.rare.push_back(Measure([rare] { Type(rare); }));
    }
    Measure([] { Type(L"发展"); });
    r.wordPick = Measure([] { Pick(0, 0); });
    r.clausePick = Measure([] { Pick(2, 0); });
    return r;
}

void Report(const char* name, const PathResult& r) {
    printf("\n%s:\n", name);
    std::vector<double> first, complete, busy, ping, slice, queries, firstLists, completeLists, small;
    for (const Step& s : r.keys) {
        if (!s.ran) continue;
        first.push_back(s.first);
        queries.push_back(s.queries);
        firstLists.push_back(s.listsFirst);
        completeLists.push_back(s.listsComplete);
        if (s.Total() <= 20000) small.push_back(s.listsComplete);
        if (s.Total() <= 20000) complete.push_back(s.complete);
        busy.push_back(s.busy);
        ping.push_back(s.ping);
        slice.push_back(s.slice);
    }
    PrintStat("keystroke to first screen", first);
    PrintStat("keystroke to complete (<=20k rows)", complete);
    PrintStat("the three queries alone", queries);
    PrintStat("lists alone: first screen", firstLists);
    PrintStat("lists alone: complete", completeLists);
    PrintStat("lists alone: complete (<=20k rows)", small);
    PrintStat("longest fill/empty slice", slice);
    for (const Step& s : r.keys)
        if (s.ran && s.Total() > 20000)
            printf("  complete at %6d rows: %7.1f ms = 50 + %.2f ms per 1,000 rows beyond 20k; lists alone %.1f ms = "
                   "50 + %.2f\n",
                   s.Total(), s.complete, (s.complete - 50.0) * 1000.0 / (double)(s.Total() - 20000), s.listsComplete,
                   (s.listsComplete - 50.0) * 1000.0 / (double)(s.Total() - 20000));
    PrintStat("longest dispatch while filling", busy);
    PrintStat("longest ping answer (loop busy)", ping);
    for (size_t i = 0; i < r.rare.size(); ++i) {
        char text[64];
        WideCharToMultiByte(CP_UTF8, 0, RARE[i], -1, text, sizeof text, nullptr, nullptr);
        printf("  rare term %-8s rows %4d: first %6.1f complete %6.1f ms\n", text, r.rare[i].Total(), r.rare[i].first,
               r.rare[i].complete);
    }
    printf("  word pick (发展, first word): rows %d+%d, first %.1f complete %.1f ms, busy %.1f\n", r.wordPick.rows[1],
           r.wordPick.rows[2], r.wordPick.first, r.wordPick.complete, r.wordPick.busy);
    printf("  short-sentence pick: %.1f ms\n", r.clausePick.complete);
    printf("  whole session: %.0f ms\n", r.sessionMs);
}

// What the list box operations cost here, on a spare list box of the window.
void ListBoxCosts() {
    HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_BORDER | LBS_NOTIFY |
                                LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
                                10, 470, 345, 380, g_window, (HMENU)(INT_PTR)3999, GetModuleHandleW(nullptr), nullptr);
    wchar_t row[64];
    auto add = [&](int n) {
        double t0 = Now();
        for (int i = 0; i < n; ++i) {
            swprintf(row, 64, L"推动高质量发展的第%d条短句", i);
            SendMessageW(list, LB_ADDSTRING, 0, (LPARAM)row);
        }
        return (Now() - t0) * 1000.0 / n;
    };
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    double off = add(20000);
    double t0 = Now();
    for (int i = 0; i < 5000; ++i) SendMessageW(list, LB_DELETESTRING, (WPARAM)(20000 - 1 - i), 0);
    double del = (Now() - t0) * 1000.0 / 5000;
    t0 = Now();
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    double reset = (Now() - t0) * 1000.0 / 15000;
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    UpdateWindow(list);
    double toggle = 0;
    for (int i = 0; i < 20; ++i) {
        SendMessageW(list, WM_SETREDRAW, FALSE, 0);
        add(64);
        double t1 = Now();
        SendMessageW(list, WM_SETREDRAW, TRUE, 0);
        toggle = std::max(toggle, Now() - t1);
    }
    printf("redraw on after 64 rows beyond the page: longest %.2f ms\n", toggle);
    double on = add(300);
    ShowWindow(list, SW_HIDE);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    double hidden = add(20000);
    printf("list box per row: add, redraw off %.2f us; delete from the end %.2f us; reset %.2f us; add, redraw on %.2f "
           "us; add, hidden %.2f us\n", off, del, reset, on, hidden);
    DestroyWindow(list);
}

// Builds the index once (on its worker, as the app does after the corpus opens)
// and times it to ready; the switch then picks the path.
double BuildIndex() {
    double t0 = Now();
    if (CorpusStartIndexBuild() != CORPUS_OK) return -1;
    while (CorpusIndexState() == CORPUS_INDEX_BUILDING && Now() - t0 < 120000) Sleep(5);
    return CorpusIndexState() == CORPUS_INDEX_READY ? Now() - t0 : -1;
}

bool UseIndex(bool on) {
    CorpusSetIndexEnabled(on);
    return !on || CorpusIndexState() == CORPUS_INDEX_READY;
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
    g_window = CreateSearchTestWindow();
    ListBoxCosts();
    std::thread pinger(Pinger);
    const char* names[2] = {"statements (index off)", "search index (index on)"};
    PathResult results[2];
    bool ran[2] = {false, false};
    double buildMs = BuildIndex();
    for (int path = 0; path < 2; ++path) {
        if (!UseIndex(path == 1)) {
            printf("\n== %s: not available ==\n", names[path]);
            continue;
        }
        results[path] = RunPath(names[path]);
        ran[path] = true;
    }
    g_pinging = false;
    pinger.join();
    for (int path = 0; path < 2; ++path)
        if (ran[path]) Report(names[path], results[path]);
    bool same = true;
    if (ran[0] && ran[1]) {
        for (int k = 0; k < KEYS; ++k) same = same && results[0].keys[k].digest == results[1].keys[k].digest;
        same = same && results[0].wordPick.digest == results[1].wordPick.digest;
        printf("\nlists and headers identical on both paths at every step: %s\n", same ? "yes" : "NO");
        auto sum = [](const PathResult& r, bool complete) {
            double t = 0;
            for (const Step& s : r.keys) t += complete ? s.complete : s.first;
            return t;
        };
        printf("index/statements over the session: first screen %.0f / %.0f ms = %.3f, complete %.0f / %.0f ms = %.3f\n",
               sum(results[1], false), sum(results[0], false), sum(results[1], false) / sum(results[0], false),
               sum(results[1], true), sum(results[0], true), sum(results[1], true) / sum(results[0], true));
    }
    if (buildMs >= 0) printf("index build time %.1f ms\n", buildMs);
    else printf("index build time: no index\n");
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    printf("peak working set %.1f MiB, peak private bytes %.1f MiB\n", pmc.PeakWorkingSetSize / 1048576.0,
           pmc.PeakPagefileUsage / 1048576.0);
    DestroySearchTestWindow();
    CorpusClose();
    DeleteFileA(keyedPath.c_str());
    return same ? 0 : 1;
}
