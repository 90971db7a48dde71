// lib_data2: parameter-table operations, buffered console printing, clock.
//
// (module description to be completed)
#include "lib_data2.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>

// ==== Parameter table operations ============================================

// (layout checks, lookup, fp_main_read/write/compare, change_i4_*, setup_i4)

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
