/* run_each STDIN LIST PROGRAM [ARGS...]
 *
 * For every line of LIST, runs `PROGRAM ARGS... LINE` with the file STDIN as
 * its standard input and waits for it, one process after the other: what a
 * script does to convert a set of files one program run a file, without a
 * shell's own cost between runs. Stops at the first run that fails. */
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>

extern char** environ;

int main(int argc, char** argv)
{
    if (argc < 4) {
        fputs("Usage: run_each STDIN LIST PROGRAM [ARGS...]\n", stderr);
        return 2;
    }
    FILE* list = fopen(argv[2], "r");
    if (!list) {
        perror(argv[2]);
        return 2;
    }
    const int fixed = argc - 3;
    char** args = calloc((size_t)fixed + 2, sizeof *args);
    if (!args) return 2;
    memcpy(args, argv + 3, (size_t)fixed * sizeof *args);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, argv[1], O_RDONLY, 0);

    char line[4096];
    while (fgets(line, sizeof line, list)) {
        line[strcspn(line, "\n")] = '\0';
        if (!line[0]) continue;
        args[fixed] = line;
        pid_t child;
        const int error = posix_spawn(&child, args[0], &actions, NULL, args, environ);
        if (error) {
            fprintf(stderr, "run_each: %s: %s\n", args[0], strerror(error));
            return 1;
        }
        int status;
        if (waitpid(child, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            fprintf(stderr, "run_each: %s %s failed\n", args[0], line);
            return 1;
        }
    }
    return 0;
}
