/* Loaded before the updater (LD_PRELOAD) where the crash explorer has rebuilt a folder as a
 * power cut could have left it: the rebuilt files are new inodes, with new numbers and birth
 * times, while the journal names each entry by the identity it had in the run that was cut
 * off. This gives each rebuilt inode that identity back in what statx tells, from the table
 * the explorer writes (one line per inode: number as rebuilt, number and birth time in
 * nanoseconds as recorded), at the path in UPDATER_IDENTITY_MAP. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

struct mapping {
    unsigned long long rebuilt, number, birth;
};

static struct mapping* table;
static size_t entries;
static int loaded;

static void load(void) {
    loaded = 1;
    const char* path = getenv("UPDATER_IDENTITY_MAP");
    FILE* file = path ? fopen(path, "r") : NULL;
    if (!file) return;
    size_t capacity = 0;
    struct mapping m;
    while (fscanf(file, "%llu %llu %llu", &m.rebuilt, &m.number, &m.birth) == 3) {
        if (entries == capacity) {
            capacity = capacity ? capacity * 2 : 64;
            struct mapping* grown = realloc(table, capacity * sizeof *table);
            if (!grown) abort(); /* a test tool with no memory cannot give a true answer */
            table = grown;
        }
        table[entries++] = m;
    }
    fclose(file);
}

int statx(int dirfd, const char* path, int flags, unsigned int mask, struct statx* out) {
    static int (*real)(int, const char*, int, unsigned int, struct statx*);
    if (!real) real = (int (*)(int, const char*, int, unsigned int, struct statx*))dlsym(RTLD_NEXT, "statx");
    const int result = real(dirfd, path, flags, mask, out);
    if (result != 0) return result;
    if (!loaded) load();
    for (size_t i = 0; i < entries; ++i) {
        if (table[i].rebuilt != out->stx_ino) continue;
        out->stx_ino = table[i].number;
        out->stx_btime.tv_sec = (long long)(table[i].birth / 1000000000u);
        out->stx_btime.tv_nsec = (unsigned)(table[i].birth % 1000000000u);
        if (table[i].birth) out->stx_mask |= STATX_BTIME;
        else out->stx_mask &= ~STATX_BTIME;
        break;
    }
    return result;
}
