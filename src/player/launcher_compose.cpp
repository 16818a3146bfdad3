#include "player/launcher_compose.h"

#include "resources/byte_reader.h"

#include <cstdlib>
#include <cstring>

namespace player {

using resources::ByteReader;

namespace {

constexpr int32_t kMaxSide = 4096;

// The palette entry a colour key picks, as SDL maps a colour on a palettised surface: an exact
// match, else the nearest (the first of equals).
uint32_t nearest_palette_entry(const LauncherImage &image, LauncherRgb key) {
    uint32_t best = 0;
    int32_t best_distance = INT32_MAX;
    for (uint32_t i = 0; i < image.palette_size; i++) {
        int32_t dr = image.palette[i][0] - key.r, dg = image.palette[i][1] - key.g, db = image.palette[i][2] - key.b;
        int32_t d = dr * dr + dg * dg + db * db;
        if (d < best_distance) {
            best_distance = d;
            best = i;
        }
    }
    return best;
}

void blit(LauncherCanvas *canvas, LauncherPicture picture, int32_t x0, int32_t y0) {
    const LauncherImage &image = canvas->pictures[picture];
    if (!image.pixels) return; // a picture that did not load is left out
    bool keyed = kLauncherPictureSpecs[picture].colour_key;
    uint32_t key_index = image.palette_size ? nearest_palette_entry(image, kLauncherPanelFill) : 0;
    for (int32_t y = 0; y < image.height; y++) {
        int32_t ty = y0 + y;
        if (ty < 0 || ty >= kLauncherHeight) continue;
        for (int32_t x = 0; x < image.width; x++) {
            int32_t tx = x0 + x;
            if (tx < 0 || tx >= kLauncherWidth) continue;
            const uint8_t *rgb;
            size_t at = size_t(y) * size_t(image.width) + size_t(x);
            if (image.palette_size) {
                uint8_t index = image.pixels[at];
                if (keyed && index == key_index) continue;
                rgb = index < image.palette_size ? image.palette[index] : image.palette[0];
            } else {
                rgb = &image.pixels[at * 3];
                if (keyed && rgb[0] == kLauncherPanelFill.r && rgb[1] == kLauncherPanelFill.g &&
                    rgb[2] == kLauncherPanelFill.b)
                    continue;
            }
            uint8_t *out = &canvas->rgba[(size_t(ty) * kLauncherWidth + size_t(tx)) * 4];
            out[0] = rgb[0];
            out[1] = rgb[1];
            out[2] = rgb[2];
            out[3] = 255;
        }
    }
}

} // namespace

bool launcher_image_decode(const uint8_t *bytes, uint32_t size, LauncherImage *image) {
    *image = LauncherImage{};
    ByteReader r = resources::byte_reader_make(bytes, size);
    if (byte_reader_u16le(&r) != 0x4D42) return false; // "BM"
    byte_reader_take(&r, 8);
    uint32_t pixel_offset = byte_reader_u32le(&r);
    uint32_t header_size = byte_reader_u32le(&r);
    int32_t width = int32_t(byte_reader_u32le(&r));
    int32_t height = int32_t(byte_reader_u32le(&r));
    uint16_t planes = byte_reader_u16le(&r);
    uint16_t bits = byte_reader_u16le(&r);
    uint32_t compression = byte_reader_u32le(&r);
    byte_reader_take(&r, 12);
    uint32_t colours = byte_reader_u32le(&r);
    if (r.failed || header_size < 40 || planes != 1 || compression != 0) return false;
    if (bits != 4 && bits != 8 && bits != 24) return false;
    bool top_down = height < 0;
    if (top_down) height = height == INT32_MIN ? 0 : -height;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return false;

    if (bits <= 8) {
        uint32_t limit = 1u << bits;
        if (colours == 0 || colours > limit) colours = limit;
        r.position = 14 + size_t(header_size);
        for (uint32_t i = 0; i < colours; i++) {
            const uint8_t *e = byte_reader_take(&r, 4);
            if (!e) return false;
            image->palette[i][0] = e[2];
            image->palette[i][1] = e[1];
            image->palette[i][2] = e[0];
        }
        image->palette_size = colours;
    }
    uint32_t stride = (uint32_t(width) * bits + 31) / 32 * 4;
    if (pixel_offset > size || uint64_t(stride) * uint32_t(height) > size - pixel_offset) {
        *image = LauncherImage{};
        return false;
    }
    size_t bytes_per_pixel = bits == 24 ? 3 : 1;
    image->pixels = static_cast<uint8_t *>(std::malloc(size_t(width) * size_t(height) * bytes_per_pixel));
    if (!image->pixels) {
        *image = LauncherImage{};
        return false;
    }
    image->width = width;
    image->height = height;
    for (int32_t row = 0; row < height; row++) {
        const uint8_t *in = bytes + pixel_offset + size_t(row) * stride;
        int32_t y = top_down ? row : height - 1 - row;
        uint8_t *out = image->pixels + size_t(y) * size_t(width) * bytes_per_pixel;
        for (int32_t x = 0; x < width; x++) {
            switch (bits) {
            case 4: out[x] = x % 2 == 0 ? in[x / 2] >> 4 : in[x / 2] & 15; break;
            case 8: out[x] = in[x]; break;
            default:
                out[x * 3] = in[x * 3 + 2];
                out[x * 3 + 1] = in[x * 3 + 1];
                out[x * 3 + 2] = in[x * 3];
                break;
            }
        }
    }
    return true;
}

void launcher_image_free(LauncherImage *image) {
    std::free(image->pixels);
    *image = LauncherImage{};
}

bool launcher_canvas_load(LauncherCanvas *canvas, const LauncherPictureBytes *bytes) {
    for (int i = 0; i < LAUNCHER_PICTURE_COUNT; i++)
        launcher_image_decode(bytes[i].bytes, bytes[i].size, &canvas->pictures[i]);
    return canvas->pictures[LAUNCHER_BACKGROUND].pixels != nullptr;
}

void launcher_canvas_free(LauncherCanvas *canvas) {
    for (LauncherImage &image : canvas->pictures)
        launcher_image_free(&image);
}

void launcher_canvas_draw(LauncherCanvas *canvas, const LauncherState *state) {
    for (size_t i = 0; i < sizeof canvas->rgba; i += 4) {
        canvas->rgba[i] = canvas->rgba[i + 1] = canvas->rgba[i + 2] = 0;
        canvas->rgba[i + 3] = 255;
    }
    const LauncherChoices &c = state->choices;
    auto draw = [&](LauncherPicture picture, int16_t y) { blit(canvas, picture, kLauncherPictureSpecs[picture].x, y); };
    draw(LAUNCHER_BACKGROUND, 0);
    draw(LAUNCHER_RESOLUTION_FRAME, kResolutionFrameY[c.resolution_index]);
    draw(LAUNCHER_ASPECT_FRAME, kAspectFrameY[c.aspect_index]);
    draw(LAUNCHER_RENDER_PATH_FRAME, kRenderPathFrameY[c.render_path]);
    const int8_t switches[kLauncherSwitches] = {c.fullscreen, c.antialiasing, c.music, c.vbo};
    for (int i = 0; i < kLauncherSwitches; ++i)
        if (switches[i] > 0) draw(LAUNCHER_CHECK_MARK, kCheckMarkY[i]);
    if (state->pressed_look) draw(LAUNCHER_PRESSED_START, kPressedStartY);
}

} // namespace player
