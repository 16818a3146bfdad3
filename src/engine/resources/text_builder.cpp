#include "resources/text_builder.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace resources {

constexpr uint32_t kScratchSize = 8192;

void text_builder_init(TextBuilder *tb, uint32_t capacity) {
    if (capacity == 0) capacity = 1;
    tb->buffer = static_cast<char *>(std::malloc(capacity));
    tb->capacity = tb->buffer ? capacity : 0;
    tb->length = 0;
    if (tb->buffer) tb->buffer[0] = 0;
}

void text_builder_free(TextBuilder *tb) {
    std::free(tb->buffer);
    tb->buffer = nullptr;
    tb->capacity = 0;
    tb->length = 0;
}

static bool reserve(TextBuilder *tb, uint32_t added) {
    uint64_t needed = uint64_t(tb->length) + added + 3;
    uint64_t capacity = tb->capacity ? tb->capacity : 1;
    while (capacity < needed)
        capacity *= 2;
    if (capacity > 0xFFFFFFFFull) return false;
    if (capacity != tb->capacity) {
        char *grown = static_cast<char *>(std::realloc(tb->buffer, static_cast<size_t>(capacity)));
        if (!grown) return false;
        if (!tb->buffer) grown[0] = 0;
        tb->buffer = grown;
        tb->capacity = static_cast<uint32_t>(capacity);
    }
    return true;
}

static void append_bytes(TextBuilder *tb, const char *text, uint32_t len) {
    if (!reserve(tb, len)) return;
    std::memcpy(tb->buffer + tb->length, text, len);
    tb->length += len;
    tb->buffer[tb->length] = 0;
}

void text_builder_append(TextBuilder *tb, const char *format, ...) {
    char scratch[kScratchSize];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(scratch, sizeof scratch, format, args);
    va_end(args);
    if (n < 0) return;
    uint32_t len = static_cast<uint32_t>(n) < kScratchSize ? static_cast<uint32_t>(n) : kScratchSize - 1;
    append_bytes(tb, scratch, len);
}

void text_builder_append_text(TextBuilder *tb, const char *text) {
    size_t len = std::strlen(text);
    if (len < 0xFFFFFFF0u) append_bytes(tb, text, static_cast<uint32_t>(len));
}

void text_builder_append_span(TextBuilder *tb, const char *text, uint32_t len) {
    append_bytes(tb, text, len);
}

char *text_builder_take(TextBuilder *tb) {
    char *out = tb->buffer;
    tb->buffer = nullptr;
    tb->capacity = 0;
    tb->length = 0;
    return out;
}

} // namespace resources
