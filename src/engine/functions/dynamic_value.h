// The dynamic value: a 32-bit slot holding either a float or the 1-based index of an animation
// function, with a flag kept beside it by the record that owns it.
#pragma once

#include "resources/object_list.h"

#include <cstdint>
#include <cstring>

namespace resources {
struct XmlNode;
}

namespace functions {

// Which word decides: some sections test for "static" and treat everything else as dynamic,
// others test for "dynamic" and treat everything else as static.
enum DynamicTest : uint8_t { DYNAMIC_UNLESS_STATIC = 0, DYNAMIC_IF_DYNAMIC = 1 };

inline uint32_t dynamic_slot_from_float(float value) {
    uint32_t slot;
    std::memcpy(&slot, &value, sizeof slot);
    return slot;
}

inline float dynamic_slot_float(uint32_t slot) {
    float value;
    std::memcpy(&value, &slot, sizeof value);
    return value;
}

// Reads an element's "type" and "value" into *slot: a static value reads "value" as a float, a
// dynamic one as an integer function index. Returns the dynamic flag (0 or 1). A missing element
// or attribute reads as a static 0.
uint8_t dynamic_read(const resources::XmlNode *element, DynamicTest test, uint32_t *slot);

// The value at time t: the slot's float when static, else the indexed function at t narrowed to a
// float (0.0 when the index names no function).
float dynamic_evaluate(uint32_t slot, bool dynamic, const resources::ObjectList *functions, uint32_t t);

} // namespace functions
