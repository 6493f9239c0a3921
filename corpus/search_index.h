#pragma once
// The in-memory search index of an open corpus: each table held in its
// statement's order with the row texts the statement path would deliver,
// postings per character, and the word-to-phrases map. Built once, then only
// read, by any number of threads. Every query gives the statement's rows.
#include <stdint.h>

#include "corpus/corpus_statements.h"

struct sqlite3;
struct SearchIndex;

typedef void (*ParagraphHitCallback)(int64_t articleId, int hasArticle, const char* titleUtf8, uintptr_t context);

// Reads the tables through db. CORPUS_OK with *out set; otherwise (a failing
// statement, a damaged page, no memory) nothing is kept and *out is null.
int SearchIndexBuild(sqlite3* db, SearchIndex** out);
void SearchIndexFree(SearchIndex* index);
// The same in parts, so two threads, each with a connection of its own, can
// read disjoint parts into one index before it is published.
enum {
    INDEX_PART_STARTUP = 1,
    INDEX_PART_WORDS = 2,
    INDEX_PART_PHRASES = 4,
    INDEX_PART_CLAUSES = 8,
    INDEX_PART_PARAGRAPHS = 16,
    INDEX_PARTS_ALL = 31
};
SearchIndex* SearchIndexCreate();
int SearchIndexReadParts(sqlite3* db, SearchIndex* index, unsigned parts);
// Bytes held, for the figures.
uint64_t SearchIndexBytes(const SearchIndex* index);

// The same rows in the same order as RunTermStatement and its siblings. Row
// texts point into the index (no copy, no allocation per row).
int SearchIndexTermRows(const SearchIndex* index, int query, const char* termsUtf8, CorpusRowSink sink,
                        uintptr_t context);
int SearchIndexStartupWords(const SearchIndex* index, CorpusRowSink sink, uintptr_t context);
int SearchIndexPhrasesByWordId(const SearchIndex* index, int32_t wordId, CorpusRowSink sink, uintptr_t context);
// One call per paragraph holding every term, long ones included, in the
// paragraph query's order.
int SearchIndexParagraphHits(const SearchIndex* index, const char* termsUtf8, ParagraphHitCallback callback,
                             uintptr_t context);

// Bulk form: the row numbers of a term query, in order, into rows (capacity
// entries; returns the full count, which may exceed capacity), and each row's
// text by number. Lists can show the count at once and fetch texts as drawn.
int SearchIndexMatchRows(const SearchIndex* index, int query, const char* termsUtf8, uint32_t* rows, int capacity);
const char16_t* SearchIndexRowText(const SearchIndex* index, int query, uint32_t row);
// Rows held for a term query, skipped ones included (their text is null).
uint32_t SearchIndexRowCount(const SearchIndex* index, int query);
