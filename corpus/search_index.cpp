#include "corpus/search_index.h"

#include <string.h>

#include <algorithm>
#include <new>
#include <vector>

#include "corpus/corpus_db.h"
#include "corpus/like_filter.h"
#include "corpus/like_match.h"
#include "corpus/row_text.h"
#include "sqlite3.h"

static const uint32_t NO_ROW = 0xFFFFFFFFu;
// Every character past Unicode (only malformed text reads so) shares one key;
// its candidates are always checked.
static const uint32_t WIDE_KEY = 0x110000;

// Storage that held decrypted corpus text is zeroed before it is freed, on
// every reallocation while building as well as at the end.
template <typename T>
struct WipingAllocator {
    typedef T value_type;
    WipingAllocator() = default;
    template <typename U>
    WipingAllocator(const WipingAllocator<U>&) {}
    T* allocate(size_t n) { return (T*)::operator new(n * sizeof(T)); }
    void deallocate(T* p, size_t n) {
        memset(p, 0, n * sizeof(T));
        __asm__ __volatile__("" : : "r"(p) : "memory");  // the zeroing is not a dead store
        ::operator delete(p);
    }
};
template <typename T, typename U>
bool operator==(const WipingAllocator<T>&, const WipingAllocator<U>&) {
    return true;
}
template <typename T>
using Store = std::vector<T, WipingAllocator<T>>;

struct IndexTable {
    Store<char> text;         // what LIKE tests, each NUL-terminated
    Store<uint32_t> textAt;   // per row
    Store<char16_t> rows;     // what the statement path delivers
    Store<uint32_t> rowAt;    // per row, NO_ROW when it is skipped
    Store<uint32_t> keys;     // distinct characters, ascending
    Store<uint32_t> postingAt;
    Store<uint32_t> postings;  // row numbers, ascending per key
};

struct SearchIndex {
    IndexTable tables[4];
    Store<char16_t> startup;
    Store<uint32_t> startupAt;
    Store<uint64_t> wordPhrases;  // biased word id << 32 | phrase row
    Store<int64_t> articleId;
    Store<uint8_t> hasArticle;
    Store<uint32_t> titleAt;  // NO_ROW for a null title
    Store<char> titles;
};

static uint32_t KeyOf(uint32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    return c > WIDE_KEY ? WIDE_KEY : c;
}

static void AddRow(IndexTable& t, const char* text, const char16_t* row, int units) {
    t.textAt.push_back((uint32_t)t.text.size());
    t.text.insert(t.text.end(), text, text + strlen(text) + 1);
    if (units < 0) {
        t.rowAt.push_back(NO_ROW);
    } else {
        t.rowAt.push_back((uint32_t)t.rows.size());
        t.rows.insert(t.rows.end(), row, row + units + 1);
    }
}

static void BuildPostings(IndexTable& t) {
    std::vector<uint32_t> count(WIDE_KEY + 1, 0), last(WIDE_KEY + 1, NO_ROW);
    uint32_t rowCount = (uint32_t)t.textAt.size();
    for (int pass = 0; pass < 2; pass++) {
        for (uint32_t r = 0; r < rowCount; r++) {
            const unsigned char* p = (const unsigned char*)&t.text[t.textAt[r]];
            while (*p) {
                uint32_t k = KeyOf(LikeReadChar(&p));
                if (last[k] == r) continue;
                last[k] = r;
                if (pass == 0) count[k]++;
                else t.postings[count[k]++] = r;
            }
        }
        if (pass == 0) {
            uint32_t total = 0;
            for (uint32_t k = 0; k <= WIDE_KEY; k++) {
                if (!count[k]) continue;
                t.keys.push_back(k);
                t.postingAt.push_back(total);
                uint32_t n = count[k];
                count[k] = total;  // from here on: where the next posting goes
                total += n;
            }
            t.postingAt.push_back(total);
            t.postings.resize(total);
            std::fill(last.begin(), last.end(), NO_ROW);
        }
    }
}

// A canonical "%d" form of a 32-bit id, as the word-id statement prints it.
static bool ParseWordId(const char* s, size_t n, int32_t* id) {
    if (n == 0 || n > 11) return false;
    size_t i = 0;
    bool negative = s[0] == '-';
    if (negative) i = 1;
    if (i == n) return false;
    if (s[i] == '0' && (n - i > 1 || negative)) return false;
    int64_t v = 0;
    for (; i < n; i++) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + (s[i] - '0');
    }
    if (negative) v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return false;
    *id = (int32_t)v;
    return true;
}

static uint64_t WordKey(int32_t id) { return (uint64_t)((uint32_t)id ^ 0x80000000u) << 32; }

