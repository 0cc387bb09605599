/* The floor of a listing: the least a lister of a ZIP archive has to do.
 * Finds the end record, reads the central directory in one piece, and prints
 * one row per central header (stored name, compressed size, size, date and
 * time) in arcpeek's column layout, the name as stored, with no encoding
 * detection, conversion, checks or tables. The benchmarks time it beside
 * arcpeek so that arcpeek's own work shows as a ratio.
 *
 *     cc -O2 -o floor_walk bench/floor_walk.c && ./floor_walk ARCHIVE
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

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    FILE* f = fopen(argv[1], "rb");
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
    uint32_t dirSize = le32(end + at + 12);
    uint32_t dirOffset = le32(end + at + 16);
    unsigned char* dir = malloc(dirSize);
    if (!dir || fseek(f, (long)dirOffset, SEEK_SET) != 0 || fread(dir, 1, dirSize, f) != dirSize)
        return 1;
    fclose(f);

    size_t cap = 1 << 16;
    char* out = malloc(cap + 65536 + 128); /* room for the longest row */
    size_t used = 0;
    for (size_t p = 0; p + 46 <= dirSize && le32(dir + p) == 0x02014B50;) {
        const unsigned char* h = dir + p;
        uint32_t n = le16(h + 28), x = le16(h + 30), c = le16(h + 32);
        uint32_t t = le16(h + 12), d = le16(h + 14);
        char* o = out + used;
        memcpy(o, h + 46, n);
        o += n;
        for (uint32_t i = n; i < 48; ++i)
            *o++ = ' ';
        o = put_size(o, le32(h + 20));
        *o++ = ' ';
        o = put_size(o, le32(h + 24));
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
