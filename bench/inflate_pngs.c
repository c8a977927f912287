/* inflate_pngs LIST: reads every PNG named in LIST (one path a line) whole,
 * walks its chunks and inflates the data of its IDAT chunks, one z_stream
 * reset for each file.
 *
 * The floor of a build from PNGs: any PNG reader must at least read each
 * file and inflate its pixels, so tesspack's time is shown as a multiple of
 * this program's. It checks no CRC and keeps nothing it inflates. */
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>
#include <zlib.h>

static unsigned long big_endian(const unsigned char* at)
{
    return (unsigned long)at[0] << 24 | (unsigned long)at[1] << 16 | (unsigned long)at[2] << 8 | at[3];
}

int main(int argc, char** argv)
{
    if (argc != 2) return 2;
    FILE* list = fopen(argv[1], "r");
    if (!list) return 1;
    static unsigned char file[1 << 20];
    static unsigned char pixels[1 << 20];
    char path[4096];
    z_stream stream;
    memset(&stream, 0, sizeof stream);
    if (inflateInit(&stream) != Z_OK) return 1;
    unsigned long total = 0;
    while (fgets(path, sizeof path, list)) {
        path[strcspn(path, "\n")] = 0;
        const int fd = open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0) return 1;
        size_t size = 0;
        ssize_t got;
        while ((got = read(fd, file + size, sizeof file - size)) > 0) size += (size_t)got;
        close(fd);
        if (got < 0 || size < 8) return 1;
        if (inflateReset(&stream) != Z_OK) return 1;
        stream.next_out = pixels;
        stream.avail_out = sizeof pixels;
        int status = Z_OK;
        for (size_t at = 8; at + 12 <= size && status == Z_OK;) {
            const unsigned long length = big_endian(file + at);
            if (length > size - at - 12) return 1;
            if (memcmp(file + at + 4, "IDAT", 4) == 0) {
                stream.next_in = file + at + 8;
                stream.avail_in = (uInt)length;
                status = inflate(&stream, Z_NO_FLUSH);
                if (status == Z_BUF_ERROR && stream.avail_in == 0) status = Z_OK;
            }
            at += 12 + length;
        }
        if (status != Z_STREAM_END) return 1;
        total += stream.total_out;
    }
    fclose(list);
    inflateEnd(&stream);
    return total > 0 ? 0 : 1;
}
