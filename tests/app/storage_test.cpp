#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>

#include "app/storage.h"
#include "search/corpus_db.h"

static long NoPackage(unsigned int*, wchar_t*) { return 15700; }

TEST(Storage, PlainModeDataBesideExeAndTempNotCreated) {
    ResetAppPathsForTest();
    SetPackageNameLookupForTest(NoPackage, 1);
    EXPECT_EQ(IsPackagedApp(), 0);
    char db[260], pkg[260], temp[260];
    ASSERT_EQ(GetDatabasePath(db, sizeof db), 1);
    ASSERT_EQ(GetPackagePath(pkg, sizeof pkg), 1);
    ASSERT_EQ(GetTempDir(temp, sizeof temp), 1);
    EXPECT_NE(strstr(db, "\\data\\app.db"), nullptr);
    EXPECT_NE(strstr(pkg, "\\data\\app.db.7z.enc"), nullptr);
    char one[1] = {'x'};
    EXPECT_EQ(GetTempDir(one, 1), 1);
    EXPECT_EQ(one[0], 0);
    EXPECT_EQ(GetTempDir(one, 0), 0);
    EXPECT_EQ(GetDataFilePath(nullptr, db, sizeof db), 0);
}

TEST(Corpus, LikeFilterEscapesAndJoins) {
    char out[1024];
    EXPECT_FALSE(BuildLikeFilter("   ", "c", out, sizeof out));
    ASSERT_TRUE(BuildLikeFilter("  a'b  50%_\\ ", "c", out, sizeof out));
    EXPECT_STREQ(out, "c LIKE '%a''b%' ESCAPE '\\' AND c LIKE '%50\\%\\_\\\\%' ESCAPE '\\'");
}

TEST(Corpus, QueriesWhileClosedReportNotOpen) {
    EXPECT_EQ(QueryWords(L"x", [](const wchar_t*, uintptr_t) {}, 0), CORPUS_ERR_NOT_OPEN);
    EXPECT_STREQ(CorpusLastError(), "Database not initialized");
    EXPECT_STREQ(CorpusPassphrase(), "Mz7qPx4LwN2vRt9K");
}
