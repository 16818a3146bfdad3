#include "resources/memory_budget.h"

#include "log_capture.h"
#include "resources/object_list.h"
#include "resources/xml.h"

#include <gtest/gtest.h>

#include <string>

using namespace resources;

namespace {

// Every record and every parsed tree is counted, and freeing gives back exactly what was taken.
TEST(MemoryBudget, TreesAndListsGiveBackWhatTheyTook) {
    memory_budget_reset(0);
    XmlNode *doc = xml_parse("<?x?><a b=\"1\" c d=\"\"><e>text</e><f/>tail</a></stray><g h=\"2\"/>");
    ASSERT_NE(doc, nullptr);
    XmlNode *built = xml_new_node("n");
    xml_set_attribute(built, "k", "v");
    xml_set_attribute(built, "k", "longer value");
    xml_set_text(built, "one");
    xml_set_text(built, "two two");
    xml_add_child(built, "child");
    ObjectList *objects = object_list_create(100);
    ShortList *items = short_list_create(7);
    for (int i = 0; i < 300; i++)
        object_list_add(objects);
    for (int i = 0; i < 300; i++)
        short_list_add(items);
    object_list_remove(objects, 5);
    EXPECT_GT(memory_budget_used(), sizeof(ObjectList) + 299u * 100);
    xml_free(doc);
    xml_free(built);
    object_list_free(objects);
    short_list_free(items);
    EXPECT_EQ(memory_budget_used(), 0u);
}

// A document whose records would pass the limit keeps what fits and says so once.
TEST(MemoryBudget, RecordsBeyondTheLimitAreLeftOutWithOneLogLine) {
    testutil::LogCapture log;
    memory_budget_reset(sizeof(ObjectList) + 10 * 1000);
    ObjectList *list = object_list_create(1000);
    ASSERT_NE(list, nullptr);
    int added = 0;
    for (int i = 0; i < 50; i++)
        added += object_list_add(list) ? 1 : 0;
    EXPECT_EQ(added, 10);
    EXPECT_EQ(list->count, 10u);
    // The tree is cut short the same way: parsing ends where memory runs out.
    std::string big = "<a>";
    for (int i = 0; i < 1000; i++)
        big += "<b/>";
    XmlNode *doc = xml_parse((big + "</a>").c_str());
    EXPECT_EQ(xml_child_count(doc ? doc->first_child : nullptr), 0);
    xml_free(doc);
    object_list_free(list);
    EXPECT_EQ(log.text(),
              "Error: the documents need more than 0 MiB of memory; what does not fit is left out.\r\n");
    memory_budget_reset(0);
}

} // namespace
