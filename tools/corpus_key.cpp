// Encrypts a plain corpus database in place with the corpus passphrase, as the
// installer does, so tests and the demo get a database the program can open.
#include <stdio.h>

#include "corpus/corpus_db.h"
#include "sqlite3.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: corpus_key DATABASE\n");
        return 2;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open(argv[1], &db) != SQLITE_OK) {
        fprintf(stderr, "cannot open %s: %s\n", argv[1], db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close(db);
        return 1;
    }
    char sql[64];
    snprintf(sql, sizeof sql, "PRAGMA rekey = '%s';", CorpusPassphrase());
    int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) fprintf(stderr, "rekey failed: %s\n", sqlite3_errmsg(db));
    sqlite3_close(db);
    return rc == SQLITE_OK ? 0 : 1;
}
