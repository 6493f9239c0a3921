#pragma once
// Whether a database holds the tables and columns the corpus queries read.
struct sqlite3;

// True when every corpus statement can be prepared on db. A SQLite file
// without them (an empty one, a foreign one) would only ever show empty lists.
bool CorpusTablesPresent(sqlite3* db);
