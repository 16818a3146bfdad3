// The animation function reader and evaluation: any bytes as the text of a function section (the
// top element's children are functions). Every function is evaluated at the times where segments
// and loops change, and the dynamic values of the same elements are read and evaluated.
#include "fuzz_support.h"

#include "functions/dynamic_value.h"
#include "functions/function.h"
#include "resources/object_list.h"
#include "resources/xml.h"

#include <cmath>
#include <string>

using namespace functions;

static volatile double g_sink;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::fuzz_quiet_log();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    resources::XmlNode *doc = resources::xml_parse(text.c_str());
    const resources::XmlNode *top = doc ? doc->first_child : nullptr;
    resources::ObjectList *list = resources::object_list_create(sizeof(Function));
    for (const resources::XmlNode *e = top ? top->first_child : nullptr; e; e = e->next)
        if (!function_read(list, e)) break;
    for (uint32_t p = 1; p <= list->count; p++) {
        Function *f = resources::object_at<Function>(list, p);
        uint32_t times[] = {0, 1, 99, 100, 101, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu, 0, 0, 0};
        uint32_t sum = 0;
        int extra = 9;
        for (int s = 0; s < f->segment_count && extra < 12; s++) {
            sum += f->segment_lengths[s];
            times[extra++] = sum;
        }
        for (uint32_t t : times) {
            // The cache keeps the value as a float: the same time again gives it narrowed.
            float v = static_cast<float>(function_evaluate(f, t));
            float again = static_cast<float>(function_evaluate(f, t));
            if (again != v && !(std::isnan(v) && std::isnan(again)))
                fuzz::fuzz_fail("the cache changed a value");
            g_sink = v + function_evaluate_index(list, p, t + 1);
        }
    }
    // The same elements as dynamic values, as lights, materials and objects read them.
    for (const resources::XmlNode *e = top ? top->first_child : nullptr; e; e = e->next) {
        uint32_t slot = 0;
        uint8_t dynamic = dynamic_read(e, DYNAMIC_IF_DYNAMIC, &slot);
        g_sink = dynamic_evaluate(slot, dynamic != 0, list, 12345);
        dynamic = dynamic_read(e, DYNAMIC_UNLESS_STATIC, &slot);
        g_sink = dynamic_evaluate(slot, dynamic != 0, list, 0xFFFFFFFFu);
    }
    resources::object_list_free(list);
    resources::xml_free(doc);
    return 0;
}
