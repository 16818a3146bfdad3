#include "resources/object_list.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace resources;

namespace {

struct Rec {
    uint32_t tag;
    uint8_t pad[12];
};

uint32_t tag_at(const ObjectList *list, uint32_t p) {
    Rec *r = object_at<Rec>(list, p);
    return r ? r->tag : 0;
}

TEST(ObjectList, FillsToCapacityThenRefuses) {
    ObjectList *list = object_list_create(sizeof(Rec));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->next_free, 1u);
    for (uint32_t i = 1; i <= 4096; i++) {
        uint16_t s = object_list_add(list);
        ASSERT_EQ(s, i);
        static_cast<Rec *>(list->record[s - 1])->tag = i * 10;
    }
    EXPECT_EQ(list->count, 4096u);
    EXPECT_EQ(list->next_free, 4097u);
    EXPECT_EQ(object_list_add(list), 0u);
    EXPECT_EQ(list->count, 4096u);
    for (uint32_t p : {1u, 2u, 777u, 4096u}) {
        EXPECT_EQ(object_list_slot_at(list, p), p);
        EXPECT_EQ(tag_at(list, p), p * 10);
    }
    EXPECT_EQ(object_list_record_at(list, 0), nullptr);
    EXPECT_EQ(object_list_record_at(list, 4097), nullptr);
    object_list_free(list);
}

TEST(ObjectList, PositionsAndSlotsStayConsistentThroughEdits) {
    ObjectList *list = object_list_create(sizeof(Rec));
    for (uint32_t i = 1; i <= 5; i++) {
        uint16_t s = object_list_add(list);
        static_cast<Rec *>(list->record[s - 1])->tag = i;
    }
    EXPECT_EQ(object_list_record_at(list, 6), nullptr); // count + 1
    ASSERT_TRUE(object_list_remove(list, 2));          // slot 2 freed
    EXPECT_EQ(list->next_free, 2u);
    EXPECT_EQ(list->count, 4u);
    EXPECT_EQ(tag_at(list, 2), 3u);
    EXPECT_EQ(list->position[3 - 1], 2u);
    EXPECT_EQ(list->marker[2 - 1], 0u);
    // The freed slot is reused, and insert places the record where asked.
    uint16_t s = object_list_insert(list, 1);
    EXPECT_EQ(s, 2u);
    static_cast<Rec *>(list->record[s - 1])->tag = 99;
    EXPECT_EQ(list->next_free, 6u);
    uint32_t expected[] = {99, 1, 3, 4, 5};
    for (uint32_t p = 1; p <= 5; p++) {
        EXPECT_EQ(tag_at(list, p), expected[p - 1]);
        EXPECT_EQ(list->position[object_list_slot_at(list, p) - 1], p);
    }
    ASSERT_TRUE(object_list_swap(list, 1, 5));
    EXPECT_EQ(tag_at(list, 1), 5u);
    EXPECT_EQ(tag_at(list, 5), 99u);
    EXPECT_FALSE(object_list_swap(list, 0, 2));
    EXPECT_FALSE(object_list_remove(list, 6));

    testing::internal::CaptureStdout();
    object_list_reference(list, 3);
    object_list_reference(list, 3);
    object_list_release(list, 3);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Increase 3\nIncrease 3\nDecrease 3\n");
    EXPECT_FALSE(object_list_slot_removable(list, 3));
    EXPECT_FALSE(object_list_remove_unreferenced(list, list->position[3 - 1]));
    EXPECT_TRUE(object_list_slot_removable(list, 4));
    EXPECT_FALSE(object_list_slot_removable(list, 77));

    ObjectList *copy = object_list_copy(list);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->record[0], list->record[0]);
    for (uint32_t p = 1; p <= 5; p++) EXPECT_EQ(tag_at(copy, p), tag_at(list, p));
    object_list_free(copy);
    object_list_free(list);
}

TEST(ShortList, HoldsAtMost255AndUsesZeroAsFull) {
    ShortList *list = short_list_create(sizeof(Rec));
    for (uint32_t i = 1; i <= 255; i++) ASSERT_EQ(short_list_add(list), i);
    EXPECT_EQ(list->next_free, 0u);
    EXPECT_EQ(short_list_add(list), 0u);
    EXPECT_EQ(list->count, 255u);
    EXPECT_EQ(short_list_record_at(list, 0), nullptr);
    EXPECT_NE(short_list_record_at(list, 255), nullptr);
    EXPECT_EQ(short_list_record_at(list, 256), nullptr);
    // Removing from a full short list must make the freed slot the next free one.
    ASSERT_TRUE(short_list_remove(list, 100));
    EXPECT_EQ(list->next_free, 100u);
    EXPECT_EQ(short_list_add(list), 100u);
    EXPECT_EQ(short_list_slot_at(list, 255), 100u);
    short_list_free(list);
}

TEST(ShortList, RecordsStartZeroedAndEmptyListFreesCleanly) {
    ShortList *list = short_list_create(64);
    uint8_t s = short_list_add(list);
    uint8_t zero[64] = {};
    EXPECT_EQ(std::memcmp(list->record[s - 1], zero, 64), 0);
    short_list_free(list);
    short_list_free(short_list_create(8));
    object_list_free(object_list_create(8));
    object_list_free(nullptr);
}

} // namespace