// Ids N for which words LIKE '%[N,%', '%, N,%' or '%, N]%' holds, or words = '[N]'.
static void AddWordIds(SearchIndex& index, uint32_t row, const char* words, int bytes, bool isText) {
    size_t len = strlen(words);
    for (size_t i = 0; i < len; i++) {
        size_t from;
        bool afterBracket = words[i] == '[';
        if (afterBracket) from = i + 1;
        else if (words[i] == ',' && words[i + 1] == ' ') from = i + 2;
        else continue;
        size_t j = from;
        while (j < len && words[j] != ',' && (afterBracket || words[j] != ']')) j++;
        int32_t id;
        if (j < len && ParseWordId(words + from, j - from, &id)) index.wordPhrases.push_back(WordKey(id) | row);
    }
    if (isText && bytes >= 3 && (size_t)bytes == len && words[0] == '[' && words[len - 1] == ']') {
        int32_t id;
        if (ParseWordId(words + 1, len - 2, &id)) index.wordPhrases.push_back(WordKey(id) | row);
    }
}

static int ReadTable(sqlite3* db, const char* sql, SearchIndex& index, int query) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) return CORPUS_ERR_PREPARE;
    IndexTable& t = index.tables[query];
    char16_t row[PARAGRAPH_ROW_UNITS];
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const char* text = (const char*)sqlite3_column_text(stmt, query == CORPUS_QUERY_WORDS ? 1 : 0);
        if (!text) continue;  // LIKE never holds for a null
        int units;
        if (query == CORPUS_QUERY_WORDS) {
            units = ComposeWordRow(sqlite3_column_int(stmt, 0), text, row);
        } else if (query == CORPUS_QUERY_PARAGRAPHS) {
            const char* title = (const char*)sqlite3_column_text(stmt, 1);
            units = ComposeParagraphRow(text, title, row);
            index.articleId.push_back(sqlite3_column_int64(stmt, 2));
            bool has = sqlite3_column_int(stmt, 3) != 0;
            index.hasArticle.push_back(has ? 1 : 0);
            if (has && title) {
                index.titleAt.push_back((uint32_t)index.titles.size());
                index.titles.insert(index.titles.end(), title, title + strlen(title) + 1);
            } else {
                index.titleAt.push_back(NO_ROW);
            }
        } else {
            units = ComposeTextRow(text, row);
        }
        if (query == CORPUS_QUERY_PHRASES) {
            // The type before the text: reading a blob as text would change it.
            bool isText = sqlite3_column_type(stmt, 2) == SQLITE_TEXT;
            const char* words = (const char*)sqlite3_column_text(stmt, 2);
            if (words) AddWordIds(index, (uint32_t)t.textAt.size(), words, sqlite3_column_bytes(stmt, 2), isText);
        }
        AddRow(t, text, row, units);
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) return CORPUS_ERR_INDEX;
    BuildPostings(t);
    return CORPUS_OK;
}

static int ReadStartup(sqlite3* db, SearchIndex& index) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db,
                           "SELECT word_id, word_content FROM mo_words WHERE pos='VV' AND LENGTH(word_content) =2 "
                           "ORDER BY count_phrases DESC LIMIT 100",
                           -1, &stmt, nullptr) != SQLITE_OK)
        return CORPUS_ERR_PREPARE;
    char16_t row[TEXT_ROW_UNITS];
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const char* word = (const char*)sqlite3_column_text(stmt, 1);
        if (!word) continue;
        int units = ComposeWordRow(sqlite3_column_int(stmt, 0), word, row);
        if (units < 0) continue;
        index.startupAt.push_back((uint32_t)index.startup.size());
        index.startup.insert(index.startup.end(), row, row + units + 1);
    }
    sqlite3_finalize(stmt);
    return rc == SQLITE_DONE ? CORPUS_OK : CORPUS_ERR_INDEX;
}

// Each statement without its condition, so a table is held in the very order
// the filtered statement gives (a filter keeps the scan and the sort).
static const char* const TABLE_STATEMENTS[4] = {
    "SELECT word_id, word_content FROM mo_words ORDER BY LENGTH(word_content) ASC, count_phrases DESC ",
    "SELECT phrase_content,count_clauses,words_array FROM mo_phrases ORDER BY LENGTH(phrase_content) "
    "ASC,count_clauses DESC ",
    "SELECT DISTINCT clause_content FROM mo_clauses ORDER BY LENGTH(clause_content) ASC ",
    "SELECT p.paragraph_content, a.article_title, p.article_id, a.article_id IS NOT NULL FROM mo_paragraphs p "
    "LEFT JOIN mo_articles a ON p.article_id = a.article_id ",
};

