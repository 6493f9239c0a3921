#pragma once
// Rows of one query answer held in one growing text buffer, so collecting a
// query costs no allocation per row and the lists can be filled from it later.
#include <stddef.h>
#include <stdint.h>

struct RowStore {
    wchar_t* text;      // every row, each with its terminating NUL
    size_t used;        // units in use
    size_t capacity;    // units allocated
    uint32_t* starts;   // offset of each row in text
    int count;
    int rowCapacity;
};

// Forgets the rows but keeps the buffers for the next answer.
void RowStoreClear(RowStore* store);
// 0 when the row was kept, 1 when memory for it could not be had.
int RowStoreAppend(RowStore* store, const wchar_t* row);
// The row at index, or null outside 0..count-1.
const wchar_t* RowStoreRow(const RowStore* store, int index);
void RowStoreFree(RowStore* store);
// 1 when both hold the same rows in the same order (two empty stores alike).
int RowStoreSame(const RowStore* a, const RowStore* b);
// Exchanges the two stores' rows and buffers.
void RowStoreSwap(RowStore* a, RowStore* b);
