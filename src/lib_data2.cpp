// lib_data2: parameter-table operations, buffered console printing, clock.
//
// (module description to be completed)
#include "lib_data2.h"

#include <bit>
#include <cstddef>
#include <cstring>
#include <string_view>
#include <type_traits>

// ==== Parameter table operations ============================================

// The record is also the settings files' on-disk layout, stored as raw bytes:
// every field must sit at its fixed offset and integers must be little-endian.
static_assert(std::endian::native == std::endian::little);
static_assert(sizeof(i4_entry) == 80);
static_assert(offsetof(i4_entry, type) == 0);
static_assert(offsetof(i4_entry, name) == 4);
static_assert(offsetof(i4_entry, value) == 36);
static_assert(offsetof(i4_entry, min) == 60);
static_assert(offsetof(i4_entry, max) == 64);
static_assert(offsetof(i4_entry, group) == 68);
static_assert(offsetof(i4_entry, reserved) == 72);
static_assert(std::is_trivially_copyable_v<i4_entry>);

namespace {

// The first record named `name`, or nullptr. Stops at the terminator or at the
// table's capacity, and compares at most the 32-byte name field, so an image
// from a file without terminator or with an unterminated name stays in bounds.
template <typename Entry>
Entry* find_i4(std::span<Entry> table, const char* name) {
    const std::string_view wanted(name);
    for (Entry& rec : table) {
        if (rec.type == 0) return nullptr;
        if (std::string_view(rec.name, strnlen(rec.name, sizeof rec.name)) == wanted) {
            return &rec;
        }
    }
    return nullptr;
}

// Types 1..5 are usable: one unsigned test, so negative types fail it too.
bool usable_type(int32_t type) { return static_cast<uint32_t>(type) - 1u <= 4u; }

// Colour indexes 1..6 select value[0..5]; anything else never reaches memory.
bool valid_colour(int c) { return static_cast<unsigned>(c) - 1u < 6u; }

// The usable record `name` for a value operation on colour c, or nullptr.
template <typename Entry>
Entry* value_record(std::span<Entry> table, const char* name, int c) {
    if (!valid_colour(c)) return nullptr;
    Entry* rec = find_i4(table, name);
    if (rec == nullptr || !usable_type(rec->type)) return nullptr;
    return rec;
}

}  // namespace

int fp_main_read(const char* name, int* out, int c, std::span<const i4_entry> table) {
    const i4_entry* rec = value_record(table, name, c);
    if (rec == nullptr) return -1;
    *out = rec->value[c - 1];
    return 0;
}

int fp_main_write(const char* name, int value, int c, std::span<i4_entry> table) {
    i4_entry* rec = value_record(table, name, c);
    if (rec == nullptr) return -1;
    rec->value[c - 1] = value;  // bounds are stored, not applied
    return 0;
}

int fp_main_compare(const char* name, int value, int c, std::span<const i4_entry> table) {
    const i4_entry* rec = value_record(table, name, c);
    if (rec == nullptr) return -1;
    return rec->value[c - 1] == value ? 0 : -1;
}

void change_i4_min_max(std::span<i4_entry> table, const char* name, int min, int max) {
    i4_entry* rec = find_i4(table, name);
    if (rec == nullptr) return;  // any non-zero type is changed
    rec->min = min;
    rec->max = max;
    // Raise to min first, then cap at max: with min > max all end at max.
    for (int32_t& v : rec->value) {
        if (v < min) v = min;
        if (v > max) v = max;
    }
}

void change_i4_type(std::span<i4_entry> table, const char* name, int type) {
    if (!usable_type(type)) return;
    i4_entry* rec = find_i4(table, name);
    if (rec != nullptr) rec->type = type;
}

void setup_i4() {}

// ==== Buffered console printing =============================================

// (mprint_chg, mprnP, mprnD, MorPrintf, mprint_push, mprint_pull, mprint_pull_log)

// ==== Clock =================================================================

// (what_time)
