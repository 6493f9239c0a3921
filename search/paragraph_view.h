#pragma once
// The read-only rich-text view of the paragraphs holding a short sentence.
#include <windows.h>

void LoadRichEditLibrary();
void CreateParagraphView(HWND parent, HINSTANCE instance);
void ShowParagraphsForClause(const wchar_t* text);
// Shows every paragraph of the report titled "%d年%s" (year, report name of the index).
void ShowReportParagraphs(int year, int reportIndex);
const wchar_t* ReportNameForIndex(int index);
void ClearParagraphView();
void SetParagraphHeaderCount(int count);
void RenderParagraphText(const wchar_t* text);
int OnParagraphContextMenu(HWND owner, LPARAM lParam);
void ReleaseParagraphView();
void RefreshParagraphViewFont();
HWND GetParagraphViewHandle();
HWND GetParagraphHeaderHandle();
