// ifc_net: the interface settings table and the interface data commands.
//
// Owns the interface settings table (file "ifc_set.set": selection switches,
// status, targets, histogram selections), the simulated measurement source
// (the measurement block and the one histogram record), and the GET and PUT
// handlers of the interface data commands, which the command tables of
// ether_parse call with the transfer buffer.
#include "ifc_net.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>
#include <string_view>

#include "ether_parse.h"
#include "lib_data2.h"
#include "sim_main.h"
#include "tcp9001.h"

// ==== Interface settings store ==============================================

namespace {

// One default record: six values of its own, NUL-filled name, zero group
// tag and reserved bytes.
constexpr i4_entry rec(int type, const char* name, const int (&values)[6], int min, int max) {
    i4_entry e{};
    e.type = type;
    for (int i = 0; name[i] != '\0'; ++i) e.name[i] = name[i];
    for (int c = 0; c < 6; ++c) e.value[c] = values[c];
    e.min = min;
    e.max = max;
    return e;
}

// The built-in defaults, saved when "ifc_set.set" is missing or short. The
// bounds are stored only: STAT_2 holds 10 above its max of 6.
constexpr i4_entry i4_init[] = {
    rec(1, "Tot", {90, 90, 90, 90, 90, 90}, 50, 150),         // target "to"
    rec(1, "Twt", {240, 240, 240, 240, 240, 240}, 190, 290),  // target "tw"
    rec(1, "STAT_1", {1, 0, 0, 0, 0, 0}, 0, 6),               // color, mode, totw_sw
    rec(1, "STAT_2", {10, 1, 10, 2, 0, 0}, 0, 6),             // histogram selections
    rec(1, "V", {0, 0, 0, 0, 0, 0}, 0, 1),                    // pin .. stretch in 2..6
    rec(1, "S1", {0, 0, 0, 0, 0, 0}, 0, 1),                   // sub valves 1..6
    rec(1, "S2", {0, 0, 0, 0, 0, 0}, 0, 1),                   // sub valves 7..12
    rec(1, "S3", {0, 0, 0, 0, 0, 0}, 0, 1),                   // sub valves 13..18
    rec(1, "S4", {0, 0, 0, 0, 0, 0}, 0, 1),                   // sub valves 19, 20
    {},                                                        // terminator
};
static_assert(std::size(i4_init) == IFC_TABLE_RECORDS);

// The working table: zero until the first access, then the image last loaded
// (or the defaults). The file is the reference copy, reloaded every time.
i4_entry i4[IFC_TABLE_RECORDS];
static_assert(sizeof i4 == 800);

}  // namespace

void I_ifc() { std::memcpy(i4, i4_init, sizeof i4); }

int i_ifc() {
    if (hfp_load_data2(IFC_SET_FILE, i4, sizeof i4) == static_cast<int>(sizeof i4)) {
        return sizeof i4;
    }
    I_ifc();  // also overwrites what a short read put there
    return hfp_save_data2(IFC_SET_FILE, i4, sizeof i4);
}

int Ifc_SetRead(const char* name, int* out, int c) {
    i_ifc();
    return fp_main_read(name, out, c, i4);
}

int Ifc_SetWrite(const char* name, int value, int c) {
    i_ifc();
    const int result = fp_main_write(name, value, c, i4);
    // Saved even when nothing changed; a failed save is noticed by nobody,
    // and the value is gone at the next access, which reloads the file.
    hfp_save_data2(IFC_SET_FILE, i4, sizeof i4);
    return result;
}


// ==== Simulated measurement source ==========================================

