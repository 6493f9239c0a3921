#pragma once
// Paragraphs of one report, by its exact article title, in corpus order.
#include "search/corpus_db.h"

// Opens a second read-only keyed connection for the report query.
int CorpusReportsOpen(const char* path);
void CorpusReportsClose();
// Rows in the "[TITLE]《title》：[/TITLE]paragraph" form.
int QueryReportParagraphs(const wchar_t* title, RowCallback callback, uintptr_t context);
