#include "search/row_store.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

void RowStoreClear(RowStore* store) {
    if (!store) return;
    store->used = 0;
    store->count = 0;
}

int RowStoreAppend(RowStore* store, const wchar_t* row) {
    if (!store || !row) return 1;
    size_t length = wcslen(row) + 1;
    if (store->used + length > store->capacity) {
        size_t capacity = store->capacity ? store->capacity : 65536;
        while (capacity < store->used + length) capacity *= 2;
        if (capacity > UINT32_MAX) return 1;
        wchar_t* grown = (wchar_t*)realloc(store->text, capacity * sizeof(wchar_t));
        if (!grown) return 1;
        store->text = grown;
        store->capacity = capacity;
    }
    if (store->count == store->rowCapacity) {
        int rows = store->rowCapacity ? store->rowCapacity * 2 : 4096;
        if (rows <= store->rowCapacity) return 1;
        uint32_t* grown = (uint32_t*)realloc(store->starts, (size_t)rows * sizeof(uint32_t));
        if (!grown) return 1;
        store->starts = grown;
        store->rowCapacity = rows;
    }
    wmemcpy(store->text + store->used, row, length);
    store->starts[store->count++] = (uint32_t)store->used;
    store->used += length;
    return 0;
}

const wchar_t* RowStoreRow(const RowStore* store, int index) {
    if (!store || index < 0 || index >= store->count) return nullptr;
    return store->text + store->starts[index];
}

void RowStoreFree(RowStore* store) {
    if (!store) return;
    free(store->text);
    free(store->starts);
    memset(store, 0, sizeof *store);
}

int RowStoreSame(const RowStore* a, const RowStore* b) {
    if (!a || !b) return 0;
    if (a->count != b->count || a->used != b->used) return 0;
    if (a->count == 0) return 1;
    // Rows lie end to end, so equal texts with their NULs in place are the same rows.
    return wmemcmp(a->text, b->text, a->used) == 0;
}

void RowStoreSwap(RowStore* a, RowStore* b) {
    if (!a || !b) return;
    RowStore kept = *a;
    *a = *b;
    *b = kept;
}
