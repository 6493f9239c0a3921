#pragma once
// Paragraphs of one report, by its exact article title, in corpus order.
#include "search/corpus_db.h"

int QueryReportParagraphs(const wchar_t* title, RowCallback callback, uintptr_t context);
