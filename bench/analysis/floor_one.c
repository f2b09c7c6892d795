/* SPDX-License-Identifier: GPL-3.0-or-later */
/* The least a program can do to analyse one MP3 file: open it, read its first 16 KiB and its
 * last 128 bytes, close it. analysis_bench times its CPU against kestrelund-info on one file. */
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv) {
    static char buffer[16384];
    struct stat st;
    int fd;
    if (argc != 2) return 2;
    fd = open(argv[1], O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 1;
    if (fstat(fd, &st) == 0) {
        if (pread(fd, buffer, sizeof buffer, 0) < 0) return 1;
        if (st.st_size >= 128 && pread(fd, buffer, 128, st.st_size - 128) < 0) return 1;
    }
    close(fd);
    return 0;
}
