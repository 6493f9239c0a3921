#include "corpus/row_text.h"

#include <stdio.h>
#include <string.h>

#include "corpus/text_convert.h"

int RowUnits(const char16_t* row) {
    int n = 0;
    while (row[n]) n++;
    return n;
}

int ComposeWordRow(int wordId, const char* word, char16_t* out) {
    char row[WORD_ROW_BYTES];
    int full = snprintf(row, sizeof row, "%d|%s", wordId, word);
    if (full < 0) return -1;
    if (full >= (int)sizeof row) {
        // Cut before the character the 255th byte would split.
        int prefix = snprintf(nullptr, 0, "%d|", wordId);
        int cut = (int)sizeof row - 1;
        for (int back = 0; back < 3 && cut > prefix; back++) {
            if (((unsigned char)word[cut - prefix] & 0xC0) != 0x80) break;
            cut--;
        }
        row[cut] = 0;
    }
    if (CorpusUtf8ToUtf16(row, out, TEXT_ROW_UNITS - 1) == 0) return -1;
    out[TEXT_ROW_UNITS - 1] = 0;
    return RowUnits(out);
}

int ComposeTextRow(const char* text, char16_t* out) {
    int n = CorpusUtf8ToUtf16(text, out, TEXT_ROW_UNITS - 1);
    return n == 0 ? -1 : n - 1;
}

static int Append(char16_t* out, int n, const char16_t* text) {
    while (*text && n < PARAGRAPH_ROW_UNITS - 1) out[n++] = *text++;
    return n;
}

int ComposeParagraphRow(const char* paragraph, const char* title, char16_t* out) {
    char16_t body[2048];
    int bodyUnits = CorpusUtf8ToUtf16(paragraph, body, 2047);
    if (bodyUnits == 0) return -1;
    char16_t wideTitle[256];
    if (title && title[0] && CorpusUtf8ToUtf16(title, wideTitle, 255) != 0) {
        int n = Append(out, 0, u"[TITLE]《");
        n = Append(out, n, wideTitle);
        n = Append(out, n, u"》：[/TITLE]");
        n = Append(out, n, body);
        out[n] = 0;
        return n;
    }
    memcpy(out, body, sizeof(char16_t) * (size_t)bodyUnits);
    return bodyUnits - 1;
}
