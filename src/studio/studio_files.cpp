#include "studio/studio_files.h"

#include "music/music_stream.h"
#include "player/platform/platform.h"
#include "resources/file_util.h"
#include "resources/package.h"
#include "resources/packed.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace studio {

namespace {

bool files_read(void *user, const char *name, std::vector<uint8_t> *out) {
    const std::vector<uint8_t> *bytes = studio_files_get(*static_cast<const StudioFiles *>(user), name);
    if (!bytes) return false;
    *out = *bytes;
    return true;
}

bool is_document(const std::string &name) {
    return name == "demo.xml" || name == "loading.xml";
}

} // namespace

bool studio_files_put(StudioFiles *f, const std::string &name, const uint8_t *data, size_t size,
                      std::string *why) {
    if (name.empty() || name.size() > 1024 || !resources::file_name_is_contained(name.c_str())) {
        *why = "\"" + name + "\" is not a name inside the demo's folder";
        return false;
    }
    size_t limit = is_document(name) ? kMaxDocumentBytes : kMaxFileBytes;
    if (size > limit) {
        *why = name + " is " + std::to_string(size) + " bytes, more than the " + std::to_string(limit) +
               " the studio takes";
        return false;
    }
    auto it = f->files.find(name);
    size_t old = it == f->files.end() ? 0 : it->second.size();
    if (f->total - old + size > kMaxTotalBytes) {
        *why = "the files would pass the " + std::to_string(kMaxTotalBytes >> 20) + " MiB the studio holds";
        return false;
    }
    f->files[name].assign(data, data + size);
    f->total = f->total - old + size;
    return true;
}

void studio_files_clear(StudioFiles *f) {
    f->files.clear();
    f->total = 0;
}

const std::vector<uint8_t> *studio_files_get(const StudioFiles &f, const std::string &name) {
    auto it = f.files.find(name);
    return it == f.files.end() ? nullptr : &it->second;
}

analysis::AnalysisHost studio_files_host(StudioFiles *f) {
    analysis::AnalysisHost host = {};
    host.user = f;
    host.container = "folder";
    host.music_where = "among the studio's files (NAME or music/NAME)";
    host.read = files_read;
    return host;
}

bool studio_files_from_package(const uint8_t *data, size_t size, StudioFiles *f, std::string *why) {
    studio_files_clear(f);
    FILE *package = player::platform_memory_file(data, size);
    if (!package) {
        *why = "the package is empty";
        return false;
    }
    uint32_t count = 0;
    resources::PackageEntryInfo *index = resources::package_index_read(package, &count);
    bool ok = index != nullptr;
    if (!ok) *why = "the package's index is damaged";
    for (uint32_t i = 0; ok && i < count; i++) {
        std::string name = index[i].name;
        if (name.empty() || !index[i].in_bounds || studio_files_get(*f, name)) continue;
        bool document = name == "demo.xmlz" || name == "loading.xmlz";
        uint32_t length = 0;
        uint8_t *bytes = nullptr;
        if (document) {
            resources::PackedStatus status;
            bytes = resources::packed_read_entry(package, name.c_str(), &length, &status);
            if (!bytes) {
                *why = name + " does not inflate: the package is damaged";
                ok = false;
                break;
            }
            name.pop_back(); // demo.xmlz holds demo.xml
        } else {
            bytes = resources::package_read_entry(package, name.c_str(), &length);
            if (!bytes) continue;
        }
        ok = studio_files_put(f, name, bytes, length, why);
        std::free(bytes);
    }
    std::free(index);
    std::fclose(package);
    if (ok && !studio_files_get(*f, "demo.xml")) {
        *why = "the package holds no demo.xmlz";
        ok = false;
    }
    if (!ok) studio_files_clear(f);
    return ok;
}

void studio_music_decode(const StudioFiles &f, const std::string &file, StudioMusic *out) {
    *out = StudioMusic{};
    out->file = file;
    out->status = analysis::MUSIC_NOT_FOUND;
    if (file.empty()) return;
    if (!resources::file_name_is_contained(file.c_str())) {
        out->status = analysis::MUSIC_REFUSED;
        return;
    }
    const std::vector<uint8_t> *bytes = studio_files_get(f, file);
    if (!bytes) bytes = studio_files_get(f, "music/" + file);
    if (!bytes || bytes->empty()) return;
    FILE *stream_file = player::platform_memory_file(bytes->data(), bytes->size());
    music::MusicOpen result = music::MUSIC_NOT_OGG;
    music::MusicStream *stream =
        stream_file ? music::music_stream_open_seekable(stream_file, &result) : nullptr;
    if (!stream) {
        if (stream_file) std::fclose(stream_file);
        out->status = result == music::MUSIC_NOT_OGG ? analysis::MUSIC_NOT_OGG : analysis::MUSIC_UNDECODABLE;
        return;
    }
    pictures::WaveformBuilder builder;
    pictures::waveform_begin(&builder);
    std::vector<int16_t> chunk(music::kDeviceRate / 100 * 2 * 100);
    // At most an hour of sound: a longer file is decoded that far.
    const size_t limit = size_t(music::kDeviceRate) * 2 * 3600;
    while (out->samples.size() < limit) {
        uint32_t got = music::music_stream_decode(stream, chunk.data(), uint32_t(chunk.size()));
        if (got < 2) break;
        pictures::waveform_add(&builder, chunk.data(), got);
        out->samples.insert(out->samples.end(), chunk.begin(), chunk.begin() + got);
    }
    music::music_stream_close(stream);
    pictures::waveform_end(&builder, &out->wave);
    out->status = analysis::MUSIC_FOUND;
}

} // namespace studio
