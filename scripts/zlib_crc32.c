/* The benchmark's rival for the CRC command: zlib's crc32() over a file read in the same
   256 KiB blocks, printed as the updater's box shows it. Built by scripts/bench-crc only. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>
#include <zlib.h>

int main(int argc, char** argv) {
    static unsigned char block[256 * 1024];
    if (argc != 2) return 2;
    int fd = open(argv[1], O_RDONLY);
    if (fd < 0) return 1;
    uLong crc = crc32(0L, Z_NULL, 0);
    ssize_t n;
    while ((n = read(fd, block, sizeof block)) > 0) crc = crc32_z(crc, block, (size_t)n);
    close(fd);
    if (n < 0) return 1;
    printf("0x%08lX\n", crc);
    return 0;
}
