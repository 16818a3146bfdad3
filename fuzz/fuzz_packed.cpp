// The compressed-document reader: any bytes as a packed entry (u32 length, zlib stream). What it
// accepts must be exactly what zlib itself inflates from the same stream.
#include "fuzz_support.h"

#include "resources/packed.h"

#include <cstdlib>
#include <cstring>
#include <vector>
#include <zlib.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 0xFFFFFFFFu) return 0;
    uint32_t length = 0;
    resources::PackedStatus status;
    uint8_t *text = resources::packed_inflate(data, static_cast<uint32_t>(size), &length, &status);
    if (!text) return 0;
    if (text[length] != 0) fuzz::fuzz_fail("the text is not terminated");
    std::vector<uint8_t> reference(length + 1);
    uLongf got = length + 1;
    int rc = uncompress(reference.data(), &got, data + 4, static_cast<uLong>(size - 4));
    if (rc != Z_OK || got != length || (length && std::memcmp(reference.data(), text, length) != 0))
        fuzz::fuzz_fail("accepted a stream that zlib inflates differently");
    std::free(text);
    return 0;
}
