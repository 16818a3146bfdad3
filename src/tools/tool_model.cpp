// bvtool model: a Wavefront OBJ file converted into the packed model format the player loads.
#include "tools/bvtool.h"

#include "geometry/mesh.h"
#include "geometry/model_file.h"
#include "resources/file_util.h"
#include "resources/packed.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace tools {

namespace {

// One corner of a face: 0-based position, texture coordinate and normal numbers (-1 for none).
struct Corner {
    int64_t p, t, n;
};

struct ObjData {
    std::vector<float> positions, texcoords, normals; // 3, 2 and 3 floats per entry
    std::vector<Corner> corners;                      // three per triangle
    uint32_t points, lines;                           // p corners and l elements: nothing a model holds
};

// What makes bytes unreadable as the single-byte text of an OBJ file, or null when they read:
// UTF-16 (a byte-order mark, or NULs at every other byte) or other bytes with NULs in them.
const char *obj_text_problem(const std::string &bytes) {
    if (bytes.size() >= 2 && uint8_t(bytes[0]) == 0xFF && uint8_t(bytes[1]) == 0xFE)
        return "UTF-16 (little-endian) text";
    if (bytes.size() >= 2 && uint8_t(bytes[0]) == 0xFE && uint8_t(bytes[1]) == 0xFF)
        return "UTF-16 (big-endian) text";
    size_t even = 0, odd = 0;
    for (size_t i = 0; i < bytes.size(); i++)
        if (bytes[i] == '\0') (i % 2 ? odd : even)++;
    if (even + odd == 0) return nullptr;
    if (even == 0) return "UTF-16 (little-endian) text";
    if (odd == 0) return "UTF-16 (big-endian) text";
    return "not text (it holds NUL bytes)";
}

// "12 vertices, 3 points, 2 lines": the counts of what an OBJ file without faces held.
std::string obj_found(const ObjData &d) {
    const std::pair<size_t, const char *> counts[] = {{d.positions.size() / 3, "vertices"},
                                                      {d.texcoords.size() / 2, "texture coordinates"},
                                                      {d.normals.size() / 3, "normals"},
                                                      {d.points, "points"},
                                                      {d.lines, "lines"}};
    std::string out;
    for (const auto &c : counts)
        if (c.first) out += (out.empty() ? "" : ", ") + std::to_string(c.first) + " " + c.second;
    return out.empty() ? "no vertices, points or lines either" : out;
}

// An OBJ index (1-based, or negative counting back from the end) as a 0-based one; -1 when absent,
// -2 when it names nothing.
int64_t resolve_index(const char *text, size_t count) {
    if (!*text) return -1;
    char *end = nullptr;
    long long v = std::strtoll(text, &end, 10);
    if (end == text || v == 0) return -2;
    long long i = v > 0 ? v - 1 : static_cast<long long>(count) + v;
    return i >= 0 && i < static_cast<long long>(count) ? i : -2;
}

// Parses "p/t/n", "p//n", "p/t" or "p". False when an index names nothing.
bool parse_corner(const char *token, const ObjData &d, Corner *c) {
    std::string parts[3];
    int k = 0;
    for (const char *s = token; *s && k < 3; s++) {
        if (*s == '/')
            k++;
        else
            parts[k] += *s;
    }
    c->p = resolve_index(parts[0].c_str(), d.positions.size() / 3);
    c->t = resolve_index(parts[1].c_str(), d.texcoords.size() / 2);
    c->n = resolve_index(parts[2].c_str(), d.normals.size() / 3);
    return c->p >= 0 && c->t >= -1 && c->n >= -1;
}

// Reads the OBJ text; on failure returns false with a message naming the line.
bool obj_parse(const char *text, ObjData *d, std::string *error) {
    int line_number = 0;
    const char *line = text;
    while (*line) {
        const char *end = std::strchr(line, '\n');
        std::string l(line, end ? size_t(end - line) : std::strlen(line));
        line = end ? end + 1 : line + l.size();
        line_number++;
        if (!l.empty() && l.back() == '\r') l.pop_back();
        char kind[8] = {};
        int used = 0;
        if (std::sscanf(l.c_str(), " %7s%n", kind, &used) != 1 || kind[0] == '#') continue;
        const char *rest = l.c_str() + used;
        if (std::strcmp(kind, "v") == 0 || std::strcmp(kind, "vn") == 0 || std::strcmp(kind, "vt") == 0) {
            float v[3] = {0, 0, 0};
            int want = kind[1] == 't' ? 2 : 3;
            if (std::sscanf(rest, "%f %f %f", &v[0], &v[1], &v[2]) < want) {
                *error = "line " + std::to_string(line_number) + ": too few numbers";
                return false;
            }
            std::vector<float> &to = kind[1] == 't'   ? d->texcoords
                                     : kind[1] == 'n' ? d->normals
                                                      : d->positions;
            to.insert(to.end(), v, v + want);
        } else if (std::strcmp(kind, "f") == 0) {
            std::vector<Corner> face;
            char token[64];
            int n = 0;
            while (std::sscanf(rest, " %63s%n", token, &n) == 1) {
                rest += n;
                Corner c;
                if (!parse_corner(token, *d, &c)) {
                    *error =
                        "line " + std::to_string(line_number) + ": face index " + token + " names nothing";
                    return false;
                }
                face.push_back(c);
            }
            if (face.size() < 3) {
                *error = "line " + std::to_string(line_number) + ": a face needs three corners";
                return false;
            }
            for (size_t i = 1; i + 1 < face.size(); i++) { // polygons are fanned from their first corner
                d->corners.push_back(face[0]);
                d->corners.push_back(face[i]);
                d->corners.push_back(face[i + 1]);
            }
        } else if (std::strcmp(kind, "p") == 0) {
            // Counted only, to say what a file without faces holds.
            char token[64];
            int n = 0;
            while (std::sscanf(rest, " %63s%n", token, &n) == 1) {
                rest += n;
                d->points++;
            }
        } else if (std::strcmp(kind, "l") == 0) {
            d->lines++;
        }
        // Groups, objects, materials and smoothing lines carry nothing the model format holds.
    }
    return true;
}

} // namespace

