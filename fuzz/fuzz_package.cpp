// The package index and entry reader: any bytes as a package file.
#include "fuzz_support.h"

#include "resources/package.h"

#include <cstdlib>
#include <cstring>

using namespace resources;

// Reads the named entry; when it exists its bytes must be the file's own bytes at its offsets.
static void read_and_check(FILE *f, const char *name, const uint8_t *data, size_t size) {
    uint32_t got = 0xDEADBEEF;
    uint8_t *entry = package_read_entry(f, name, &got);
    PackageEntryInfo found;
    bool listed = package_find_entry(f, name, &found);
    if ((entry != nullptr) != listed) fuzz::fuzz_fail("read and find disagree");
    if (!entry) {
        if (got != 0xDEADBEEF) fuzz::fuzz_fail("a missing entry changed the size");
        return;
    }
    if (got != found.size || uint64_t(found.first) + got > size ||
        (got && std::memcmp(entry, data + found.first, got) != 0))
        fuzz::fuzz_fail("entry bytes differ from the file's");
    std::free(entry);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FILE *f = fuzz::fuzz_memory_file(data, size);
    uint32_t count = 0;
    PackageEntryInfo *index = package_index_read(f, &count);
    if (index) {
        for (uint32_t i = 0; i < count && i < 64; i++)
            read_and_check(f, index[i].name, data, size);
        std::free(index);
    }
    for (const char *name :
         {"", "demo.xmlz", "a_name_of_exactly_31_characters", "a_name_of_32_characters_is_long_"})
        read_and_check(f, name, data, size);
    entry_list_free(package_list(f));
    std::fclose(f);
    return 0;
}
