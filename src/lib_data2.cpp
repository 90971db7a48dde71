// lib_data2: parameter-table operations, buffered console printing, clock.
//
// The parameter-table operations work on any table handed to them as a span
// (its capacity bounds every lookup) and keep no state; the stores of
// ifc_net and vfp_ifc call them. The diverting printer (`MorPrintf` and its
// 100,000-byte buffer `mprnD`) and the clock record `what_time` are library
// routines that no command path calls.
#include "lib_data2.h"

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>

// ==== Parameter table operations ============================================

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

// While diverting, mprnD holds mprnP characters and a NUL at mprnP. The fill
// position never exceeds 98,000 between calls (a larger one is flushed at
// once), so an ordinary message always fits behind it.

int mprnP = 0;
char mprnD[MPRN_BUFFER_SIZE];

namespace {

// Only this exact value means diverting.
constexpr int MPRINT_DIVERTING = 0xABCD;
int mprint_chg = 0;

// mprnP is public: keep a stray value from sending us outside the buffer.
int held_chars() {
    if (mprnP < 0) return 0;
    if (mprnP > MPRN_BUFFER_SIZE - 1) return MPRN_BUFFER_SIZE - 1;
    return mprnP;
}

}  // namespace

int MorPrintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    if (mprint_chg != MPRINT_DIVERTING) {
        const int written = std::vprintf(format, args);
        va_end(args);
        return written;
    }

    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length < 0) {  // formatting error: nothing is added
        va_end(args);
        return length;
    }
    // Flush first rather than cut a message that does not fit behind the
    // held text; only a message longer than the whole buffer is cut.
    if (held_chars() > 0 && length > MPRN_BUFFER_SIZE - 1 - held_chars()) {
        mprint_pull();
        mprint_push();
    }
    const int at = held_chars();
    const int room = MPRN_BUFFER_SIZE - at;  // NUL included
    std::vsnprintf(mprnD + at, static_cast<std::size_t>(room), format, args);
    va_end(args);
    const int added = length < room ? length : room - 1;
    mprnP = at + added;

    if (mprnP > MPRN_FLUSH_ABOVE) {
        mprint_pull();
        mprint_push();
    }
    return added;
}

void mprint_push() {
    mprnP = 0;
    mprint_chg = MPRINT_DIVERTING;
}

void mprint_pull() {
    mprint_chg = 0;
    mprnP = held_chars();
    mprnD[mprnP] = '\0';
    if (mprnP > 0) std::printf("%s", mprnD);
    mprnP = 0;
}

int mprint_pull_log() {
    mprint_pull();
    std::FILE* log = std::fopen("mprint.log", "a");
    if (log == nullptr) return 0;
    std::fprintf(log, "%s\n\n", mprnD);
    return std::fclose(log);
}

// ==== Clock =================================================================

void what_time_from(std::time_t now, time_rec* t) {
    const std::tm* local = std::localtime(&now);
    if (local == nullptr) return;
    t->sec = static_cast<int16_t>(local->tm_sec);
    t->min = static_cast<int16_t>(local->tm_min);
    t->hour = static_cast<int16_t>(local->tm_hour);
    t->mday = static_cast<int16_t>(local->tm_mday);
    t->mon = static_cast<int16_t>(local->tm_mon + 1);
    t->year = static_cast<int16_t>(local->tm_year + 1900);
    t->wday = static_cast<int16_t>(local->tm_wday);
}

void what_time(time_rec* t) {
    what_time_from(std::time(nullptr), t);
}
