/* floor.c — the cost no JPEG shrinker can go below.
 *
 * For each JPEG larger than the target box: decode it with libjpeg-turbo at the
 * smallest DCT scale (M/8) whose output still covers the fitted size, box-average
 * down to the fitted size, encode at the given quality and replace the file.
 * Files are shared out over N threads. Everything a real tool adds on top
 * (metadata, a better filter, checks) is its own overhead above this line.
 *
 * Usage: floor [-j THREADS] [-q QUALITY] WIDTHxHEIGHT FILE...
 * Exit status: 0 when every file was handled, 1 when any failed, 2 on bad usage.
 */
#include <errno.h>
#include <math.h>
#include <pthread.h>
#include <setjmp.h>
#include <stdatomic.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* jpeglib.h needs FILE and size_t declared before it. */
#include <jpeglib.h>

struct Job {
    char** files;
    int count;
    int targetWidth;
    int targetHeight;
    int quality;
    atomic_int next;
    atomic_int failed;
};

struct ErrorManager {
    struct jpeg_error_mgr base;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

static void onJpegError(j_common_ptr info) {
    struct ErrorManager* errors = (struct ErrorManager*)info->err;
    info->err->format_message(info, errors->message);
    longjmp(errors->jump, 1);
}

/* The same fit rule as the program: the side with the larger ratio takes the
 * target's value, the other is rounded half to even (rint in the default
 * rounding mode), and never below 1. */
static int fitInside(int width, int height, int targetWidth, int targetHeight, int* fitWidth,
                     int* fitHeight) {
    if (width <= targetWidth && height <= targetHeight)
        return 0;
    double ratioWidth = (double)width / targetWidth;
    double ratioHeight = (double)height / targetHeight;
    if (ratioWidth < ratioHeight) {
        *fitHeight = targetHeight;
        *fitWidth = (int)rint(((double)targetHeight / height) * width);
    } else {
        *fitWidth = targetWidth;
        *fitHeight = (int)rint(height * ((double)targetWidth / width));
    }
    if (*fitWidth < 1)
        *fitWidth = 1;
    if (*fitHeight < 1)
        *fitHeight = 1;
    return 1;
}

/* Area average of the decoded pixels onto the fitted grid. */
static void boxResize(const unsigned char* source, int sourceWidth, int sourceHeight,
                      unsigned char* target, int targetWidth, int targetHeight, int components) {
    for (int y = 0; y < targetHeight; y++) {
        int y0 = (int)((long long)y * sourceHeight / targetHeight);
        int y1 = (int)((long long)(y + 1) * sourceHeight / targetHeight);
        if (y1 <= y0)
            y1 = y0 + 1;
        for (int x = 0; x < targetWidth; x++) {
            int x0 = (int)((long long)x * sourceWidth / targetWidth);
            int x1 = (int)((long long)(x + 1) * sourceWidth / targetWidth);
            if (x1 <= x0)
                x1 = x0 + 1;
            unsigned sums[4] = {0, 0, 0, 0};
            for (int sy = y0; sy < y1; sy++) {
                const unsigned char* row = source + ((size_t)sy * sourceWidth + x0) * components;
                for (int sx = x0; sx < x1; sx++)
                    for (int c = 0; c < components; c++)
                        sums[c] += *row++;
            }
            unsigned area = (unsigned)((y1 - y0) * (x1 - x0));
            unsigned char* out = target + ((size_t)y * targetWidth + x) * components;
            for (int c = 0; c < components; c++)
                out[c] = (unsigned char)((sums[c] + area / 2) / area);
        }
    }
}

/* No locals that must survive a longjmp live here except the handles, which the
 * caller owns and destroys. */
static int decodeScaled(struct jpeg_decompress_struct* decoder, struct ErrorManager* errors,
                        FILE* input, int targetWidth, int targetHeight, unsigned char** pixels,
                        int* width, int* height, int* components, J_COLOR_SPACE* space,
                        int* fitWidth, int* fitHeight) {
    if (setjmp(errors->jump))
        return -1;
    jpeg_stdio_src(decoder, input);
    jpeg_read_header(decoder, TRUE);
    if (!fitInside((int)decoder->image_width, (int)decoder->image_height, targetWidth, targetHeight,
                   fitWidth, fitHeight))
        return 0;
    decoder->scale_denom = 8;
    for (unsigned scale = 1; scale <= 8; scale++) {
        decoder->scale_num = scale;
        jpeg_calc_output_dimensions(decoder);
        if ((int)decoder->output_width >= *fitWidth && (int)decoder->output_height >= *fitHeight)
            break;
    }
    jpeg_start_decompress(decoder);
    *width = (int)decoder->output_width;
    *height = (int)decoder->output_height;
    *components = decoder->output_components;
    *space = decoder->out_color_space;
    size_t stride = (size_t)*width * *components;
    *pixels = malloc(stride * *height);
    if (!*pixels) {
        snprintf(errors->message, sizeof errors->message, "out of memory");
        return -1;
    }
    while (decoder->output_scanline < decoder->output_height) {
        JSAMPROW row = *pixels + stride * decoder->output_scanline;
        jpeg_read_scanlines(decoder, &row, 1);
    }
    jpeg_finish_decompress(decoder);
    return 1;
}

static int encode(struct jpeg_compress_struct* encoder, struct ErrorManager* errors, FILE* output,
                  const unsigned char* pixels, int width, int height, int components,
                  J_COLOR_SPACE space, int quality) {
    if (setjmp(errors->jump))
        return -1;
    jpeg_stdio_dest(encoder, output);
    encoder->image_width = (JDIMENSION)width;
    encoder->image_height = (JDIMENSION)height;
    encoder->input_components = components;
    encoder->in_color_space = space;
    jpeg_set_defaults(encoder);
    jpeg_set_quality(encoder, quality, TRUE);
    jpeg_start_compress(encoder, TRUE);
    size_t stride = (size_t)width * components;
    while (encoder->next_scanline < encoder->image_height) {
        JSAMPROW row = (JSAMPROW)(pixels + stride * encoder->next_scanline);
        jpeg_write_scanlines(encoder, &row, 1);
    }
    jpeg_finish_compress(encoder);
    return 1;
}

static int shrinkFile(const char* path, const struct Job* job) {
    struct ErrorManager errors;
    struct jpeg_decompress_struct decoder;
    decoder.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onJpegError;
    errors.message[0] = '\0';
    jpeg_create_decompress(&decoder);

    FILE* input = fopen(path, "rb");
    if (!input) {
        fprintf(stderr, "floor: %s: %s\n", path, strerror(errno));
        jpeg_destroy_decompress(&decoder);
        return -1;
    }
    unsigned char* pixels = NULL;
    int width = 0, height = 0, components = 0, fitWidth = 0, fitHeight = 0;
    J_COLOR_SPACE space = JCS_UNKNOWN;
    int decoded =
        decodeScaled(&decoder, &errors, input, job->targetWidth, job->targetHeight, &pixels, &width,
                     &height, &components, &space, &fitWidth, &fitHeight);
    jpeg_destroy_decompress(&decoder);
    fclose(input);
    if (decoded <= 0) {
        if (decoded < 0)
            fprintf(stderr, "floor: %s: %s\n", path, errors.message);
        free(pixels);
        return decoded;
    }

    unsigned char* fitted = malloc((size_t)fitWidth * fitHeight * components);
    if (!fitted) {
        fprintf(stderr, "floor: %s: out of memory\n", path);
        free(pixels);
        return -1;
    }
    boxResize(pixels, width, height, fitted, fitWidth, fitHeight, components);
    free(pixels);

    /* Encode beside the file and rename over it, as a careful tool would. */
    size_t length = strlen(path) + sizeof ".floor-tmp";
    char* temporary = malloc(length);
    if (!temporary) {
        free(fitted);
        return -1;
    }
    snprintf(temporary, length, "%s.floor-tmp", path);
    FILE* output = fopen(temporary, "wb");
    int result = -1;
    if (!output) {
        fprintf(stderr, "floor: %s: %s\n", temporary, strerror(errno));
    } else {
        struct jpeg_compress_struct encoder;
        encoder.err = jpeg_std_error(&errors.base);
        errors.base.error_exit = onJpegError;
        jpeg_create_compress(&encoder);
        int encoded = encode(&encoder, &errors, output, fitted, fitWidth, fitHeight, components,
                             space, job->quality);
        jpeg_destroy_compress(&encoder);
        int closed = fclose(output);
        if (encoded < 0)
            fprintf(stderr, "floor: %s: %s\n", path, errors.message);
        else if (closed != 0 || rename(temporary, path) != 0)
            fprintf(stderr, "floor: %s: %s\n", path, strerror(errno));
        else
            result = 1;
        if (result < 0)
            remove(temporary);
    }
    free(temporary);
    free(fitted);
    return result;
}

static void* worker(void* argument) {
    struct Job* job = argument;
    for (;;) {
        int index = atomic_fetch_add(&job->next, 1);
        if (index >= job->count)
            return NULL;
        if (shrinkFile(job->files[index], job) < 0)
            atomic_fetch_add(&job->failed, 1);
    }
}

static int usage(void) {
    fprintf(stderr, "usage: floor [-j THREADS] [-q QUALITY] WIDTHxHEIGHT FILE...\n");
    return 2;
}

int main(int argc, char** argv) {
    int threads = 2, quality = 92, argument = 1;
    for (; argument + 1 < argc && argv[argument][0] == '-'; argument += 2) {
        if (strcmp(argv[argument], "-j") == 0)
            threads = atoi(argv[argument + 1]);
        else if (strcmp(argv[argument], "-q") == 0)
            quality = atoi(argv[argument + 1]);
        else
            return usage();
    }
    struct Job job;
    if (argument >= argc ||
        sscanf(argv[argument], "%dx%d", &job.targetWidth, &job.targetHeight) != 2 ||
        job.targetWidth < 1 || job.targetHeight < 1 || threads < 1 || quality < 1 || quality > 100)
        return usage();
    job.files = argv + argument + 1;
    job.count = argc - argument - 1;
    job.quality = quality;
    atomic_init(&job.next, 0);
    atomic_init(&job.failed, 0);

    pthread_t ids[64];
    if (threads > 64)
        threads = 64;
    int started = 0;
    for (; started < threads; started++)
        if (pthread_create(&ids[started], NULL, worker, &job) != 0)
            break;
    if (started == 0)
        worker(&job);
    for (int i = 0; i < started; i++)
        pthread_join(ids[i], NULL);
    return atomic_load(&job.failed) ? 1 : 0;
}
