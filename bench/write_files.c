/* write_files FOLDER LIST: for every line "SIZE NAME" of LIST, creates a
 * temporary file in FOLDER, writes SIZE bytes into it, closes it and renames
 * it to NAME, as an atomic writer must.
 *
 * The floor of an unpack that writes as many files of the same sizes: its
 * time is shown as a multiple of this program's. */
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 3) return 2;
    const int folder = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    FILE* list = fopen(argv[2], "r");
    if (folder < 0 || !list) return 1;
    static char bytes[1 << 20];
    memset(bytes, 'x', sizeof bytes);
    char name[4096];
    unsigned long size;
    while (fscanf(list, "%lu %4095s", &size, name) == 2) {
        if (size > sizeof bytes) return 1;
        const int fd = openat(folder, ".write_files.tmp", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0 || write(fd, bytes, size) != (ssize_t)size || close(fd) != 0) return 1;
        if (renameat(folder, ".write_files.tmp", folder, name) != 0) return 1;
    }
    fclose(list);
    return 0;
}
