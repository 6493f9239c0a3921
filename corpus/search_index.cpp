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

// Appends by one copy: the wiping allocator keeps the library from copying
// element by element only if the bytes go in with memcpy.
template <typename T>
static void Append(Store<T>& v, const T* p, size_t n) {
    size_t at = v.size();
    if (v.capacity() - at < n) v.reserve(std::max(v.capacity() * 2, at + n));
    v.resize(at + n);
    memcpy(v.data() + at, p, n * sizeof(T));
}

static uint32_t KeyOf(uint32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    return c > WIDE_KEY ? WIDE_KEY : c;
}

static void AddRow(IndexTable& t, const char* text, const char16_t* row, int units) {
    t.textAt.push_back((uint32_t)t.text.size());
    Append(t.text, text, strlen(text) + 1);
    if (units < 0) {
        t.rowAt.push_back(NO_ROW);
    } else {
        t.rowAt.push_back((uint32_t)t.rows.size());
        Append(t.rows, row, (size_t)units + 1);
    }
}

// One decoding pass gathers each row's distinct keys; they are then placed by
// key, rows ascending.
static void BuildPostings(IndexTable& t) {
    std::vector<uint32_t> count(WIDE_KEY + 1, 0), last(WIDE_KEY + 1, NO_ROW);
    uint32_t rowCount = (uint32_t)t.textAt.size();
    Store<uint32_t> rowKeys;  // the characters of each row: wiped like the text
    rowKeys.reserve(t.text.size() / 2 + rowCount);
    std::vector<uint32_t> rowKeysAt(rowCount + 1);
    for (uint32_t r = 0; r < rowCount; r++) {
        rowKeysAt[r] = (uint32_t)rowKeys.size();
        const unsigned char* p = (const unsigned char*)&t.text[t.textAt[r]];
        while (*p) {
            uint32_t k = KeyOf(LikeReadChar(&p));
            if (last[k] == r) continue;
            last[k] = r;
            count[k]++;
            rowKeys.push_back(k);
        }
    }
    rowKeysAt[rowCount] = (uint32_t)rowKeys.size();
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
    for (uint32_t r = 0; r < rowCount; r++)
        for (uint32_t i = rowKeysAt[r]; i < rowKeysAt[r + 1]; i++) t.postings[count[rowKeys[i]]++] = r;
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

// Sort keys of a row read in scan order: LENGTH() as the engine computed it,
// and the count column when the statement sorts by it (NULL below every
// integer, as the engine orders them).
struct ScanKey {
    int64_t length;
    int64_t count;
    uint32_t row;
    int32_t wordId;  // a word row's id, composed into its row once in order
    uint8_t countIsNull;
};

// The statement's order: LENGTH ascending, then the count descending; the
// engine's sorter keeps ties in scan order, and so does the row number here.
static bool ScanKeyBefore(const ScanKey& a, const ScanKey& b) {
    if (a.length != b.length) return a.length < b.length;
    if (a.countIsNull != b.countIsNull) return b.countIsNull;
    if (!a.countIsNull && a.count != b.count) return a.count > b.count;
    return a.row < b.row;
}

// First occurrences of the short sentences, as DISTINCT keeps them: values are
// equal when their storage class and all their bytes are.
struct DistinctSet {
    Store<char> bytes;
    Store<uint32_t> bytesAt;  // per kept value, with its class in the first byte
    std::vector<uint32_t> slots;  // value number + 1, 0 for free
    uint32_t used = 0;

    static uint64_t Hash(const char* p, size_t n) {
        uint64_t h = 1469598103934665603ull;
        for (size_t i = 0; i < n; i++) h = (h ^ (unsigned char)p[i]) * 1099511628211ull;
        return h;
    }
    void Grow() {
        std::vector<uint32_t> old;
        old.swap(slots);
        slots.assign(old.empty() ? 1024 : old.size() * 2, 0);
        for (uint32_t v : old)
            if (v) Place(v - 1);
    }
    void Place(uint32_t value) {
        const char* p = &bytes[bytesAt[value]];
        size_t n = bytesAt[value + 1] - bytesAt[value];
        size_t mask = slots.size() - 1, i = (size_t)Hash(p, n) & mask;
        while (slots[i]) i = (i + 1) & mask;
        slots[i] = value + 1;
    }
    // True when the value was not held yet (it is then kept).
    bool Insert(int storageClass, const char* p, size_t n) {
        if ((used + 1) * 2 > slots.size()) Grow();
        if (bytesAt.empty()) bytesAt.push_back(0);
        size_t start = bytes.size();
        bytes.push_back((char)storageClass);
        Append(bytes, p, n);
        const char* key = &bytes[start];
        size_t keyBytes = n + 1, mask = slots.size() - 1, i = (size_t)Hash(key, keyBytes) & mask;
        for (; slots[i]; i = (i + 1) & mask) {
            uint32_t v = slots[i] - 1;
            size_t at = bytesAt[v], m = bytesAt[v + 1] - at;
            if (m == keyBytes && memcmp(&bytes[at], key, keyBytes) == 0) {
                bytes.resize(start);
                return false;
            }
        }
        bytesAt.push_back((uint32_t)bytes.size());
        slots[i] = ++used;
        return true;
    }
};

// Ascending, as std::sort gives them: a radix pass per 16 bits that differ.
static void SortAscending(Store<uint64_t>& v) {
    if (v.size() < 2) return;
    Store<uint64_t> spare(v.size());
    std::vector<uint32_t> at(65536);
    for (int shift = 0; shift < 64; shift += 16) {
        std::fill(at.begin(), at.end(), 0);
        for (uint64_t e : v) at[(e >> shift) & 0xFFFF]++;
        if (at[(v[0] >> shift) & 0xFFFF] == v.size()) continue;  // one digit: nothing moves
        uint32_t sum = 0;
        for (uint32_t& a : at) sum += a, a = sum - a;
        for (uint64_t e : v) spare[at[(e >> shift) & 0xFFFF]++] = e;
        v.swap(spare);
    }
}

static int BitsFor(uint64_t v) {
    int bits = 0;
    while (v) bits++, v >>= 1;
    return bits;
}

// The statement's order. When length, count and row number fit in 64 bits
// together they sort as one number (length, then the count reversed with NULL
// after every integer, then the row); otherwise by the comparison.
static void SortScanKeys(std::vector<ScanKey>& keys) {
    size_t n = keys.size();
    if (n < 2) return;
    int64_t lo = keys[0].length, hi = keys[0].length, countLo = INT64_MAX, countHi = INT64_MIN;
    for (const ScanKey& k : keys) {
        lo = std::min(lo, k.length), hi = std::max(hi, k.length);
        if (!k.countIsNull) countLo = std::min(countLo, k.count), countHi = std::max(countHi, k.count);
    }
    uint64_t countSpan = countLo <= countHi ? (uint64_t)countHi - (uint64_t)countLo : 0;
    int rowBits = BitsFor(n - 1), countBits = countSpan >= UINT64_MAX - 1 ? 64 : BitsFor(countSpan + 1);
    int lengthBits = BitsFor((uint64_t)hi - (uint64_t)lo);
    if (rowBits + countBits + lengthBits > 64) {
        std::sort(keys.begin(), keys.end(), ScanKeyBefore);
        return;
    }
    Store<uint64_t> packed(n);
    for (size_t i = 0; i < n; i++) {
        const ScanKey& k = keys[i];
        uint64_t count = k.countIsNull ? countSpan + 1 : (uint64_t)countHi - (uint64_t)k.count;
        uint64_t length = (uint64_t)k.length - (uint64_t)lo;
        int lengthShift = countBits + rowBits;  // 64 only when every length is the same
        packed[i] = (lengthShift < 64 ? length << lengthShift : 0) | (count << rowBits) | k.row;
    }
    SortAscending(packed);
    std::vector<ScanKey> sorted(n);
    uint64_t rowMask = (1ull << rowBits) - 1;
    for (size_t i = 0; i < n; i++) sorted[i] = keys[(size_t)(packed[i] & rowMask)];  // keys[r].row is r
    keys.swap(sorted);
}

// Rearranges a table read in scan order into the statement's order; the
// phrase numbers of the word map follow their rows.
static void ApplyOrder(SearchIndex& index, int query, std::vector<ScanKey>& keys) {
    SortScanKeys(keys);
    IndexTable& t = index.tables[query];
    uint32_t n = (uint32_t)keys.size();
    IndexTable sorted;
    sorted.text.resize(t.text.size());
    sorted.textAt.reserve(n);
    sorted.rows.reserve((size_t)n * 8);
    sorted.rowAt.reserve(n);
    uint32_t textTo = 0;
    char16_t row[TEXT_ROW_UNITS];
    for (const ScanKey& k : keys) {
        uint32_t from = t.textAt[k.row];
        uint32_t bytes = (k.row + 1 < n ? t.textAt[k.row + 1] : (uint32_t)t.text.size()) - from;
        const char* text = &sorted.text[textTo];
        memcpy(&sorted.text[textTo], &t.text[from], bytes);
        sorted.textAt.push_back(textTo);
        textTo += bytes;
        int units = query == CORPUS_QUERY_WORDS ? ComposeWordRow(k.wordId, text, row) : ComposeTextRow(text, row);
        if (units < 0) {
            sorted.rowAt.push_back(NO_ROW);
        } else {
            sorted.rowAt.push_back((uint32_t)sorted.rows.size());
            Append(sorted.rows, row, (size_t)units + 1);
        }
    }
    t = std::move(sorted);
    if (query != CORPUS_QUERY_PHRASES) return;
    std::vector<uint32_t> newRow(n);
    for (uint32_t i = 0; i < n; i++) newRow[keys[i].row] = i;
    for (uint64_t& entry : index.wordPhrases) entry = (entry & 0xFFFFFFFF00000000ull) | newRow[(uint32_t)entry];
}

enum { READ_IN_ENGINE_ORDER = 1 };  // a key the fast path does not order exactly

static int ReadTable(sqlite3* db, const char* sql, SearchIndex& index, int query, bool scanOrder) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) return CORPUS_ERR_PREPARE;
    IndexTable& t = index.tables[query];
    // Scan order: the columns of the ordered statement, then LENGTH and the count.
    int lengthColumn = query == CORPUS_QUERY_WORDS ? 2 : query == CORPUS_QUERY_PHRASES ? 3 : 1;
    int countColumn = query == CORPUS_QUERY_WORDS ? 3 : query == CORPUS_QUERY_PHRASES ? 1 : -1;
    std::vector<ScanKey> keys;
    DistinctSet distinct;
    bool distinctRows = scanOrder && query == CORPUS_QUERY_CLAUSES;
    char16_t row[PARAGRAPH_ROW_UNITS];
    int rc;
    int status = CORPUS_OK;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        int textColumn = query == CORPUS_QUERY_WORDS ? 1 : 0;
        ScanKey key = {0, 0, (uint32_t)t.textAt.size(), 0, 1};
        if (scanOrder) {
            int textClass = sqlite3_column_type(stmt, textColumn);
            if (textClass == SQLITE_NULL) continue;  // LIKE never holds for a null
            if (countColumn >= 0) {
                int countClass = sqlite3_column_type(stmt, countColumn);
                if (countClass != SQLITE_INTEGER && countClass != SQLITE_NULL) {
                    status = READ_IN_ENGINE_ORDER;
                    break;
                }
                key.countIsNull = countClass == SQLITE_NULL;
                key.count = sqlite3_column_int64(stmt, countColumn);
            }
            if (sqlite3_column_type(stmt, lengthColumn) != SQLITE_INTEGER) {
                status = READ_IN_ENGINE_ORDER;
                break;
            }
            key.length = sqlite3_column_int64(stmt, lengthColumn);
            if (distinctRows) {
                if (textClass == SQLITE_FLOAT) {  // 1.0 and 1 are one value to DISTINCT
                    status = READ_IN_ENGINE_ORDER;
                    break;
                }
                // The bytes as stored (a blob's own, a text's all, a number's digits).
                const char* value = textClass == SQLITE_BLOB ? (const char*)sqlite3_column_blob(stmt, textColumn)
                                                             : (const char*)sqlite3_column_text(stmt, textColumn);
                size_t n = (size_t)sqlite3_column_bytes(stmt, textColumn);
                if (!distinct.Insert(textClass, value ? value : "", n)) continue;
            }
        }
        const char* text = (const char*)sqlite3_column_text(stmt, textColumn);
        if (!text) continue;  // LIKE never holds for a null
        int units = -1;
        if (scanOrder) {
            // Rows are composed once the order is known.
            if (query == CORPUS_QUERY_WORDS) key.wordId = sqlite3_column_int(stmt, 0);
        } else if (query == CORPUS_QUERY_WORDS) {
            units = ComposeWordRow(sqlite3_column_int(stmt, 0), text, row);
        } else if (query == CORPUS_QUERY_PARAGRAPHS) {
            const char* title = (const char*)sqlite3_column_text(stmt, 1);
            units = ComposeParagraphRow(text, title, row);
            index.articleId.push_back(sqlite3_column_int64(stmt, 2));
            bool has = sqlite3_column_int(stmt, 3) != 0;
            index.hasArticle.push_back(has ? 1 : 0);
            if (has && title) {
                index.titleAt.push_back((uint32_t)index.titles.size());
                Append(index.titles, title, strlen(title) + 1);
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
        if (scanOrder) keys.push_back(key);
        AddRow(t, text, row, units);
    }
    sqlite3_finalize(stmt);
    if (status != CORPUS_OK) return status;
    if (rc != SQLITE_DONE) return CORPUS_ERR_INDEX;
    if (scanOrder) {
        distinct = DistinctSet();
        ApplyOrder(index, query, keys);
    }
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

// The first three without their ORDER BY and DISTINCT, with the sort keys as
// the engine computes them, for the sort and the distinct here.
static const char* const SCAN_STATEMENTS[3] = {
    "SELECT word_id, word_content, LENGTH(word_content), count_phrases FROM mo_words",
    "SELECT phrase_content,count_clauses,words_array, LENGTH(phrase_content) FROM mo_phrases",
    "SELECT clause_content, LENGTH(clause_content) FROM mo_clauses",
};
static const char* const TABLE_NAMES[3] = {"mo_words", "mo_phrases", "mo_clauses"};

// Scan order is the sorter's input order only for a plain table the engine
// reads whole: no index it might walk instead, no view, no virtual table. And
// bytes decide DISTINCT only for UTF-8 text under the binary collation.
static bool ScansInRowOrder(sqlite3* db, const char* table) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA encoding", -1, &stmt, nullptr) != SQLITE_OK) return false;
    bool utf8 = sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0) &&
                strcmp((const char*)sqlite3_column_text(stmt, 0), "UTF-8") == 0;
    sqlite3_finalize(stmt);
    if (!utf8) return false;
    if (sqlite3_prepare_v2(db,
                           "SELECT SUM(type='table' AND name=?1 COLLATE NOCASE AND sql NOT LIKE 'CREATE VIRTUAL%'"
                           " AND sql NOT LIKE '%COLLATE%'),"
                           " SUM(type<>'table' AND tbl_name=?1 COLLATE NOCASE AND type<>'trigger')"
                           " FROM sqlite_master",
                           -1, &stmt, nullptr) != SQLITE_OK)
        return false;
    sqlite3_bind_text(stmt, 1, table, -1, SQLITE_STATIC);
    bool plain = sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_int(stmt, 0) == 1 &&
                 sqlite3_column_int(stmt, 1) == 0;
    sqlite3_finalize(stmt);
    return plain;
}

