#include "geometry/model.h"

#include "resources/byte_reader.h"
#include "resources/log.h"
#include "resources/memory_budget.h"
#include "resources/packed.h"
#include "resources/xml.h"

#include <GL/glew.h>
#include <cstdlib>
#include <cstring>

namespace geometry {

bool mesh_from_model_file(Mesh *mesh, uint8_t *block, uint32_t length, const char *name) {
    std::memset(mesh, 0, sizeof *mesh);
    resources::ByteReader r = resources::byte_reader_make(block, length);
    uint16_t n = resources::byte_reader_u16le(&r);
    uint8_t sets = resources::byte_reader_u8(&r);
    resources::byte_reader_u8(&r);
    if (r.failed || sets < 1 || sets > 3) {
        resources::log_format("Error: model %s has a bad header.\r\n", name);
        return false;
    }
    uint64_t arrays = 4 + 24ull * n + 8ull * n * sets;
    if (arrays > length) {
        resources::log_format("Error: model %s is shorter than its %u vertices need.\r\n", name, n);
        return false;
    }
    // The arrays point straight into the block (little-endian floats, as on every target we build for);
    // the block comes from malloc, so offset 4 keeps floats and 16-bit indices aligned.
    mesh->data_block = block;
    mesh->vertex_count = n;
    mesh->texcoord_set_count = sets;
    mesh->positions = reinterpret_cast<float *>(block + 4);
    for (uint32_t s = 0; s < sets; s++)
        mesh->texcoords[s] = reinterpret_cast<float *>(block + 4 + 12ull * n + 8ull * n * s);
    mesh->normals = reinterpret_cast<float *>(block + 4 + 12ull * n + 8ull * n * sets);
    mesh->indices = reinterpret_cast<uint16_t *>(block + arrays);
    uint32_t count = static_cast<uint32_t>((length - arrays) / 2);
    count -= count % 3;
    // Keep only triangles whose three vertices exist, compacting in place.
    uint32_t kept = 0, dropped = 0;
    for (uint32_t i = 0; i < count; i += 3) {
        uint16_t a = mesh->indices[i], b = mesh->indices[i + 1], c = mesh->indices[i + 2];
        if (a >= n || b >= n || c >= n) {
            dropped++;
            continue;
        }
        mesh->indices[kept] = a;
        mesh->indices[kept + 1] = b;
        mesh->indices[kept + 2] = c;
        kept += 3;
    }
    if (dropped)
        resources::log_format("Error: model %s: %u triangles name vertices it does not have; they are dropped.\r\n",
                              name, dropped);
    mesh->index_count = kept;
    return true;
}

void mesh_upload_buffers(Mesh *mesh) {
    uint32_t n = mesh->vertex_count;
    const void *arrays[5] = {mesh->positions, mesh->texcoords[0], mesh->texcoords[1], mesh->texcoords[2],
                             mesh->normals};
    const uint32_t sizes[5] = {12 * n, 8 * n, 8 * n, 8 * n, 12 * n};
    for (int i = 0; i < 5; i++) {
        if (!arrays[i]) continue;
        glGenBuffers(1, &mesh->buffers[i]);
        glBindBuffer(GL_ARRAY_BUFFER, mesh->buffers[i]);
        glBufferData(GL_ARRAY_BUFFER, sizes[i], arrays[i], GL_STATIC_DRAW);
    }
    glGenBuffers(1, &mesh->buffers[MESH_BUFFER_INDICES]);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mesh->buffers[MESH_BUFFER_INDICES]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, 2 * mesh->index_count, mesh->indices, GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

uint32_t model_read(resources::ObjectList *models, const resources::XmlNode *element, FILE *package,
                    bool buffer_objects) {
    uint32_t slot = resources::object_list_add(models);
    if (!slot) return 0;
    Mesh *mesh = static_cast<Mesh *>(models->record[slot - 1]);
    const char *name = resources::xml_attribute(element, "filename");
    if (!name) {
        resources::log_format("Error: model %u has no filename.\r\n", models->position[slot - 1]);
        return slot;
    }
    uint32_t length = 0;
    resources::PackedStatus status;
    uint8_t *block = resources::packed_read_entry(package, name, &length, &status);
    if (!block) {
        resources::log_format(status == resources::PACKED_MISSING ? "Error: model %s is missing from the package.\r\n"
                                                                  : "Error: model %s is damaged.\r\n",
                              name);
        return slot;
    }
    // The inflated block stays for the model's life: it counts against the document's memory.
    if (!resources::memory_budget_take(length)) {
        std::free(block);
        return slot;
    }
    if (!mesh_from_model_file(mesh, block, length, name)) {
        resources::memory_budget_give(length);
        std::free(block);
        return slot;
    }
    if (buffer_objects) mesh_upload_buffers(mesh);
    return slot;
}

} // namespace geometry
