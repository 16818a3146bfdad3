#include "functions/dynamic_value.h"

#include "functions/function.h"
#include "maths/number_convert.h"
#include "resources/xml.h"

#include <cstring>

namespace functions {

uint8_t dynamic_read(const resources::XmlNode *element, DynamicTest test, uint32_t *slot) {
    const char *type = resources::xml_attribute(element, "type");
    bool dynamic = test == DYNAMIC_IF_DYNAMIC ? (type && std::strcmp(type, "dynamic") == 0)
                                              : !(type && std::strcmp(type, "static") == 0);
    if (!element) dynamic = false;
    if (dynamic)
        *slot = static_cast<uint32_t>(resources::xml_attribute_int(element, "value"));
    else
        *slot = dynamic_slot_from_float(resources::xml_attribute_float(element, "value"));
    return dynamic ? 1 : 0;
}

float dynamic_evaluate(uint32_t slot, bool dynamic, const resources::ObjectList *functions, uint32_t t) {
    if (!dynamic) return dynamic_slot_float(slot);
    return maths::convert_to_float(function_evaluate_index(functions, slot, t));
}

} // namespace functions
