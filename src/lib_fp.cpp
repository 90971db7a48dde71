// lib_fp: the key:value list parser, plain console printing and the CGI
// response routines.
//
// General routines of the support library. The key:value list parser
// `line2matrix2` fills the process-wide row store `l2m2` and is used by the
// valve PUT commands. The plain printers and the CGI page routines (with
// their constant attribute records) are library routines that no command
// path calls; they write to standard output through stdio.
#include "lib_fp.h"

#include <bit>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string_view>

// ==== Key:value list parser =================================================

static_assert(sizeof(l2m2_row) == 80, "a parsed row is 80 bytes");
static_assert(offsetof(l2m2_row, key) == 0 && offsetof(l2m2_row, value) == 30,
              "the key is 30 bytes, the value 50 bytes behind it");

l2m2_row l2m2[L2M2_ROWS];

namespace {
constexpr std::size_t KEY_MAX = sizeof(l2m2_row::key) - 1;      // 29
constexpr std::size_t VALUE_MAX = sizeof(l2m2_row::value) - 1;  // 49

// Stores one token in `row` when it is a key:value item that fits; the row
// is already zero, so it supplies both terminating NULs. Returns false (row
// untouched) for a token without a colon or with a key or value too long:
// such a token is skipped whole, since a cut-off key or value could name a
// different item or carry a different number.
bool store_token(std::string_view token, l2m2_row& row) {
    const std::size_t colon = token.find(':');
    if (colon == std::string_view::npos) return false;
    // Cut without substr: its range check brings an exception path, and with
    // it the whole C++ runtime library, into a server that throws nothing.
    const std::string_view key(token.data(), colon);
    const std::string_view value(token.data() + colon + 1, token.size() - colon - 1);
    if (key.size() > KEY_MAX || value.size() > VALUE_MAX) return false;
    std::memcpy(row.key, key.data(), key.size());
    std::memcpy(row.value, value.data(), value.size());
    return true;
}
}  // namespace

void line2matrix2(char* text) {
    std::memset(l2m2, 0, sizeof l2m2);
    // strtok_r keeps its position in `rest`, not in hidden static state.
    // Skipped tokens take no row, so the rows stay packed and the first empty
    // key is still the end of the list (or a token that began with a colon).
    int rows = 0;
    char* rest = nullptr;
    for (char* token = strtok_r(text, " ", &rest); token != nullptr;
         token = strtok_r(nullptr, " ", &rest)) {
        if (rows == L2M2_ROWS) continue;  // full: split on, store nothing more
        if (store_token(token, l2m2[rows])) ++rows;
    }
}

// ==== Plain console printing ================================================

int SorPrintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int written = std::vprintf(format, args);
    va_end(args);
    return written;
}

int vSorPrintf(const char* format, va_list args) {
    return std::vprintf(format, args);
}

void sprint_push() {}

void sprint_pull() {}

// ==== CGI response routines =================================================

// The records' integers are laid out little-endian, like the rest of the
// system's fixed records.
static_assert(std::endian::native == std::endian::little);

constexpr rdoyn_attr rdoyn_attr_y_n = {1, 0, nullptr, nullptr, 0};
constexpr rdoyn_attr rdoyn_attr_i_c = {0, 1, "inch", "cm", 0};
constexpr rdoyn_attr rdoyn_attr_a_s = {0, 1, "ALL", "SET", 0};

namespace {

// The twelve cell layouts differ only in width, error flag and refresh pair.
constexpr mtbl_attr cell(int32_t width, int32_t show_error, int16_t refresh_kind,
                         int16_t refresh_step) {
    return {width, "#FFE4C4", "#000000", "middle", "center", "center", {},
            {1, 0, 0}, show_error, refresh_kind, refresh_step, {}};
}

}  // namespace

constexpr mtbl_attr mtbl_attr_default_1 = cell(52, 1, 0, 0);
constexpr mtbl_attr mtbl_attr_default_2 = cell(90, 1, 0, 0);
constexpr mtbl_attr mtbl_attr_default_img = cell(70, 1, 0, 0);
constexpr mtbl_attr mtbl_attr_no_perror_1 = cell(52, 0, 0, 0);
constexpr mtbl_attr mtbl_attr_no_perror_img = cell(70, 0, 0, 0);
constexpr mtbl_attr mtbl_attr_no_perror_2 = cell(90, 0, 0, 0);
constexpr mtbl_attr mtbl_attr_refresh1 = cell(70, 0, 1, 1);
constexpr mtbl_attr mtbl_attr_refresh2 = cell(70, 0, 1, 2);
constexpr mtbl_attr mtbl_attr_refresh3 = cell(70, 0, 1, 3);
constexpr mtbl_attr mtbl_attr_refresh2_1 = cell(70, 0, 2, 1);
constexpr mtbl_attr mtbl_attr_refresh2_2 = cell(70, 0, 2, 2);
constexpr mtbl_attr mtbl_attr_refresh2_3 = cell(70, 0, 2, 3);

constexpr tbl_opt tbl_opt_default = {{0, 0, 0, 0, 0}, 12};
constexpr js_opt js_opt_clr = {0, 0, {0, 0, 0, 0}};
constexpr js_opt js_opt_default_1 = {0, 1, {0, 0, 0, 0}};

char mac_title[MAC_TITLE_SIZE];
js_opt lib_fp_js_opt;

namespace {

// 1 arms the text/plain header for the next show_debinfo or show_text.
int is_show_debinfo_first = 0;

// `frame` is "" for the page itself or "parent." for the parent frame. puts
// adds the last line feed: the header line ends in CR LF, and a further
// CR LF ends the header block.
void write_redirect(const char* frame, const char* target) {
    std::puts("content-type: text/html\r\n\r");
    std::puts("<html>");
    std::printf("<body onload='javascript:%slocation.href=\"%s\";'>\n", frame, target);
    std::printf("</body></html>");
}

int show_vtext(const char* format, va_list args) {
    if (is_show_debinfo_first == 1) {
        std::puts("content-type: text/plain\r\n\r");
        is_show_debinfo_first = 0;
    }
    return std::vprintf(format, args);
}

}  // namespace

void cgi_redirect(const char* target) {
    write_redirect("", target);
}

void cgi_parent_redirect(const char* target) {
    write_redirect("parent.", target);
}

void show_debinfo_init() {
    is_show_debinfo_first = 1;
}

int show_debinfo(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int written = show_vtext(format, args);
    va_end(args);
    return written;
}

int show_text(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int written = show_vtext(format, args);
    va_end(args);
    return written;
}
