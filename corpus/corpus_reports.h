#pragma once
// Queries beside the six of the corpus: one report's paragraphs by its exact
// title, and where the paragraphs holding some terms stand.
#include <stdint.h>

#include "corpus/corpus_db.h"

// Rows in the paragraph query's form, "[TITLE]《title》：[/TITLE]paragraph", in
// corpus order. Paragraphs of any length are delivered whole (the row lives on
// the heap when it needs more than the fixed buffer); a title over 255 units
// gives no rows. With terms (null or blank: none), only paragraphs holding every
// term, matched as the paragraph query matches them.
int QueryReportParagraphs(const wchar_t* title, RowCallback callback, uintptr_t context);
int QueryReportParagraphsWithTerms(const wchar_t* title, const wchar_t* terms, RowCallback callback,
                                   uintptr_t context);

// One call per paragraph holding every term (substring, ASCII letters fold case):
// its report's id and title, hasArticle 0 (and a null title) when no report row
// matches. The title is valid only during the call.
typedef void (*ParagraphHitCallback)(int64_t articleId, int hasArticle, const char* titleUtf8, uintptr_t context);
int QueryParagraphHits(const wchar_t* terms, ParagraphHitCallback callback, uintptr_t context);
