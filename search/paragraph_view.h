#pragma once
// The read-only rich-text view of the paragraphs holding a short sentence.
#include <windows.h>

#include "search/report_titles.h"

void LoadRichEditLibrary();
void CreateParagraphView(HWND parent, HINSTANCE instance);
void ShowParagraphsForClause(const wchar_t* text);
// Shows every paragraph of the report titled "%d年%s" (year, report name of the index).
void ShowReportParagraphs(int year, int reportIndex);
// That report's paragraphs holding every term, the terms highlighted.
void ShowReportParagraphsWithTerms(int year, int reportIndex, const wchar_t* terms);
// The selection, or with none the paragraph under the screen point (null: the
// caret's), as CF_UNICODETEXT with each part's report title; 1 when copied.
int CopyParagraphsWithSource(const POINT* screenPoint);
void ClearParagraphView();
void SetParagraphHeaderCount(int count);
void RenderParagraphText(const wchar_t* text);
int OnParagraphContextMenu(HWND owner, LPARAM lParam);
void ReleaseParagraphView();
void RefreshParagraphViewFont();
HWND GetParagraphViewHandle();
HWND GetParagraphHeaderHandle();
