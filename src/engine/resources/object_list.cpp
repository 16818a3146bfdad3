#include "resources/object_list.h"

#include "resources/memory_budget.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace resources {

template <typename L> static constexpr uint32_t capacity_of() { return sizeof(L::order) / sizeof(L::order[0]); }

// A record block as the memory budget counts it.
static uint64_t record_bytes(uint32_t element_size) {
    return element_size ? element_size : 1;
}

template <typename L> L *slot_list_create(uint32_t element_size) {
    if (!memory_budget_take(sizeof(L))) return nullptr;
    L *list = static_cast<L *>(std::calloc(1, sizeof(L)));
    if (!list) {
        memory_budget_give(sizeof(L));
        return nullptr;
    }
    list->element_size = element_size;
    list->next_free = 1;
    return list;
}

// Lowest free slot at or above from, or the "full" marker (capacity + 1, cut to the index width).
template <typename L> static void find_next_free(L *list, uint32_t from) {
    constexpr uint32_t capacity = capacity_of<L>();
    if (list->count == capacity) {
        list->next_free = static_cast<decltype(list->next_free)>(capacity + 1);
        return;
    }
    for (uint32_t s = from; s <= capacity; s++) {
        if (list->marker[s - 1] == 0) {
            list->next_free = static_cast<decltype(list->next_free)>(s);
            return;
        }
    }
}

template <typename L> uint32_t slot_list_add(L *list) {
    using Index = decltype(list->next_free);
    if (!list || list->count == capacity_of<L>()) return 0;
    uint32_t s = list->next_free;
    if (!memory_budget_take(record_bytes(list->element_size))) return 0;
    void *record = std::calloc(1, list->element_size ? list->element_size : 1);
    if (!record) {
        memory_budget_give(record_bytes(list->element_size));
        return 0;
    }
    list->record[s - 1] = record;
    list->marker[s - 1] = static_cast<Index>(s);
    list->reference_count[s - 1] = 0;
    list->position[s - 1] = static_cast<Index>(list->count + 1);
    list->order[list->count] = static_cast<Index>(s);
    list->count = static_cast<Index>(list->count + 1);
    find_next_free(list, s + 1);
    return s;
}

template <typename L> void *slot_list_record_at(const L *list, uint32_t position) {
    if (!list || position < 1 || position > capacity_of<L>()) return nullptr;
    uint32_t s = list->order[position - 1];
    return s ? list->record[s - 1] : nullptr;
}

template <typename L> void slot_list_free(L *list) {
    if (!list) return;
    for (uint32_t p = list->count; p >= 1; p--) {
        uint32_t s = list->order[p - 1];
        if (!s) continue;
        std::free(list->record[s - 1]);
        memory_budget_give(record_bytes(list->element_size));
    }
    std::free(list);
    memory_budget_give(sizeof(L));
}

template <typename L> bool slot_list_remove(L *list, uint32_t position) {
    using Index = decltype(list->next_free);
    if (!list || position < 1 || position > list->count) return false;
    bool was_full = list->count == capacity_of<L>();
    uint32_t s = list->order[position - 1];
    std::free(list->record[s - 1]);
    memory_budget_give(record_bytes(list->element_size));
    list->record[s - 1] = nullptr;
    list->marker[s - 1] = 0;
    list->reference_count[s - 1] = 0;
    list->position[s - 1] = 0;
    for (uint32_t p = position; p < list->count; p++) {
        list->order[p - 1] = list->order[p];
        list->position[list->order[p - 1] - 1] = static_cast<Index>(p);
    }
    list->order[list->count - 1] = 0;
    list->count = static_cast<Index>(list->count - 1);
    if (was_full || s < list->next_free) list->next_free = static_cast<Index>(s);
    return true;
}

template <typename L> bool slot_list_remove_unreferenced(L *list, uint32_t position) {
    if (!list || position < 1 || position > list->count) return false;
    if (list->reference_count[list->order[position - 1] - 1] != 0) return false;
    return slot_list_remove(list, position);
}