static int ReadParts(sqlite3* db, SearchIndex& index, unsigned parts) {
    int status = CORPUS_OK;
    if (parts & INDEX_PART_STARTUP) status = ReadStartup(db, index);
    for (int q = 0; q < 4 && status == CORPUS_OK; q++)
        if (parts & (INDEX_PART_WORDS << q)) status = ReadTable(db, TABLE_STATEMENTS[q], index, q);
    if (status != CORPUS_OK || !(parts & INDEX_PART_PHRASES)) return status;
    std::sort(index.wordPhrases.begin(), index.wordPhrases.end());
    index.wordPhrases.erase(std::unique(index.wordPhrases.begin(), index.wordPhrases.end()), index.wordPhrases.end());
    return CORPUS_OK;
}

SearchIndex* SearchIndexCreate() { return new (std::nothrow) SearchIndex(); }

int SearchIndexReadParts(sqlite3* db, SearchIndex* index, unsigned parts) {
    if (!db || !index) return CORPUS_ERR_INDEX;
    try {
        return ReadParts(db, *index, parts);
    } catch (const std::bad_alloc&) {
        return CORPUS_ERR_INDEX;
    }
}

int SearchIndexBuild(sqlite3* db, SearchIndex** out) {
    *out = nullptr;
    SearchIndex* index = SearchIndexCreate();
    if (!index) return CORPUS_ERR_INDEX;
    int status = SearchIndexReadParts(db, index, INDEX_PARTS_ALL);
    if (status != CORPUS_OK) {
        delete index;
        return status;
    }
    *out = index;
    return CORPUS_OK;
}

void SearchIndexFree(SearchIndex* index) { delete index; }

template <typename T>
static uint64_t Held(const Store<T>& v) {
    return (uint64_t)v.capacity() * sizeof(T);
}

uint64_t SearchIndexBytes(const SearchIndex* index) {
    if (!index) return 0;
    uint64_t n = sizeof *index + Held(index->startup) + Held(index->startupAt) + Held(index->wordPhrases) +
                 Held(index->articleId) + Held(index->hasArticle) + Held(index->titleAt) + Held(index->titles);
    for (const IndexTable& t : index->tables)
        n += Held(t.text) + Held(t.textAt) + Held(t.rows) + Held(t.rowAt) + Held(t.keys) + Held(t.postingAt) +
             Held(t.postings);
    return n;
}

// One term of the condition list: its LIKE pattern and its characters' keys.
struct TermPlan {
    char pattern[260];
    uint32_t keys[256];
    int keyCount;
};

enum { MAX_PLANS = 48 };

struct Plans {
    TermPlan terms[MAX_PLANS];
    int count;
};

static void AddPlan(const char* escaped, size_t length, void* context) {
    Plans* plans = (Plans*)context;
    if (plans->count >= MAX_PLANS) return;  // 1024 bytes of conditions hold at most 37
    TermPlan& p = plans->terms[plans->count++];
    LikePatternFromEscaped(escaped, length, p.pattern);
    p.keyCount = 0;
    size_t n = strlen(p.pattern);
    char literal[260];
    memcpy(literal, p.pattern + 1, n - 2);
    literal[n - 2] = 0;
    const unsigned char* s = (const unsigned char*)literal;
    while (*s && p.keyCount < 256) {
        uint32_t c = LikeReadChar(&s);
        if (c == '\\' && *s) c = LikeReadChar(&s);
        p.keys[p.keyCount++] = KeyOf(c);
    }
}

static bool Postings(const IndexTable& t, uint32_t key, const uint32_t** begin, const uint32_t** end) {
    auto it = std::lower_bound(t.keys.begin(), t.keys.end(), key);
    if (it == t.keys.end() || *it != key) return false;
    size_t slot = (size_t)(it - t.keys.begin());
    *begin = t.postings.data() + t.postingAt[slot];
    *end = t.postings.data() + t.postingAt[slot + 1];
    return true;
}

typedef void (*MatchVisit)(uint32_t row, void* context);

// Walks the rows that satisfy every term, in table order.
static void WalkMatches(const IndexTable& t, const char* termsUtf8, int query, MatchVisit visit, void* context) {
    Plans local;  // about 60 KB of stack, nothing on the heap per query
    Plans* plans = &local;
    plans->count = 0;
    ForEachLikeTerm(termsUtf8, strlen(CorpusQueryColumn(query)), 1024, AddPlan, plans);
    const uint32_t *begin = nullptr, *end = nullptr;
    uint32_t driverKey = NO_ROW;
    bool any = plans->count > 0;
    for (int i = 0; i < plans->count && any; i++) {
        for (int k = 0; k < plans->terms[i].keyCount; k++) {
            const uint32_t *b, *e;
            if (!Postings(t, plans->terms[i].keys[k], &b, &e)) {
                any = false;  // a character no row holds
                break;
            }
            if (!begin || e - b < end - begin) begin = b, end = e, driverKey = plans->terms[i].keys[k];
        }
    }
    if (any) {
        // A term of just the driving character needs no check; the rest do.
        bool check[MAX_PLANS];
        for (int i = 0; i < plans->count; i++)
            check[i] = !(plans->terms[i].keyCount == 1 && plans->terms[i].keys[0] == driverKey &&
                         driverKey != WIDE_KEY);
        uint32_t n = begin ? (uint32_t)(end - begin) : (uint32_t)t.textAt.size();
        for (uint32_t i = 0; i < n; i++) {
            uint32_t r = begin ? begin[i] : i;
            const char* text = &t.text[t.textAt[r]];
            bool ok = true;
            for (int j = 0; j < plans->count && ok; j++)
                if (check[j]) ok = LikeMatches(plans->terms[j].pattern, text);
            if (ok) visit(r, context);
        }
    }
}

