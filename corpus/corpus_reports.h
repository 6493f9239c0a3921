#pragma once
// Paragraphs of one report, by its exact article title, in corpus order.
#include "corpus/corpus_db.h"

// Runs on the corpus connection. Rows come in the paragraph query's form,
// "[TITLE]《title》：[/TITLE]paragraph", with its limits: a paragraph that
// needs more than 2047 units, or a title more than 255, is not delivered.
int QueryReportParagraphs(const wchar_t* title, RowCallback callback, uintptr_t context);