static int ReadSortedTable(sqlite3* db, SearchIndex& index, int query) {
    if (query < 3 && ScansInRowOrder(db, TABLE_NAMES[query])) {
        int status = ReadTable(db, SCAN_STATEMENTS[query], index, query, true);
        if (status != READ_IN_ENGINE_ORDER) return status;
        index.tables[query] = IndexTable();
        if (query == CORPUS_QUERY_PHRASES) index.wordPhrases = Store<uint64_t>();
    }
    return ReadTable(db, TABLE_STATEMENTS[query], index, query, false);
}

static int ReadParts(sqlite3* db, SearchIndex& index, unsigned parts) {
    int status = CORPUS_OK;
    if (parts & INDEX_PART_STARTUP) status = ReadStartup(db, index);
    for (int q = 0; q < 4 && status == CORPUS_OK; q++)
        if (parts & (INDEX_PART_WORDS << q)) status = ReadSortedTable(db, index, q);
    if (status != CORPUS_OK || !(parts & INDEX_PART_PHRASES)) return status;
    SortAscending(index.wordPhrases);
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

uint32_t SearchIndexRowCount(const SearchIndex* index, int query) {
    if (!index || query < 0 || query >= 4) return 0;
    return (uint32_t)index->tables[query].rowAt.size();
}
