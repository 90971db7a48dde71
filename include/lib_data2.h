// lib_data2: parameter-table operations, buffered console printing, clock.
//
// A parameter table is an array of 80-byte `i4_entry` records ending at the
// first record of type 0 (or at the table's capacity, whichever comes first).
// The operations find a record by its exact name and read, write or compare
// one of its six per-colour values, or change its bounds or type.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <span>
#include <type_traits>

// One parameter record; also the on-disk record of both settings files,
// which are stored as raw little-endian images of their tables.
struct i4_entry {
    int32_t type;       // 0 ends the table; 1..5 usable; anything else refused
    char name[32];      // NUL-terminated, NUL-filled
    int32_t value[6];   // value[c - 1] for colour index c = 1..6
    int32_t min;
    int32_t max;
    char group[4];      // "g1".."g5" or zero
    char reserved[8];
};

// The settings files are read and written as raw memory: every field must sit
// at its fixed offset and integers must be little-endian.
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

// Stores the value of colour `c` of record `name` in *out. Returns 0, or -1
// when there is no such record, its type is refused or c is outside 1..6
// (*out untouched).
int fp_main_read(const char* name, int* out, int c, std::span<const i4_entry> table);
// Stores `value` as colour `c` of record `name` (bounds are not applied).
// Returns 0, or -1 as fp_main_read (nothing changes).
int fp_main_write(const char* name, int value, int c, std::span<i4_entry> table);
// Returns 0 when colour `c` of record `name` equals `value`, else -1.
int fp_main_compare(const char* name, int value, int c, std::span<const i4_entry> table);
// Stores min and max into record `name` and clamps its six values to them.
void change_i4_min_max(std::span<i4_entry> table, const char* name, int min, int max);
// Sets the type of record `name` when `type` is 1..5.
void change_i4_type(std::span<i4_entry> table, const char* name, int type);
// Does nothing.
void setup_i4();

// ---- Buffered console printing -------------------------------------------

inline constexpr int MPRN_BUFFER_SIZE = 100000;
inline constexpr int MPRN_FLUSH_ABOVE = 98000;

extern int mprnP;                       // characters held in mprnD
extern char mprnD[MPRN_BUFFER_SIZE];    // the diverted text, NUL-terminated

// printf to standard output (returns vprintf's result), or, after
// mprint_push, into mprnD (returns the characters added to it). A message
// that would not fit behind the held text flushes that text first; only a
// message longer than the whole buffer is cut. Once mprnD holds more than
// 98,000 characters it is written out and diverting goes on, empty.
int MorPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Starts diverting; text still buffered is dropped unwritten.
void mprint_push();
// Stops diverting and writes the buffered text to standard output with
// "%s" (nothing when empty). The text stays in mprnD until overwritten.
void mprint_pull();
// As mprint_pull, then appends the same text and two line feeds to
// "mprint.log". Returns 0 when the log cannot be opened, else fclose's result.
int mprint_pull_log();

// ---- Clock ---------------------------------------------------------------

struct time_rec {
    int16_t sec;
    int16_t min;
    int16_t hour;
    int16_t mday;
    int16_t mon;    // 1..12
    int16_t year;   // full year
    int16_t wday;   // 0 is Sunday
};

// Fills *t with the current local time (the process's time zone, TZ).
void what_time(time_rec* t);
// Fills *t with the local time of the calendar time `now`; what_time passes
// time(). Leaves *t untouched when `now` cannot be broken down.
void what_time_from(std::time_t now, time_rec* t);
