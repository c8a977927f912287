/* stdin_from FILE PROGRAM [ARGS...]
 *
 * Runs PROGRAM with FILE as its standard input, replacing itself through
 * execv (no shell, no fork). The benchmark uses it to give tessenc its scene
 * name when the installed hyperfine has no --input option. Its own cost, one
 * more exec of a tiny static program, is measured too: the benchmark also runs
 * `stdin_from FILE noop` as the floor for the commands started this way. */
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 3) {
        fputs("Usage: stdin_from FILE PROGRAM [ARGS...]\n", stderr);
        return 2;
    }
    const int fd = open(argv[1], O_RDONLY);
    if (fd < 0) {
        perror(argv[1]);
        return 2;
    }
    if (fd != 0) {
        if (dup2(fd, 0) < 0) {
            perror("dup2");
            return 2;
        }
        close(fd);
    }
    execv(argv[2], argv + 2);
    perror(argv[2]);
    return 127;
}
