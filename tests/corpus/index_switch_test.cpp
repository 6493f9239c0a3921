// The real queries under Windows deliver the same UTF-16 rows with the index
// on and off, and a corpus the index cannot be built from keeps serving.
#include <gtest/gtest.h>
#include <windows.h>

#include <random>
#include <string>
#include <vector>

#include "corpus/corpus_db.h"
#include "corpus/corpus_reports.h"
#include "sqlite3.h"
#include "tests/support/test_paths.h"

namespace {

typedef std::vector<std::wstring> Rows;

void Collect(const wchar_t* row, uintptr_t context) { ((Rows*)context)->push_back(row); }

std::string KeyedCopy(const char* plainName, const char* keyedName) {
    std::string plain = BuildTreePath(plainName), keyed = BuildTreePath(keyedName);
    EXPECT_TRUE(CopyFileA(plain.c_str(), keyed.c_str(), FALSE)) << plain;
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(keyed.c_str(), &db), SQLITE_OK);
    std::string sql = std::string("PRAGMA rekey = '") + CorpusPassphrase() + "';";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    return keyed;
}

// Polls the build to a generous deadline; the machine may be busy.
int WaitForIndex() {
    DWORD start = GetTickCount();
    while (CorpusIndexState() == CORPUS_INDEX_BUILDING && GetTickCount() - start < 180000) Sleep(20);
    return CorpusIndexState();
}

std::wstring Wide(const char* utf8) {
    wchar_t out[1024];
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out, 1024);
    return n > 0 ? std::wstring(out) : std::wstring();
}

std::vector<std::wstring> SampleTerms(const std::string& plainPath) {
    std::vector<std::wstring> terms = {L"发", L"发展", L"a", L"A", L"%", L"_", L"\\", L"'", L"\t", L"　", L"a长",
                                       L"\U0001F4CC", L"\xFFFD", L"\xD800", L"x \xDC00", L"发 展 a %",
                                       L"2023" + std::wstring(90, L'发'), std::wstring(200, L'长')};
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(plainPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return terms;
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT clause_content FROM mo_clauses UNION ALL SELECT word_content FROM mo_words "
                       "UNION ALL SELECT phrase_content FROM mo_phrases",
                       -1, &stmt, nullptr);
    std::vector<std::wstring> texts;
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
        const char* t = (const char*)sqlite3_column_text(stmt, 0);
        if (t && strlen(t) < 600) texts.push_back(Wide(t));
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    std::mt19937 rng(12);
    for (int i = 0; i < 200 && !texts.empty(); i++) {
        std::wstring t = texts[rng() % texts.size()], term;
        for (int k = 1 + (int)(rng() % 3); k > 0 && !t.empty(); k--) {
            size_t from = rng() % t.size();
            term += (term.empty() ? L"" : L" ") + t.substr(from, 1 + rng() % 4);
        }
        terms.push_back(term);
    }
    return terms;
}

void AddHit(int64_t articleId, int hasArticle, const char* title, uintptr_t context) {
    *(std::string*)context += std::to_string(articleId) + "|" + std::to_string(hasArticle) + "|" +
                              (title ? title : "(null)") + "\n";
}

