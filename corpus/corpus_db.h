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
};

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

int QueryStartupWords(RowCallback callback, uintptr_t context);
int QueryWords(const wchar_t* terms, RowCallback callback, uintptr_t context);
int QueryPhrases(const wchar_t* terms, RowCallback callback, uintptr_t context);
int QueryPhrasesByWordId(int32_t wordId, RowCallback callback, uintptr_t context);
int QueryClauses(const wchar_t* terms, RowCallback callback, uintptr_t context);
int QueryParagraphs(const wchar_t* terms, RowCallback callback, uintptr_t context);