template <typename L> uint32_t slot_list_insert(L *list, uint32_t position) {
    using Index = decltype(list->next_free);
    if (!list || position < 1 || position > uint32_t(list->count) + 1) return 0;
    uint32_t s = slot_list_add(list);
    if (!s) return 0;
    // The new record stands last; move it forward to the requested position.
    for (uint32_t p = list->count; p > position; p--) {
        list->order[p - 1] = list->order[p - 2];
        list->position[list->order[p - 1] - 1] = static_cast<Index>(p);
    }
    list->order[position - 1] = static_cast<Index>(s);
    list->position[s - 1] = static_cast<Index>(position);
    return s;
}

template <typename L> bool slot_list_swap(L *list, uint32_t a, uint32_t b) {
    using Index = decltype(list->next_free);
    if (!list || a < 1 || b < 1 || a > list->count || b > list->count) return false;
    Index sa = list->order[a - 1];
    Index sb = list->order[b - 1];
    list->order[a - 1] = sb;
    list->order[b - 1] = sa;
    list->position[sb - 1] = static_cast<Index>(a);
    list->position[sa - 1] = static_cast<Index>(b);
    return true;
}

template <typename L> void slot_list_reference(L *list, uint32_t slot) {
    if (!list || slot < 1 || slot > capacity_of<L>()) return;
    std::printf("Increase %u\n", slot);
    list->reference_count[slot - 1]++;
}

template <typename L> void slot_list_release(L *list, uint32_t slot) {
    if (!list || slot < 1 || slot > capacity_of<L>()) return;
    std::printf("Decrease %u\n", slot);
    if (list->reference_count[slot - 1] > 0) list->reference_count[slot - 1]--;
}

template <typename L> L *slot_list_copy(const L *list) {
    if (!list) return nullptr;
    uint64_t bytes = sizeof(L) + uint64_t(list->count) * record_bytes(list->element_size);
    if (!memory_budget_take(bytes)) return nullptr;
    L *copy = static_cast<L *>(std::malloc(sizeof(L)));
    if (!copy) {
        memory_budget_give(bytes);
        return nullptr;
    }
    std::memcpy(copy, list, sizeof(L));
    for (uint32_t s = 1; s <= capacity_of<L>(); s++) {
        if (!list->marker[s - 1]) continue;
        copy->record[s - 1] = std::malloc(list->element_size ? list->element_size : 1);
        if (copy->record[s - 1]) {
            std::memcpy(copy->record[s - 1], list->record[s - 1], list->element_size);
        } else {
            // Out of memory: undo what was copied so far and fail as a whole.
            for (uint32_t t = 1; t < s; t++)
                if (list->marker[t - 1]) std::free(copy->record[t - 1]);
            std::free(copy);
            memory_budget_give(bytes);
            return nullptr;
        }
    }
    return copy;
}

template <typename L> bool slot_list_slot_removable(const L *list, uint32_t slot) {
    if (!list || slot < 1 || slot > capacity_of<L>()) return false;
    return list->marker[slot - 1] != 0 && list->reference_count[slot - 1] == 0;
}

#define BV_INSTANTIATE(L)                                                                                          \
    template L *slot_list_create<L>(uint32_t);                                                                     \
    template uint32_t slot_list_add<L>(L *);                                                                       \
    template void *slot_list_record_at<L>(const L *, uint32_t);                                                    \
    template void slot_list_free<L>(L *);                                                                          \
    template bool slot_list_remove<L>(L *, uint32_t);                                                              \
    template bool slot_list_remove_unreferenced<L>(L *, uint32_t);                                                 \
    template uint32_t slot_list_insert<L>(L *, uint32_t);                                                          \
    template bool slot_list_swap<L>(L *, uint32_t, uint32_t);                                                      \
    template void slot_list_reference<L>(L *, uint32_t);                                                           \
    template void slot_list_release<L>(L *, uint32_t);                                                             \
    template L *slot_list_copy<L>(const L *);                                                                      \
    template bool slot_list_slot_removable<L>(const L *, uint32_t);

BV_INSTANTIATE(ObjectList)
BV_INSTANTIATE(ShortList)

} // namespace resources