void ExpectSameBothWays(const std::vector<std::wstring>& terms) {
    typedef int (*TermQuery)(const wchar_t*, RowCallback, uintptr_t);
    const TermQuery queries[] = {QueryWords, QueryPhrases, QueryClauses, QueryParagraphs};
    int failures = 0;
    for (const std::wstring& t : terms) {
        for (int q = 0; q < 4; q++) {
            Rows off, on;
            CorpusSetIndexEnabled(false);
            EXPECT_EQ(queries[q](t.c_str(), Collect, (uintptr_t)&off), CORPUS_OK);
            CorpusSetIndexEnabled(true);
            EXPECT_EQ(queries[q](t.c_str(), Collect, (uintptr_t)&on), CORPUS_OK);
            // The bulk form: the same count, the same texts by row number.
            std::vector<uint32_t> numbers(on.size() + 1);
            int count = CorpusMatchRows(q, t.c_str(), numbers.data(), (int)numbers.size());
            bool bulkSame = count == (int)on.size();
            for (int i = 0; bulkSame && i < count; i++) bulkSame = on[i] == CorpusRowText(q, numbers[i]);
            if ((off != on || !bulkSame) && failures++ < 10)
                ADD_FAILURE() << "query " << q << " term of " << t.size() << " units: " << off.size() << " rows off, "
                              << on.size() << " on";
        }
    }
    for (size_t i = 0; i < terms.size(); i += 4) {
        std::string off, on;
        CorpusSetIndexEnabled(false);
        EXPECT_EQ(QueryParagraphHits(terms[i].c_str(), AddHit, (uintptr_t)&off), CORPUS_OK);
        CorpusSetIndexEnabled(true);
        EXPECT_EQ(QueryParagraphHits(terms[i].c_str(), AddHit, (uintptr_t)&on), CORPUS_OK);
        if (off != on && failures++ < 10) ADD_FAILURE() << "paragraph hits of term " << i;
    }
    for (int32_t id = -2; id < 400; id++) {
        Rows off, on;
        CorpusSetIndexEnabled(false);
        QueryPhrasesByWordId(id, Collect, (uintptr_t)&off);
        CorpusSetIndexEnabled(true);
        QueryPhrasesByWordId(id, Collect, (uintptr_t)&on);
        if (off != on && failures++ < 10) ADD_FAILURE() << "word id " << id;
    }
    Rows off, on;
    CorpusSetIndexEnabled(false);
    QueryStartupWords(Collect, (uintptr_t)&off);
    CorpusSetIndexEnabled(true);
    QueryStartupWords(Collect, (uintptr_t)&on);
    EXPECT_EQ(off, on) << "idle words";
}

}  // namespace

TEST(IndexSwitch, SameRowsWithTheIndexOnAndOff) {
    const char* const corpora[][2] = {{"fixtures/corpus.db", "corpus-index-keyed.db"},
                                      {"corpus/diff-corpus.db", "corpus-diff-keyed.db"}};
    for (const auto& c : corpora) {
        ASSERT_EQ(CorpusOpen(KeyedCopy(c[0], c[1]).c_str()), CORPUS_OK) << c[0];
        EXPECT_EQ(CorpusIndexState(), CORPUS_INDEX_NONE);
        ASSERT_EQ(CorpusStartIndexBuild(), CORPUS_OK);
        ASSERT_EQ(WaitForIndex(), CORPUS_INDEX_READY) << c[0];
        EXPECT_NE(CorpusSearchIndex(), nullptr);
        ExpectSameBothWays(SampleTerms(BuildTreePath(c[0])));
        EXPECT_EQ(CorpusClose(), CORPUS_OK);
        EXPECT_EQ(CorpusIndexState(), CORPUS_INDEX_NONE);
        EXPECT_EQ(CorpusMatchRows(0, L"a", nullptr, 0), -1) << "no index once closed";
    }
}

TEST(IndexSwitch, DamagedPageLeavesTheStatementsServing) {
    std::string keyed = KeyedCopy("corpus/diff-corpus.db", "corpus-damaged-keyed.db");
    HANDLE file = CreateFileA(keyed.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    GetFileSizeEx(file, &size);
    // A page among the paragraphs, the table written last.
    LONG at = (LONG)(size.QuadPart * 9 / 10 / 4096 * 4096);
    SetFilePointer(file, at, nullptr, FILE_BEGIN);
    std::vector<char> junk(4096, (char)0xA5);
    DWORD written = 0;
    WriteFile(file, junk.data(), 4096, &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(CorpusOpen(keyed.c_str()), CORPUS_OK);
    ASSERT_EQ(CorpusStartIndexBuild(), CORPUS_OK);
    EXPECT_EQ(WaitForIndex(), CORPUS_INDEX_FAILED);
    EXPECT_EQ(CorpusSearchIndex(), nullptr);
    Rows rows;
    EXPECT_EQ(QueryWords(L"a", Collect, (uintptr_t)&rows), CORPUS_OK);
    EXPECT_FALSE(rows.empty()) << "the statements still serve";
    EXPECT_EQ(CorpusClose(), CORPUS_OK);
}
