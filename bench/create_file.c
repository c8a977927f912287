/* create_file PATH: creates or truncates PATH and writes one byte into it.
 *
 * A reference beside the do-nothing floor: the start of a process plus the one
 * file creation that tessenc and tessdec each cannot avoid. On a journalling
 * file system, truncating an existing file can wait on the journal, and that
 * wait shows here as it does in the programs measured. */
#include <stdio.h>

int main(int argc, char** argv)
{
    if (argc != 2) return 2;
    FILE* file = fopen(argv[1], "wb");
    if (!file) return 1;
    fputc('x', file);
    return fclose(file) == 0 ? 0 : 1;
}
