#pragma once
// The six queries as statements over a connection: the reference path, with no
// platform call, shared by the product and the native differential tests.
#include <stdint.h>

struct sqlite3;

enum CorpusTermQuery { CORPUS_QUERY_WORDS = 0, CORPUS_QUERY_PHRASES, CORPUS_QUERY_CLAUSES, CORPUS_QUERY_PARAGRAPHS };

// Row text as UTF-16 (wchar_t on Windows), valid only during the call.
typedef void (*CorpusRowSink)(const char16_t* row, uintptr_t context);

// The column the query's condition tests.
const char* CorpusQueryColumn(int query);
// termsUtf8 as CorpusTermsToUtf8 gives it. CORPUS_OK (no rows when no term is
// usable) or CORPUS_ERR_PREPARE with the engine's message on db.
int RunTermStatement(sqlite3* db, int query, const char* termsUtf8, CorpusRowSink sink, uintptr_t context);
int RunStartupWordsStatement(sqlite3* db, CorpusRowSink sink, uintptr_t context);
int RunPhrasesByWordIdStatement(sqlite3* db, int32_t wordId, CorpusRowSink sink, uintptr_t context);
