/* The floor of a listing: the least a lister of a ZIP archive has to do.
 * Finds the end record, reads the central directory in one piece, and prints
 * one row per central header (stored name, compressed size, size, date and
 * time) in arcpeek's column layout, the name as stored, with no encoding
 * detection, conversion, checks or tables. The benchmarks time it beside
 * arcpeek so that arcpeek's own work shows as a ratio.
 *
 *     cc -O2 -o floor_walk bench/floor_walk.c && ./floor_walk ARCHIVE
 *     ./floor_walk --tables ARCHIVE    # the same, through per-entry tables
 */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static uint32_t le16(const unsigned char* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8;
}

static uint32_t le32(const unsigned char* p) {
    return le16(p) | le16(p + 2) << 16;
}

/* Right-aligned decimal with thousands separators in a 12-character column. */
static char* put_size(char* out, uint32_t value) {
    char digits[16];
    int n = 0, groups = 0;
    do {
        if (groups == 3) {
            digits[n++] = ',';
            groups = 0;
        }
        digits[n++] = (char)('0' + value % 10);
        value /= 10;
        ++groups;
    } while (value != 0);
    for (int i = n; i < 12; ++i)
        *out++ = ' ';
    while (n > 0)
        *out++ = digits[--n];
    return out;
}

static char* put2(char* out, unsigned v) {
    out[0] = (char)('0' + v / 10 % 10);
    out[1] = (char)('0' + v % 10);
    return out + 2;
}

/* One listing row: the name as given, both sizes, date and time. */
static char* put_row(char* o, const unsigned char* name, uint32_t n, uint32_t csize,
                     uint32_t usize, uint32_t d, uint32_t t) {
    memcpy(o, name, n);
    o += n;
    for (uint32_t i = n; i < 48; ++i)
        *o++ = ' ';
    o = put_size(o, csize);
    *o++ = ' ';
    o = put_size(o, usize);
    *o++ = ' ';
    unsigned year = 1980 + (d >> 9);
    o = put2(o, year / 100);
    o = put2(o, year % 100);
    *o++ = '/';
    o = put2(o, d >> 5 & 15);
    *o++ = '/';
    o = put2(o, d & 31);
    *o++ = ' ';
    o = put2(o, t >> 11);
    *o++ = ':';
    o = put2(o, t >> 5 & 63);
    *o++ = ':';
    o = put2(o, (t & 31) * 2);
    *o++ = '\n';
    return o;
}

/* With --tables: the per-entry table that arcpeek's data model asks of any
 * lister that reads the whole directory before it shows a row: a record of
 * 64 bytes (the 46-byte header, its flags and one reference to the texts),
 * and the names held in a pool. The date is split as each row is printed.
 * Nothing is detected or converted; the rows are printed from the table. */
struct record {
    unsigned char header[46];
    unsigned char flags[10];
    const unsigned char* name;
};

/* Reads the directory through a window of 64 KiB, as arcpeek does, into the
 * tables, then prints the rows from them. */
static int list_through_tables(FILE* f, uint32_t count, uint32_t dirSize) {
    enum { Window = 1 << 16, Longest = 46 + 3 * 65535 };
    unsigned char* window = malloc(Window + Longest);
    struct record* records = malloc(count * sizeof *records);
    unsigned char* pool = malloc((size_t)count * 1024);
    if (!window || !records || !pool)
        return 1;
    unsigned char* cursor = pool;
    size_t held = 0, taken = 0, read = 0;
    uint32_t k = 0;
    while (k < count) {
        if (held - taken < 46 || held - taken < 46 + (size_t)le16(window + taken + 28) +
                                                   le16(window + taken + 30) +
                                                   le16(window + taken + 32)) {
            memmove(window, window + taken, held - taken);
            held -= taken;
            taken = 0;
            size_t want = dirSize - read < Window ? dirSize - read : Window;
            if (want == 0 || fread(window + held, 1, want, f) != want)
                break;
            read += want;
            held += want;
            continue;
        }
        const unsigned char* h = window + taken;
        if (le32(h) != 0x02014B50)
            break;
        uint32_t n = le16(h + 28), x = le16(h + 30), c = le16(h + 32);
        memcpy(records[k].header, h, 46);
        memset(records[k].flags, 0, sizeof records[k].flags);
        records[k].name = cursor;
        memcpy(cursor, h + 46, n);
        cursor[n] = 0;
        cursor += n + 1;
        taken += 46 + n + x + c;
        ++k;
    }
    fclose(f);

    size_t cap = 1 << 16;
    char* out = malloc(cap + 65536 + 128);
    size_t used = 0;
    for (uint32_t i = 0; i < k; ++i) {
        const unsigned char* h = records[i].header;
        char* o = put_row(out + used, records[i].name, le16(h + 28), le32(h + 20), le32(h + 24),
                          le16(h + 14), le16(h + 12));
        used = (size_t)(o - out);
        if (used >= cap) {
            fwrite(out, 1, used, stdout);
            used = 0;
        }
    }
    fwrite(out, 1, used, stdout);
    free(out);
    free(pool);
    free(records);
    free(window);
    return 0;
}

int main(int argc, char** argv) {
    int tables = argc == 3 && strcmp(argv[1], "--tables") == 0;
    if (argc != 2 + tables)
        return 2;
    FILE* f = fopen(argv[1 + tables], "rb");
    if (!f || fseek(f, 0, SEEK_END) != 0)
        return 1;
    long size = ftell(f);
    long tail = size < 65557 ? size : 65557;
    unsigned char* end = malloc((size_t)tail);
    if (!end || fseek(f, size - tail, SEEK_SET) != 0 || fread(end, 1, (size_t)tail, f) != (size_t)tail)
        return 1;
    long at = tail - 22;
    while (at >= 0 && le32(end + at) != 0x06054B50)
        --at;
    if (at < 0)
        return 1;
    uint32_t count = le16(end + at + 10);
    uint32_t dirSize = le32(end + at + 12);
    uint32_t dirOffset = le32(end + at + 16);
    if (fseek(f, (long)dirOffset, SEEK_SET) != 0)
        return 1;
    if (tables) {
        free(end);
        return list_through_tables(f, count, dirSize);
    }
    unsigned char* dir = malloc(dirSize);
    if (!dir || fread(dir, 1, dirSize, f) != dirSize)
        return 1;
    fclose(f);

    size_t cap = 1 << 16;
    char* out = malloc(cap + 65536 + 128); /* room for the longest row */
    size_t used = 0;
    for (size_t p = 0; p + 46 <= dirSize && le32(dir + p) == 0x02014B50;) {
        const unsigned char* h = dir + p;
        uint32_t n = le16(h + 28), x = le16(h + 30), c = le16(h + 32);
        char* o = put_row(out + used, h + 46, n, le32(h + 20), le32(h + 24), le16(h + 14),
                          le16(h + 12));
        used = (size_t)(o - out);
        if (used >= cap) {
            fwrite(out, 1, used, stdout);
            used = 0;
        }
        p += 46 + n + x + c;
    }
    fwrite(out, 1, used, stdout);
    free(out);
    free(dir);
    free(end);
    return 0;
}
