/* Decodes an Ogg Vorbis file to raw PCM with ov_read: 16-bit signed little-endian,
 * channels interleaved, the layout of `oggdec -R`, so that a cross-built libvorbisfile
 * can be compared byte for byte with Debian's own decoder.
 * Usage: vorbis_decode_check IN.ogg OUT.raw (a file, not stdout: Windows' text mode and
 * emscripten's terminal layer would both alter binary output). */
#include <stdio.h>
#include <vorbis/vorbisfile.h>

int main(int argc, char **argv)
{
    OggVorbis_File vf;
    FILE *in, *out;
    char buf[4096];
    int section = 0;
    long n;
    long long total = 0;

    if (argc != 3) {
        fprintf(stderr, "usage: %s IN.ogg OUT.raw\n", argv[0]);
        return 2;
    }
    in = fopen(argv[1], "rb");
    if (!in) {
        perror(argv[1]);
        return 1;
    }
    /* Callbacks rather than ov_open: a FILE* must not cross CRTs on Windows. */
    if (ov_open_callbacks(in, &vf, NULL, 0, OV_CALLBACKS_NOCLOSE) < 0) {
        fprintf(stderr, "%s: not an Ogg Vorbis stream\n", argv[1]);
        return 1;
    }
    out = fopen(argv[2], "wb");
    if (!out) {
        perror(argv[2]);
        return 1;
    }
    while ((n = ov_read(&vf, buf, (int)sizeof buf, 0, 2, 1, &section)) != 0) {
        if (n < 0) {
            fprintf(stderr, "%s: decode error %ld\n", argv[1], n);
            return 1;
        }
        if (fwrite(buf, 1, (size_t)n, out) != (size_t)n) {
            perror(argv[2]);
            return 1;
        }
        total += n;
    }
    ov_clear(&vf);
    fclose(in);
    if (fclose(out) != 0) {
        perror(argv[2]);
        return 1;
    }
    fprintf(stderr, "%lld bytes\n", total);
    return 0;
}