int tool_model(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::puts("usage: bvtool model IN.obj OUT.mdl\n"
                  "Converts a Wavefront OBJ file (v, vt, vn and f lines; polygons are fanned; negative\n"
                  "indices count back) into a packed model: one vertex per distinct position, texture\n"
                  "coordinate and normal; one texture coordinate set from vt (0, 0 where a corner has\n"
                  "none); normals a corner lacks are computed from the faces around its vertex.\n"
                  "Models of more than 65535 vertices are refused, and so are files without faces\n"
                  "(only points or lines, or empty) and UTF-16 files (exit status 2; nothing written).");
        return 0;
    }
    if (argc != 3) return tool_fail("model: expected IN.obj and OUT.mdl (see bvtool model --help)");
    uint32_t size = 0;
    uint8_t *raw = resources::file_read_all(argv[1], &size, resources::kPackedMaxLength);
    if (!raw) return tool_fail("model: cannot read %s", argv[1]);
    std::string text(reinterpret_cast<char *>(raw), size);
    std::free(raw);
    if (const char *problem = obj_text_problem(text)) {
        tool_fail("model: %s: %s; an OBJ file is read as ASCII or UTF-8 text: save it so", argv[1], problem);
        return 2;
    }
    // A UTF-8 byte-order mark would hide the first line's keyword.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    ObjData d = {};
    std::string error;
    if (!obj_parse(text.c_str(), &d, &error)) return tool_fail("model: %s: %s", argv[1], error.c_str());
    if (d.corners.empty()) {
        // Points and lines make no surface: an empty model would draw nothing without a word.
        if (text.find_first_not_of(" \t\r\n") == std::string::npos)
            tool_fail("model: %s: the file is empty: no faces to make a model of", argv[1]);
        else
            tool_fail("model: %s: no faces to make a model of (found %s)", argv[1], obj_found(d).c_str());
        return 2;
    }

    // Vertices split by their (position, texture coordinate, normal) triple, in first-use order.
    std::map<std::tuple<int64_t, int64_t, int64_t>, uint32_t> ids;
    std::vector<Corner> vertices;
    std::vector<uint16_t> indices;
    for (const Corner &c : d.corners) {
        auto key = std::make_tuple(c.p, c.t, c.n);
        auto found = ids.find(key);
        uint32_t id;
        if (found == ids.end()) {
            id = static_cast<uint32_t>(vertices.size());
            if (id >= geometry::kModelMaxVertices)
                return tool_fail("model: %s needs more than %u vertices", argv[1],
                                 geometry::kModelMaxVertices);
            ids.emplace(key, id);
            vertices.push_back(c);
        } else {
            id = found->second;
        }
        indices.push_back(static_cast<uint16_t>(id));
    }
    uint32_t n = static_cast<uint32_t>(vertices.size());
    std::vector<float> positions(size_t(n) * 3), texcoords(size_t(n) * 2, 0.0f), normals(size_t(n) * 3);
    bool computed = false;
    for (uint32_t v = 0; v < n; v++) {
        const Corner &c = vertices[v];
        std::memcpy(&positions[v * 3], &d.positions[c.p * 3], 12);
        if (c.t >= 0) std::memcpy(&texcoords[v * 2], &d.texcoords[c.t * 2], 8);
        if (c.n >= 0)
            std::memcpy(&normals[v * 3], &d.normals[c.n * 3], 12);
        else
            computed = true;
    }
    if (computed) {
        // The player's own rule: the average of the unit face normals around each vertex.
        std::vector<float> made(size_t(n) * 3);
        geometry::mesh_normals_from(positions.data(), made.data(), n, indices.data(),
                                    static_cast<uint32_t>(indices.size()));
        for (uint32_t v = 0; v < n; v++)
            if (vertices[v].n < 0) std::memcpy(&normals[v * 3], &made[v * 3], 12);
    }
    uint32_t packed_size = 0;
    uint8_t *packed = geometry::model_file_pack({positions.data(), texcoords.data(), normals.data(), n,
                                                 indices.data(), static_cast<uint32_t>(indices.size())},
                                                &packed_size);
    if (!packed) return tool_fail("model: cannot pack %s", argv[1]);
    bool ok = tool_write_whole(argv[2], packed, packed_size);
    std::free(packed);
    if (!ok) return tool_fail("model: cannot write %s", argv[2]);
    std::printf("%u vertices, %zu triangles\n", n, indices.size() / 3);
    return 0;
}

} // namespace tools
