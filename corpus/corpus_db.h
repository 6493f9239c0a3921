#pragma once
// The one connection to the corpus database and its six read-only queries.
#include <stdint.h>

struct sqlite3;

enum CorpusStatus {
    CORPUS_OK = 0,
    CORPUS_ERR_OPEN = 1,
    CORPUS_ERR_NOT_OPEN = 2,
    CORPUS_ERR_PREPARE = 3,
    CORPUS_ERR_CLOSE = 5,
    CORPUS_ERR_KEY = 6,
    CORPUS_ERR_INDEX = 7,  // the search index could not be built; the statements serve
};

enum CorpusIndexState { CORPUS_INDEX_NONE = 0, CORPUS_INDEX_BUILDING, CORPUS_INDEX_READY, CORPUS_INDEX_FAILED };

// Row text is valid only during the call.
typedef void (*RowCallback)(const wchar_t* row, uintptr_t context);

const char* CorpusPassphrase();
int CorpusOpen(const char* path);
int CorpusClose();
const char* CorpusLastError();
// The open connection (null while closed), for the report query beside the six.
sqlite3* CorpusConnection();
// UTF-8 form of the terms; a form that does not fit is cut on a character boundary.
void CorpusTermsToUtf8(const wchar_t* terms, char* out, int size);
bool BuildLikeFilter(const char* input, const char* column, char* out, int capacity);

// The search index: built once per open corpus on a worker thread with its own
// read-only connection; the statements serve until it is ready, and for good
// when it cannot be built. Every query gives the same rows either way. The
// switch (on by default) lets tests and the benchmark compare both paths.
int CorpusStartIndexBuild();
int CorpusIndexState();
void CorpusSetIndexEnabled(bool enabled);
bool CorpusIndexEnabled();
// The ready index while the switch is on, else null: for the bulk row API of
// corpus/search_index.h (counts at once, row texts by number).
const struct SearchIndex* CorpusSearchIndex();
// Bulk rows of a term query (CORPUS_QUERY_WORDS..PARAGRAPHS of
// corpus/corpus_statements.h) through the ready index: the full count (-1 while
// the statements serve; then use the Query* functions), the first capacity row
// numbers in order into rows, and each row's text by number, valid while the
// corpus stays open. No copy and no allocation per row.
int CorpusMatchRows(int query, const wchar_t* terms, uint32_t* rows, int capacity);
const wchar_t* CorpusRowText(int query, uint32_t row);

int QueryStartupWords(RowCallback callback, uintptr_t context);
int QueryWords(const wchar_t* terms, RowCallback callback, uintptr_t context);
int QueryPhrases(const wchar_t* terms, RowCallback callback, uintptr_t context);
int QueryPhrasesByWordId(int32_t wordId, RowCallback callback, uintptr_t context);
int QueryClauses(const wchar_t* terms, RowCallback callback, uintptr_t context);
int QueryParagraphs(const wchar_t* terms, RowCallback callback, uintptr_t context);