namespace {

// Rows of the measurement block: row r, colour column k is word 7r + k.
constexpr int INFO_ROW_WORDS = 7;
constexpr int ROW_TO = 0;
constexpr int ROW_TBW = 18;
constexpr int ROW_TW = 19;
// The six doubles start at word 162, two words each, low-order word first.
constexpr int INFO_DOUBLES_AT = 162;

// The fixed bell of every histogram, symmetric about bin 23.
constexpr int BELL_FIRST_BIN = 14;
constexpr std::array<int32_t, 19> bell = {10,  30,  50,  120, 160, 210, 250, 280, 290, 300,
                                          290, 280, 250, 210, 160, 120, 50,  30,  10};
static_assert(BELL_FIRST_BIN + bell.size() <= HISTO_BINS);

// The one histogram record: each histogram data command overwrites it whole.
histo_rec histo;

// A private generator (splitmix64), so that no other user of rand() can
// shift the draws of a block. Re-seeded from the clock by every INFO_get.
uint64_t rng_state;

void rng_seed(std::time_t seconds) { rng_state = static_cast<uint64_t>(seconds); }

// One draw taken modulo n: 0 to n - 1, about equally likely for small n.
int32_t draw(int32_t n) {
    rng_state += 0x9E3779B97F4A7C15u;
    uint64_t z = rng_state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    z ^= z >> 31;
    return static_cast<int32_t>(static_cast<uint32_t>(z >> 32) % static_cast<uint32_t>(n));
}

int32_t& cell(int32_t* info_block, int row, int column) {
    return info_block[INFO_ROW_WORDS * row + column];
}

// Stores double `d` (0 to 5) as two words, low-order word first.
void store_double(int32_t* info_block, int d, double value) {
    const auto bits = std::bit_cast<uint64_t>(value);
    info_block[INFO_DOUBLES_AT + 2 * d] = static_cast<int32_t>(static_cast<uint32_t>(bits));
    info_block[INFO_DOUBLES_AT + 2 * d + 1] = static_cast<int32_t>(static_cast<uint32_t>(bits >> 32));
}

}  // namespace

int INFO_get(int32_t* info_block) {
    rng_seed(std::time(nullptr));
    for (int k = 0; k < 6; ++k) cell(info_block, ROW_TO, k) = 92;
    for (int r = 1; r <= 9; ++r)
        for (int k = 0; k < 6; ++k) cell(info_block, r, k) = 0;
    cell(info_block, 1, 0) = 128;
    cell(info_block, 1, 1) = 130;
    cell(info_block, 2, 0) = 164;
    cell(info_block, 2, 1) = 166;
    cell(info_block, 3, 0) = 190;
    cell(info_block, 3, 1) = 194;
    // Six draws, of which colours 1 and 2 are then overwritten.
    for (int k = 0; k < 6; ++k) cell(info_block, ROW_TBW, k) = draw(360);
    cell(info_block, ROW_TBW, 0) = 224;
    cell(info_block, ROW_TBW, 1) = 228;
    for (int k = 0; k < 6; ++k) cell(info_block, ROW_TW, k) = 242;
    cell(info_block, ROW_TW, 1) = 252;
    info_block[140] = 1000 + draw(40);
    info_block[141] = draw(360);
    info_block[142] = 980 + draw(20);
    info_block[143] = 1000 + draw(20);
    for (int w = 144; w <= 149; ++w) info_block[w] = draw(100);
    info_block[151] = draw(100);
    for (int w = 152; w <= 157; ++w) info_block[w] = 500;
    info_block[160] = 40 + draw(20);
    info_block[161] = 40 + draw(20);
    for (int d = 0; d < 6; ++d) {
        const int32_t whole = 10 + draw(10);  // the whole part is drawn first
        const int32_t hundredths = draw(100);
        store_double(info_block, d, whole + hundredths / 100.0);
    }
    store_double(info_block, 0, 4.65);
    store_double(info_block, 1, 4.52);
    for (int w = 176; w <= 181; ++w) info_block[w] = draw(100);
    info_block[159] = 1000;
    return 1000;
}

int get_histo(int side, int /*color*/, int /*item_no*/, histo_rec* h) {
    for (int32_t& bin : h->bins) bin = 0;
    for (std::size_t i = 0; i < bell.size(); ++i) h->bins[BELL_FIRST_BIN + i] = bell[i];
    h->summary = side == 0 ? 4.65 : 4.52;
    h->word1 = 500;
    h->word2 = 234;
    h->word3 = 500;
    h->word4 = 190;
    return 500;
}

int clear_histo(int color, int item_no) {
    return std::printf("clear_histo: color=%d, item_no=%d\n", color, item_no);
}

