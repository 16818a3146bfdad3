#include "render/layer.h"

#include "functions/dynamic_value.h"
#include "resources/xml.h"
#include "scene/scene.h" // upward on purpose: the aggregate holds render's records and render walks it

#include <cstring>

namespace render {

using resources::xml_attribute_int;
using resources::XmlNode;

void layer_read(Layer *layer, const XmlNode *element) {
    layer->object = static_cast<uint16_t>(xml_attribute_int(element, "id"));
    layer->space_before = static_cast<uint32_t>(xml_attribute_int(element, "space_before"));
    layer->length = static_cast<uint32_t>(xml_attribute_int(element, "length"));
    layer->offset = static_cast<uint32_t>(xml_attribute_int(element, "offset"));
    layer->type = static_cast<uint8_t>(xml_attribute_int(element, "type"));
    if (render_mode_has_target(layer->type))
        layer->rtex = static_cast<uint16_t>(xml_attribute_int(element, "rtex"));
    layer->clearcolor = static_cast<uint16_t>(xml_attribute_int(element, "clearcolor"));
    layer->clear_flags = static_cast<uint8_t>((xml_attribute_int(element, "clearcolorbuffer") & 1) |
                                              (xml_attribute_int(element, "clearzbuffer") & 1) << 1);
    uint32_t *slots[9] = {&layer->camera[0],   &layer->camera[1],   &layer->camera[2],
                          &layer->rotation[0], &layer->rotation[1], &layer->rotation[2],
                          &layer->projection,  &layer->far_plane,   &layer->aspect};
    static const uint8_t kFlags[9] = {LAYER_DYN_X,     LAYER_DYN_Y,     LAYER_DYN_Z, LAYER_DYN_ROT_X,
                                      LAYER_DYN_ROT_Y, LAYER_DYN_ROT_Z, 0,           LAYER_DYN_FAR,
                                      LAYER_DYN_ASPECT};
    const XmlNode *child = element->first_child;
    for (int i = 0; i < 9 && child; i++, child = child->next) {
        if (i == 6) {
            const char *type = resources::xml_attribute(child, "type");
            if (type && std::strcmp(type, kProjectionDynamicWord) == 0) {
                layer->projection_kind = PROJECTION_DYNAMIC;
                layer->projection = static_cast<uint32_t>(xml_attribute_int(child, "value"));
            } else if (type && std::strcmp(type, kProjectionOrthoWord) == 0) {
                layer->projection_kind = PROJECTION_ORTHO;
            } else {
                layer->projection_kind = PROJECTION_STATIC;
                layer->projection =
                    functions::dynamic_slot_from_float(resources::xml_attribute_float(child, "value"));
            }
            continue;
        }
        if (functions::dynamic_read(child, functions::DYNAMIC_IF_DYNAMIC, slots[i]))
            layer->dynamic_flags = static_cast<uint8_t>(layer->dynamic_flags | kFlags[i]);
    }
}

void layer_place(scene::LayerSlot *slot, Layer *layer, uint32_t index, uint32_t *running_time) {
    uint32_t start = *running_time;
    // Times are unsigned 32-bit; a layer that would run past that range ends at its end.
    uint64_t end64 = uint64_t(start) + layer->space_before + layer->length;
    uint32_t end = end64 > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(end64);
    layer->end_time = end;
    if (end > slot->end_time) slot->end_time = end;
    *running_time = end;
    uint32_t first;
    if (start % 100 == 0)
        first = start / 100;
    else if (end - (start - start % 100) <= 99)
        return;
    else
        first = start / 100 + 1;
    uint32_t last = end / 100;
    if (last >= kLayerBucketCount) last = kLayerBucketCount - 1;
    for (uint32_t b = first; b <= last; b++)
        slot->buckets[b] = static_cast<int16_t>(index);
}

bool layer_find_active(const scene::LayerSlot *slot, uint32_t t, uint32_t *index, uint32_t *local_time) {
    uint32_t count = slot->layers ? slot->layers->count : 0;
    if (count == 0) return false;
    // Past the table, the search starts from its last bucket and walks on.
    uint32_t bucket = t / 100 < kLayerBucketCount ? t / 100 : kLayerBucketCount - 1;
    int32_t start = slot->buckets[bucket];
    uint32_t idx = start > 0 ? static_cast<uint32_t>(start) : 0;
    while (idx < count) {
        const Layer *layer = resources::short_at<Layer>(slot->layers, idx + 1);
        if (!layer || t <= layer->end_time) break;
        idx++;
    }
    if (idx >= count) return false;
    const Layer *layer = resources::short_at<Layer>(slot->layers, idx + 1);
    uint32_t previous_end = idx > 0 ? resources::short_at<Layer>(slot->layers, idx)->end_time : 0;
    if (uint64_t(t) < uint64_t(previous_end) + layer->space_before) return false;
    *index = idx;
    *local_time = t - previous_end - layer->space_before;
    return true;
}

void layer_section_read(scene::Scene *sc, const XmlNode *section, void (*record_done)(void *user),
                        void *user) {
    int slot_number = 0;
    for (const XmlNode *slot_element = section->first_child; slot_element;
         slot_element = slot_element->next) {
        if (slot_number < kLayerSlotCount) {
            scene::LayerSlot *slot = &sc->slots[slot_number];
            uint32_t running = 0;
            for (const XmlNode *element = slot_element->first_child; element; element = element->next) {
                uint8_t s = resources::short_list_add(slot->layers);
                if (!s) break;
                Layer *layer = static_cast<Layer *>(slot->layers->record[s - 1]);
                layer_read(layer, element);
                layer_place(slot, layer, static_cast<uint32_t>(slot->layers->count - 1), &running);
            }
        }
        slot_number++;
        if (record_done) record_done(user);
    }
}

int32_t layer_power_of_two(int32_t size) {
    if (size <= 63) return 32;
    if (size <= 127) return 64;
    if (size <= 255) return 128;
    return 256;
}

} // namespace render