struct SinkVisit {
    const IndexTable* table;
    CorpusRowSink sink;
    uintptr_t context;
};

static void VisitSink(uint32_t row, void* context) {
    SinkVisit* v = (SinkVisit*)context;
    uint32_t at = v->table->rowAt[row];
    if (at != NO_ROW) v->sink(v->table->rows.data() + at, v->context);
}

int SearchIndexTermRows(const SearchIndex* index, int query, const char* termsUtf8, CorpusRowSink sink,
                        uintptr_t context) {
    if (!index || query < 0 || query >= 4 || !termsUtf8 || !sink) return CORPUS_OK;
    SinkVisit v = {&index->tables[query], sink, context};
    WalkMatches(index->tables[query], termsUtf8, query, VisitSink, &v);
    return CORPUS_OK;
}

int SearchIndexStartupWords(const SearchIndex* index, CorpusRowSink sink, uintptr_t context) {
    if (!index || !sink) return CORPUS_OK;
    for (uint32_t at : index->startupAt) sink(index->startup.data() + at, context);
    return CORPUS_OK;
}

int SearchIndexPhrasesByWordId(const SearchIndex* index, int32_t wordId, CorpusRowSink sink, uintptr_t context) {
    if (!index || !sink) return CORPUS_OK;
    const IndexTable& t = index->tables[CORPUS_QUERY_PHRASES];
    uint64_t key = WordKey(wordId);
    auto it = std::lower_bound(index->wordPhrases.begin(), index->wordPhrases.end(), key);
    for (; it != index->wordPhrases.end() && (*it >> 32) == (key >> 32); ++it) {
        uint32_t at = t.rowAt[(uint32_t)*it];
        if (at != NO_ROW) sink(t.rows.data() + at, context);
    }
    return CORPUS_OK;
}

struct HitVisit {
    const SearchIndex* index;
    ParagraphHitCallback callback;
    uintptr_t context;
};

static void VisitHit(uint32_t row, void* context) {
    HitVisit* v = (HitVisit*)context;
    uint32_t at = v->index->titleAt[row];
    v->callback(v->index->articleId[row], v->index->hasArticle[row],
                at == NO_ROW ? nullptr : v->index->titles.data() + at, v->context);
}

int SearchIndexParagraphHits(const SearchIndex* index, const char* termsUtf8, ParagraphHitCallback callback,
                             uintptr_t context) {
    if (!index || !termsUtf8 || !callback) return CORPUS_OK;
    HitVisit v = {index, callback, context};
    WalkMatches(index->tables[CORPUS_QUERY_PARAGRAPHS], termsUtf8, CORPUS_QUERY_PARAGRAPHS, VisitHit, &v);
    return CORPUS_OK;
}

struct RowsVisit {
    const IndexTable* table;
    uint32_t* rows;
    int capacity;
    int count;
};

static void VisitRows(uint32_t row, void* context) {
    RowsVisit* v = (RowsVisit*)context;
    if (v->table->rowAt[row] == NO_ROW) return;
    if (v->count < v->capacity) v->rows[v->count] = row;
    v->count++;
}

int SearchIndexMatchRows(const SearchIndex* index, int query, const char* termsUtf8, uint32_t* rows, int capacity) {
    if (!index || query < 0 || query >= 4 || !termsUtf8) return 0;
    RowsVisit v = {&index->tables[query], rows, rows ? capacity : 0, 0};
    WalkMatches(index->tables[query], termsUtf8, query, VisitRows, &v);
    return v.count;
}

const char16_t* SearchIndexRowText(const SearchIndex* index, int query, uint32_t row) {
    if (!index || query < 0 || query >= 4) return nullptr;
    const IndexTable& t = index->tables[query];
    if (row >= t.rowAt.size() || t.rowAt[row] == NO_ROW) return nullptr;
    return t.rows.data() + t.rowAt[row];
}