int set_histo(int lcolor, int litem, int lt, int rcolor, int ritem, int rt, int samp) {
    return std::printf("set_histo(L c=%d, i=%d, t=%d, R c=%d, i=%d, t=%d, samp=%d)\n", lcolor,
                       litem, lt, rcolor, ritem, rt, samp);
}

// ==== Commands ==============================================================

namespace {

// GET replies go into the transfer buffer; no reply comes near its size.
constexpr int REPLY_SPACE = TCP9001_MAX_BODY;

// The longest PUT payloads of the histogram commands.
constexpr int HST_SELECT_MAX = 15;
constexpr int HST_CLEAR_MAX = 10;
constexpr int HST_SET_MAX = 32;

// The selection switches in reply order, match order and clearing order.
struct select_item {
    const char* name;
    const char* record;
    int colour;
};
constexpr std::array<select_item, 25> item_map = {{
    {"pin", "V", 2},      {"abs", "V", 3},      {"main", "V", 4},     {"tandem", "V", 5},
    {"stretch", "V", 6},  {"sub1", "S1", 1},    {"sub2", "S1", 2},    {"sub3", "S1", 3},
    {"sub4", "S1", 4},    {"sub5", "S1", 5},    {"sub6", "S1", 6},    {"sub7", "S2", 1},
    {"sub8", "S2", 2},    {"sub9", "S2", 3},    {"sub10", "S2", 4},   {"sub11", "S2", 5},
    {"sub12", "S2", 6},   {"sub13", "S3", 1},   {"sub14", "S3", 2},   {"sub15", "S3", 3},
    {"sub16", "S3", 4},   {"sub17", "S3", 5},   {"sub18", "S3", 6},   {"sub19", "S4", 1},
    {"sub20", "S4", 2},
}};

// The histogram item keys; an item number indexes this table.
constexpr std::array<const char*, 12> key_str = {"to",  "tb1", "tb2", "tb3", "tb4", "tb5",
                                                 "tb6", "tb7", "tb8", "tbw", "tw",  "tw_tbw"};

// Word fields hold one character more than the longest valid word (and the
// NUL): a longer word is cut to a prefix that is itself too long to match.
constexpr std::size_t ITEM_FIELD = 7 + 2;  // "stretch"
constexpr std::size_t SIDE_FIELD = 4 + 2;  // "LEFT"
constexpr std::size_t KEY_FIELD = 6 + 2;   // "tw_tbw"

// The item number of `key` (exact, case-sensitive), or -1.
int find_key(std::string_view key) {
    for (std::size_t i = 0; i < key_str.size(); ++i)
        if (key == key_str[i]) return static_cast<int>(i);
    return -1;
}

// The key of an item number; "?" for a number that a foreign settings file
// put outside the table.
const char* key_name(int item) {
    return item >= 0 && item < static_cast<int>(key_str.size()) ? key_str[item] : "?";
}

// One value of the settings table; 0 when the record cannot be read.
int setting(const char* name, int colour) {
    int value = 0;
    Ifc_SetRead(name, &value, colour);
    return value;
}

// A reply being written into the transfer buffer.
struct reply {
    char* out;
    int length = 0;
};

// Appends formatted text, bounded by the space left in the buffer.
[[gnu::format(printf, 2, 3)]] void append(reply& r, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(r.out + r.length, REPLY_SPACE - r.length, format, args);
    va_end(args);
    if (n > 0) r.length = n < REPLY_SPACE - r.length ? r.length + n : REPLY_SPACE - 1;
}

// Appends `before`, the decimal `value` and `after`, as "%s%d%s" would, but
// with std::to_chars: printf's machinery costs more than all the other work
// of the average and histogram replies (11 and 54 numbers). Text that would
// not fit whole goes through append(), which cuts it as usual.
void append_number(reply& r, std::string_view before, int32_t value, std::string_view after) {
    char item[32];  // a few characters of key around an int
    char* end = std::copy(before.begin(), before.end(), item);
    end = std::to_chars(end, item + sizeof item, value).ptr;
    end = std::copy(after.begin(), after.end(), end);
    const int size = static_cast<int>(end - item);
    if (size >= REPLY_SPACE - r.length) {
        append(r, "%.*s", size, item);
        return;
    }
    std::memcpy(r.out + r.length, item, static_cast<std::size_t>(size));
    r.length += size;
    r.out[r.length] = '\0';  // as vsnprintf leaves it
}

// Terminates the payload and turns its first `colons` colons into spaces.
// False when the payload holds fewer colons: then nothing may be parsed.
bool prepare_payload(char* payload, int length, int colons) {
    payload[length] = '\0';
    for (int i = 0; i < colons; ++i) {
        auto* colon = static_cast<char*>(std::memchr(payload, ':', static_cast<std::size_t>(length)));
        if (colon == nullptr) return false;
        *colon = ' ';
    }
    return true;
}

bool is_white(char ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r'); }
bool is_digit(char ch) { return ch >= '0' && ch <= '9'; }

// Reads payload text the way a conversion pattern does: blank() skips any run
// of white space, none included; number() skips white space and reads an
// optionally signed decimal; word() skips white space and reads a run of
// non-white characters; literal() must match exactly where the text stands.
// The first field that does not convert stops the scan: ok() turns false and
// the later steps leave their fields as they were. A number outside the int
// range does not convert.
class pattern_scan {
public:
    explicit pattern_scan(const char* text) : at_(text) {}

    bool ok() const { return ok_; }

    pattern_scan& blank() {
        while (is_white(*at_)) ++at_;
        return *this;
    }

    pattern_scan& literal(std::string_view text) {
        if (ok_ && std::strncmp(at_, text.data(), text.size()) == 0)
            at_ += text.size();
        else
            ok_ = false;
        return *this;
    }

    pattern_scan& number(int& value) {
        if (!ok_) return *this;
        blank();
        const char* p = at_;
        const bool negative = *p == '-';
        if (*p == '-' || *p == '+') ++p;
        if (!is_digit(*p)) return fail();
        int64_t magnitude = 0;
        for (; is_digit(*p); ++p) {
            magnitude = magnitude * 10 + (*p - '0');
            if (magnitude > int64_t{INT32_MAX} + 1) return fail();
        }
        const int64_t v = negative ? -magnitude : magnitude;
        if (v > INT32_MAX) return fail();
        value = static_cast<int>(v);
        at_ = p;
        return *this;
    }

    // Reads the whole word but keeps at most N - 1 characters of it.
    template <std::size_t N>
    pattern_scan& word(char (&field)[N]) {
        if (!ok_) return *this;
        blank();
        if (*at_ == '\0') return fail();
        std::size_t kept = 0;
        for (; *at_ != '\0' && !is_white(*at_); ++at_)
            if (kept < N - 1) field[kept++] = *at_;
        field[kept] = '\0';
        return *this;
    }

private:
    pattern_scan& fail() {
        ok_ = false;
        return *this;
    }

    const char* at_;
    bool ok_ = true;
};

int get_target(char* out, int16_t colour) {
    reply r{out};
    append(r, "to:%d ", setting("Tot", colour));
    append(r, "tw:%d ", setting("Twt", colour));
    return r.length;
}

int set_to_tw(char* payload, int length, int colour) {
    if (length < 0 || !prepare_payload(payload, length, 2)) return 0;
    int to = 0;
    int tw = 0;
    if (!pattern_scan(payload).literal("to").number(to).blank().literal("tw").number(tw).ok())
        return 0;
    Ifc_SetWrite("Tot", to, colour);
    Ifc_SetWrite("Twt", tw, colour);
    return 0;
}

// Each measurement reply comes from a fresh block.
struct measurement {
    int32_t info_block[INFO_BLOCK_WORDS] = {};
    measurement() { INFO_get(info_block); }
    int32_t value(int row, int colour) const { return info_block[INFO_ROW_WORDS * row + colour - 1]; }
};

int get_to_tw(char* out, int16_t colour) {
    const measurement m;
    reply r{out};
    append(r, "to:%d ", m.value(ROW_TO, colour));
    append(r, "tw:%d ", m.value(ROW_TW, colour));
    return r.length;
}

int get_hist_ave(char* out, int16_t colour) {
    const measurement m;
    reply r{out};
    constexpr std::array<std::string_view, 8> tb = {"tb1:", "tb2:", "tb3:", "tb4:",
                                                    "tb5:", "tb6:", "tb7:", "tb8:"};
    append_number(r, "to:", m.value(ROW_TO, colour), " ");
    for (int j = 1; j <= 8; ++j) append_number(r, tb[j - 1], m.value(j, colour), " ");
    append_number(r, "tbw:", m.value(ROW_TBW, colour), " ");
    append_number(r, "tw:", m.value(ROW_TW, colour), " ");
    return r.length;
}

int IFC_get_hist_cntdat(char* out, int side) {
    const int colour = setting("STAT_2", side == 0 ? 2 : 4);
    const int item = setting("STAT_2", side == 0 ? 1 : 3);
    // The item number only travels along: it never indexes key_str here.
    get_histo(side, colour, item, &histo);
    reply r{out};
    append_number(r, "", histo.word2, "");
    append_number(r, " ", histo.word1, "");
    append(r, " %.2f", histo.summary);
    append_number(r, " ", histo.word4, "");
    append_number(r, " ", histo.word3, "");
    for (const int32_t bin : histo.bins) append_number(r, " ", bin, "");
    return r.length;
}

}  // namespace

int IFC_get_select_item(char* out) {
    reply r{out};
    for (const select_item& item : item_map)
        append(r, "%s:%d ", item.name, setting(item.record, item.colour));
    return r.length;
}

int IFC_set_select_item(char* payload, int length) {
    if (length < 0 || !prepare_payload(payload, length, 1)) return 0;
    char name[ITEM_FIELD] = "";
    int value = 0;
    if (!pattern_scan(payload).word(name).number(value).ok()) return 0;
    for (const select_item& item : item_map) {
        if (name == std::string_view(item.name)) {
            Ifc_SetWrite(item.record, value, item.colour);
            return 0;
        }
    }
    // "all" always clears; its number is read but not used.
    if (name == std::string_view("all"))
        for (const select_item& item : item_map) Ifc_SetWrite(item.record, 0, item.colour);
    return 0;
}

int IFC_get_stat(char* out) {
    const int color = setting("STAT_1", 1);
    const int mode = setting("STAT_1", 2);
    const int totw_sw = setting("STAT_1", 3);
    reply r{out};
    append(r, "color:%d mode:%d totw_sw:%d ", color, mode, totw_sw);
    return r.length;
}

int IFC_set_stat(char* payload, int length) {
    if (length < 0 || !prepare_payload(payload, length, 3)) return 0;
    int color = 0;
    int mode = 0;
    int totw_sw = 0;
    if (!pattern_scan(payload)
             .literal("color")
             .number(color)
             .blank()
             .literal("mode")
             .number(mode)
             .blank()
             .literal("totw_sw")
             .number(totw_sw)
             .ok())
        return 0;
    Ifc_SetWrite("STAT_1", color, 1);
    Ifc_SetWrite("STAT_1", mode, 2);
    Ifc_SetWrite("STAT_1", totw_sw, 3);
    return 0;
}

int IFC_get_hst_select(char* out) {
    const int left_colour = setting("STAT_2", 2);
    const int left_item = setting("STAT_2", 1);
    const int right_colour = setting("STAT_2", 4);
    const int right_item = setting("STAT_2", 3);
    reply r{out};
    append(r, "%d", left_colour);
    append(r, " %s", key_name(left_item));
    append(r, " %d", right_colour);
    append(r, " %s", key_name(right_item));
    return r.length;
}

int IFC_hst_select_item(char* payload, int length) {
    if (length < 0) return 0;
    payload[length] = '\0';
    if (length > HST_SELECT_MAX) return 0;
    char side[SIDE_FIELD] = "";
    int colour = 0;
    char key[KEY_FIELD] = "";
    if (!pattern_scan(payload).word(side).number(colour).word(key).ok()) return 0;
    const bool left = side == std::string_view("LEFT");
    // Colour and item are stored independently of each other.
    if (colour >= 1 && colour <= 6) Ifc_SetWrite("STAT_2", colour, left ? 2 : 4);
    const int item = find_key(key);
    if (item >= 0) Ifc_SetWrite("STAT_2", item, left ? 1 : 3);
    return 0;
}

int IFC_hst_clear(char* payload, int length) {
    if (length < 0) return 0;
    payload[length] = '\0';
    if (length > HST_CLEAR_MAX) return 0;
    int colour = 0;
    char key[KEY_FIELD] = "";
    pattern_scan(payload).number(colour).word(key);
    // A key that did not convert stays empty and is not found.
    const int item = find_key(key);
    if (item >= 0) clear_histo(colour, item);
    return 0;
}

int IFC_hst_set(char* payload, int length) {
    if (length < 0) return 0;
    payload[length] = '\0';
    if (length > HST_SET_MAX) return 0;
    int lcolour = 0, lt = 0, rcolour = 0, rt = 0, samp = 0;
    char lkey[KEY_FIELD] = "";
    char rkey[KEY_FIELD] = "";
    // Fields that do not convert keep 0 (an empty key gives item number 0).
    pattern_scan(payload)
        .number(lcolour)
        .word(lkey)
        .number(lt)
        .number(rcolour)
        .word(rkey)
        .number(rt)
        .number(samp);
    int litem = find_key(lkey);
    int ritem = find_key(rkey);
    set_histo(lcolour, litem < 0 ? 0 : litem, lt, rcolour, ritem < 0 ? 0 : ritem, rt, samp);
    return 0;
}

int IFC_get_hist_cntdatL(char* out) { return IFC_get_hist_cntdat(out, 0); }
int IFC_get_hist_cntdatR(char* out) { return IFC_get_hist_cntdat(out, 1); }

// Per-colour commands.
int IFC_get_Tot_Twt_1(char* out) { return get_target(out, 1); }
int IFC_get_Tot_Twt_2(char* out) { return get_target(out, 2); }
int IFC_get_Tot_Twt_3(char* out) { return get_target(out, 3); }
int IFC_get_Tot_Twt_4(char* out) { return get_target(out, 4); }
int IFC_get_Tot_Twt_5(char* out) { return get_target(out, 5); }
int IFC_get_Tot_Twt_6(char* out) { return get_target(out, 6); }
int IFC_set_to_tw_1(char* payload, int length) { return set_to_tw(payload, length, 1); }
int IFC_set_to_tw_2(char* payload, int length) { return set_to_tw(payload, length, 2); }
int IFC_set_to_tw_3(char* payload, int length) { return set_to_tw(payload, length, 3); }
int IFC_set_to_tw_4(char* payload, int length) { return set_to_tw(payload, length, 4); }
int IFC_set_to_tw_5(char* payload, int length) { return set_to_tw(payload, length, 5); }
int IFC_set_to_tw_6(char* payload, int length) { return set_to_tw(payload, length, 6); }
int IFC_get_To_Tw_1(char* out) { return get_to_tw(out, 1); }
int IFC_get_To_Tw_2(char* out) { return get_to_tw(out, 2); }
int IFC_get_To_Tw_3(char* out) { return get_to_tw(out, 3); }
int IFC_get_To_Tw_4(char* out) { return get_to_tw(out, 4); }
int IFC_get_To_Tw_5(char* out) { return get_to_tw(out, 5); }
int IFC_get_To_Tw_6(char* out) { return get_to_tw(out, 6); }
int IFC_get_histo_ave_1(char* out) { return get_hist_ave(out, 1); }
int IFC_get_histo_ave_2(char* out) { return get_hist_ave(out, 2); }
int IFC_get_histo_ave_3(char* out) { return get_hist_ave(out, 3); }
int IFC_get_histo_ave_4(char* out) { return get_hist_ave(out, 4); }
int IFC_get_histo_ave_5(char* out) { return get_hist_ave(out, 5); }
int IFC_get_histo_ave_6(char* out) { return get_hist_ave(out, 6); }
