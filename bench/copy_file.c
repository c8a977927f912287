/* copy_file INPUT OUTPUT: reads INPUT whole and writes its bytes to OUTPUT.
 *
 * The floor tessenc and tessdec are held against: a process that starts, reads
 * one file and creates (or truncates) one file of the same size, with no work
 * in between. Built with `gcc -O2 -static`, like the programs it is compared
 * with, and reading and writing with plain system calls. */
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 3) return 2;
    const int in = open(argv[1], O_RDONLY);
    if (in < 0) return 1;
    struct stat status;
    if (fstat(in, &status) != 0) return 1;
    char* bytes = malloc(status.st_size > 0 ? (size_t)status.st_size : 1);
    if (!bytes) return 1;
    size_t size = 0;
    for (;;) {
        const ssize_t got = read(in, bytes + size, (size_t)status.st_size - size);
        if (got < 0) return 1;
        if (got == 0 || (size += (size_t)got) == (size_t)status.st_size) break;
    }
    close(in);
    const int out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (out < 0) return 1;
    for (size_t done = 0; done < size;) {
        const ssize_t put = write(out, bytes + done, size - done);
        if (put <= 0) return 1;
        done += (size_t)put;
    }
    return close(out) == 0 ? 0 : 1;
}
