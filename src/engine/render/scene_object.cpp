#include "render/scene_object.h"

#include "functions/dynamic_value.h"
#include "geometry/font.h"
#include "resources/log.h"
#include "maths/number_convert.h"
#include "resources/xml.h"

#include <cstring>

namespace render {

using resources::XmlNode;

// A kind number outside 0..254 is stored as 255, which no table row has (a wrap to 8 bits could
// turn 256 into a real kind).

void manipulator_read(ManipulatorEntry *entry, const XmlNode *element) {
    entry->kind = maths::convert_to_kind(resources::xml_attribute_int(element, "type"));
    const XmlNode *child = element->first_child;
    if (child && resources::xml_name_is(child, kManipulatorTargetName)) {
        // Any kind but 0 names a mesh effect; an index beyond 16 bits names no record.
        entry->target_kind =
            maths::convert_to_i32(resources::xml_attribute_float(child, "type")) != 0 ? 1 : 0;
        entry->target_index = maths::convert_to_u16(resources::xml_attribute_float(child, "model"));
        child = child->next;
    }
    for (int i = 0; child && i < kManipulatorParameters; child = child->next, i++) {
        if (functions::dynamic_read(child, functions::DYNAMIC_IF_DYNAMIC, &entry->parameters[i]))
            entry->animated[i / 8] = static_cast<uint8_t>(entry->animated[i / 8] | (0x80 >> (i % 8)));
    }
}

void item_read(Item *item, const XmlNode *element) {
    item->type = maths::convert_to_kind(resources::xml_attribute_int(element, "type"));
    item->object = maths::convert_to_u16(resources::xml_attribute_int(element, "object"));
    item->material = maths::convert_to_u16(resources::xml_attribute_int(element, "material"));
    item->font = maths::convert_to_u16(resources::xml_attribute_int(element, "font"));
    geometry::font_copy_text(item->text, resources::xml_attribute(element, "text"));
    item->flags = 0;
    int position = 1;
    for (const XmlNode *child = element->first_child; child; child = child->next, position++) {
        if (position <= kItemPlacementValues) {
            if (functions::dynamic_read(child, functions::DYNAMIC_IF_DYNAMIC, &item->placement[position - 1]))
                item->flags = static_cast<uint16_t>(item->flags | (1u << (position - 1)));
        } else if (position == kItemVisibilityChild) {
            item->visibility = static_cast<uint16_t>(resources::xml_attribute_int(child, "value"));
        } else if (position == kItemTimeOffsetChild) {
            item->time_offset = resources::xml_attribute_float(child, "value");
        } else if (position == kItemFaceCameraChild) {
            if (resources::xml_attribute_int(child, "value") == 1) item->flags |= kItemFaceCamera;
        } else if (item->manipulator_count < kMaxManipulators) {
            manipulator_read(&item->manipulators[item->manipulator_count++], child);
        }
    }
}

uint32_t scene_object_read(resources::ObjectList *objects, const XmlNode *element) {
    uint32_t slot = resources::object_list_add(objects);
    if (!slot) return 0;
    SceneObject *object = static_cast<SceneObject *>(objects->record[slot - 1]);
    object->items = resources::short_list_create(sizeof(Item));
    if (!object->items) return slot;
    for (const XmlNode *child = element->first_child; child; child = child->next) {
        uint8_t s = resources::short_list_add(object->items);
        if (!s) {
            resources::log_format("Warning: object %u has more than 255 items; the rest are ignored.\r\n",
                                  objects->position[slot - 1]);
            break;
        }
        item_read(static_cast<Item *>(object->items->record[s - 1]), child);
    }
    return slot;
}

} // namespace render
