// Fixed-capacity slot maps of heap records of one size: the object list (up to 4096 records,
// 16-bit numbers) and the short list (up to 255 records, 8-bit numbers). Slots and positions are
// 1-based; a record keeps its slot for life, the order array lists live slots by position.
// The list allocates (zeroed) and frees the record blocks; what a record owns is its own affair.
#pragma once

#include <cstdint>

namespace resources {

template <typename Index, uint32_t Capacity> struct SlotList {
    uint32_t element_size;
    void *record[Capacity];             // slot s at s - 1; null when free
    Index marker[Capacity];             // s while slot s is occupied, 0 when free
    uint16_t reference_count[Capacity]; // by slot
    Index next_free;                    // lowest free slot; Capacity + 1 (cut to Index) when full
    Index count;                        // live records
    Index order[Capacity];              // slot number at position p, at p - 1
    Index position[Capacity];           // position of slot s, at s - 1; 0 when free
};

using ObjectList = SlotList<uint16_t, 4096>;
using ShortList = SlotList<uint8_t, 255>;

constexpr uint32_t kObjectListCapacity = 4096;
constexpr uint32_t kShortListCapacity = 255;

// Generic operations, instantiated for both list kinds.
template <typename L> L *slot_list_create(uint32_t element_size);
template <typename L> uint32_t slot_list_add(L *list);
template <typename L> void *slot_list_record_at(const L *list, uint32_t position);
template <typename L> void slot_list_free(L *list);
template <typename L> bool slot_list_remove(L *list, uint32_t position);
template <typename L> bool slot_list_remove_unreferenced(L *list, uint32_t position);
template <typename L> uint32_t slot_list_insert(L *list, uint32_t position);
template <typename L> bool slot_list_swap(L *list, uint32_t position_a, uint32_t position_b);
template <typename L> void slot_list_reference(L *list, uint32_t slot);
template <typename L> void slot_list_release(L *list, uint32_t slot);
template <typename L> L *slot_list_copy(const L *list);
template <typename L> bool slot_list_slot_removable(const L *list, uint32_t slot);

// Object list ----------------------------------------------------------------------------------

// A new empty list whose records are element_size bytes. Null when memory runs out.
inline ObjectList *object_list_create(uint32_t element_size) { return slot_list_create<ObjectList>(element_size); }
// Slot of a new zeroed record (1..4096), or 0 when the list is full or memory runs out.
inline uint16_t object_list_add(ObjectList *list) { return static_cast<uint16_t>(slot_list_add(list)); }
// Record at a 1-based position, or null outside 1..4096 or when no record stands there.
inline void *object_list_record_at(const ObjectList *list, uint32_t position) {
    return slot_list_record_at(list, position);
}
// Slot number stored at a position (callers pass 1..count).
inline uint16_t object_list_slot_at(const ObjectList *list, uint32_t position) { return list->order[position - 1]; }
// Frees every live record, then the list. Accepts null.
inline void object_list_free(ObjectList *list) { slot_list_free(list); }
inline bool object_list_remove(ObjectList *list, uint32_t position) { return slot_list_remove(list, position); }
inline bool object_list_remove_unreferenced(ObjectList *list, uint32_t position) {
    return slot_list_remove_unreferenced(list, position);
}
// New record placed at position (1..count + 1); returns its slot, 0 when full or out of range.
inline uint16_t object_list_insert(ObjectList *list, uint32_t position) {
    return static_cast<uint16_t>(slot_list_insert(list, position));
}
inline bool object_list_swap(ObjectList *list, uint32_t a, uint32_t b) { return slot_list_swap(list, a, b); }
// Reference counting; prints "Increase %u" / "Decrease %u" on standard output.
inline void object_list_reference(ObjectList *list, uint32_t slot) { slot_list_reference(list, slot); }
inline void object_list_release(ObjectList *list, uint32_t slot) { slot_list_release(list, slot); }
inline ObjectList *object_list_copy(const ObjectList *list) { return slot_list_copy(list); }
// True when the slot is live and unreferenced.
inline bool object_list_slot_removable(const ObjectList *list, uint32_t slot) {
    return slot_list_slot_removable(list, slot);
}

// Short list -----------------------------------------------------------------------------------

inline ShortList *short_list_create(uint32_t element_size) { return slot_list_create<ShortList>(element_size); }
// Slot of a new zeroed record (1..255), or 0 when full.
inline uint8_t short_list_add(ShortList *list) { return static_cast<uint8_t>(slot_list_add(list)); }
// Record at a 1-based position; position 0 or an empty position gives null.
inline void *short_list_record_at(const ShortList *list, uint32_t position) {
    return slot_list_record_at(list, position);
}
inline uint8_t short_list_slot_at(const ShortList *list, uint32_t position) { return list->order[position - 1]; }
inline void short_list_free(ShortList *list) { slot_list_free(list); }
inline bool short_list_remove(ShortList *list, uint32_t position) { return slot_list_remove(list, position); }
inline bool short_list_remove_unreferenced(ShortList *list, uint32_t position) {
    return slot_list_remove_unreferenced(list, position);
}
inline uint8_t short_list_insert(ShortList *list, uint32_t position) {
    return static_cast<uint8_t>(slot_list_insert(list, position));
}
inline bool short_list_swap(ShortList *list, uint32_t a, uint32_t b) { return slot_list_swap(list, a, b); }
inline void short_list_reference(ShortList *list, uint32_t slot) { slot_list_reference(list, slot); }
inline void short_list_release(ShortList *list, uint32_t slot) { slot_list_release(list, slot); }
inline ShortList *short_list_copy(const ShortList *list) { return slot_list_copy(list); }
inline bool short_list_slot_removable(const ShortList *list, uint32_t slot) {
    return slot_list_slot_removable(list, slot);
}

// Typed access for loaders and renderers: the record at a position, or null.
template <typename T> inline T *object_at(const ObjectList *list, uint32_t position) {
    return list ? static_cast<T *>(object_list_record_at(list, position)) : nullptr;
}
template <typename T> inline T *short_at(const ShortList *list, uint32_t position) {
    return list ? static_cast<T *>(short_list_record_at(list, position)) : nullptr;
}

} // namespace resources
