/* Writes the picture files bench/measure_memory.sh feeds to lumavo-cli:
 *
 *   hostile_files png  OUT WIDTH HEIGHT DEPTH COLOURTYPE   a PNG of zero samples
 *   hostile_files gradient-png OUT WIDTH HEIGHT            an 8-bit RGB PNG with content
 *   hostile_files gradient-jpeg OUT WIDTH HEIGHT           a JPEG with content
 *   hostile_files claim-jpeg OUT WIDTH HEIGHT              1.6 KB of a JPEG whose header
 *                                                          claims the size, then an end marker
 *
 * Rows are written one at a time: nothing of the picture is held whole. */
/* jpeglib.h needs stdio.h before it. */
/* clang-format off */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <jpeglib.h>
#include <zlib.h>
/* clang-format on */

static void put32(unsigned char* p, uint32_t v)
{
    p[0] = (unsigned char)(v >> 24);
    p[1] = (unsigned char)(v >> 16);
    p[2] = (unsigned char)(v >> 8);
    p[3] = (unsigned char)v;
}

static void chunk(FILE* f, const char* type, const unsigned char* body, uint32_t length)
{
    unsigned char head[8];
    put32(head, length);
    memcpy(head + 4, type, 4);
    fwrite(head, 1, 8, f);
    if (length)
        fwrite(body, 1, length, f);
    uLong crc = crc32(0, (const Bytef*)type, 4);
    if (length) /* a null buffer would reset the sum */
        crc = crc32(crc, body, length);
    unsigned char tail[4];
    put32(tail, (uint32_t)crc);
    fwrite(tail, 1, 4, f);
}

typedef void (*row_filler)(unsigned char* row, uint32_t width, uint32_t y);

static void zero_row(unsigned char* row, uint32_t width, uint32_t y)
{
    (void)row;
    (void)width;
    (void)y;
}

static void gradient_row(unsigned char* row, uint32_t width, uint32_t y)
{
    for (uint32_t x = 0; x < width; ++x) {
        row[3 * x] = (unsigned char)(x * 255 / width);
        row[3 * x + 1] = (unsigned char)(y / 7);
        row[3 * x + 2] = (unsigned char)((x + y) / 11);
    }
}

static int write_png(const char* path, uint32_t width, uint32_t height, int depth, int colour, row_filler fill)
{
    const int samples = colour == 2 ? 3 : colour == 4 ? 2 : colour == 6 ? 4 : 1;
    const size_t row_bytes = ((size_t)width * samples * depth + 7) / 8;
    FILE* f = fopen(path, "wb");
    unsigned char* row = calloc(row_bytes + 1, 1);
    unsigned char* out = malloc(1 << 20);
    if (!f || !row || !out)
        return 1;
    fwrite("\x89PNG\r\n\x1a\n", 1, 8, f);
    unsigned char ihdr[13] = { 0 };
    put32(ihdr, width);
    put32(ihdr + 4, height);
    ihdr[8] = (unsigned char)depth;
    ihdr[9] = (unsigned char)colour;
    chunk(f, "IHDR", ihdr, 13);
    z_stream z;
    memset(&z, 0, sizeof z);
    deflateInit(&z, 1);
    for (uint32_t y = 0; y < height; ++y) {
        fill(row + 1, width, y);
        z.next_in = row;
        z.avail_in = (uInt)(row_bytes + 1);
        do {
            z.next_out = out;
            z.avail_out = 1 << 20;
            deflate(&z, y + 1 == height ? Z_FINISH : Z_NO_FLUSH);
            if ((1 << 20) - z.avail_out)
                chunk(f, "IDAT", out, (1 << 20) - z.avail_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    chunk(f, "IEND", NULL, 0);
    free(row);
    free(out);
    return fclose(f) != 0;
}

static int write_jpeg(
    const char* path, uint32_t width, uint32_t height, size_t keep, uint32_t claimWidth, uint32_t claimHeight)
{
    struct jpeg_compress_struct info;
    struct jpeg_error_mgr errors;
    unsigned char* buffer = NULL;
    unsigned long size = 0;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 85, TRUE);
    jpeg_start_compress(&info, TRUE);
    unsigned char* row = malloc((size_t)width * 3);
    for (uint32_t y = 0; y < height; ++y) {
        gradient_row(row, width, y);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    free(row);
    if (keep && keep + 2 < size) {
        /* Cut, end marker put back, and the frame made to claim another size. */
        for (size_t i = 0; i + 9 < keep; ++i) {
            if (buffer[i] == 0xFF && buffer[i + 1] == 0xC0) {
                buffer[i + 5] = (unsigned char)(claimHeight >> 8);
                buffer[i + 6] = (unsigned char)claimHeight;
                buffer[i + 7] = (unsigned char)(claimWidth >> 8);
                buffer[i + 8] = (unsigned char)claimWidth;
                break;
            }
        }
        buffer[keep] = 0xFF;
        buffer[keep + 1] = 0xD9;
        size = keep + 2;
    }
    FILE* f = fopen(path, "wb");
    if (!f)
        return 1;
    fwrite(buffer, 1, size, f);
    free(buffer);
    return fclose(f) != 0;
}

int main(int argc, char** argv)
{
    if (argc >= 7 && strcmp(argv[1], "png") == 0)
        return write_png(
            argv[2], (uint32_t)atol(argv[3]), (uint32_t)atol(argv[4]), atoi(argv[5]), atoi(argv[6]), zero_row);
    if (argc >= 5 && strcmp(argv[1], "gradient-png") == 0)
        return write_png(argv[2], (uint32_t)atol(argv[3]), (uint32_t)atol(argv[4]), 8, 2, gradient_row);
    if (argc >= 5 && strcmp(argv[1], "gradient-jpeg") == 0)
        return write_jpeg(argv[2], (uint32_t)atol(argv[3]), (uint32_t)atol(argv[4]), 0, 0, 0);
    if (argc >= 5 && strcmp(argv[1], "claim-jpeg") == 0)
        return write_jpeg(argv[2], 640, 480, 1600, (uint32_t)atol(argv[3]), (uint32_t)atol(argv[4]));
    fprintf(stderr, "usage: see the top of hostile_files.c\n");
    return 2;
}
