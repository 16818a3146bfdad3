// A growable NUL-terminated string with formatted append, used by the XML writer and the GLSL generator.
#pragma once

#include <cstdint>

namespace resources {

struct TextBuilder {
    char *buffer;      // heap, always NUL-terminated
    uint32_t capacity; // bytes allocated
    uint32_t length;   // bytes used, terminator not counted
};

// Creates an empty builder with the given starting capacity (at least 1 byte).
void text_builder_init(TextBuilder *tb, uint32_t capacity);
void text_builder_free(TextBuilder *tb);

// Formats into a scratch area of 8192 bytes (one append adds at most 8191 characters), doubles the
// capacity until length + formatted length + 3 <= capacity, and appends the text.
void text_builder_append(TextBuilder *tb, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// Appends a string verbatim (no formatting, no length limit).
void text_builder_append_text(TextBuilder *tb, const char *text);
// Appends the first len bytes of text verbatim.
void text_builder_append_span(TextBuilder *tb, const char *text, uint32_t len);

// Hands the buffer to the caller (std::free) and leaves the builder empty.
char *text_builder_take(TextBuilder *tb);

} // namespace resources
