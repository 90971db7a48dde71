// lib_fp: the key:value list parser, plain console printing and the CGI
// response routines.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

// ---- Key:value list parser --------------------------------------------------

inline constexpr int L2M2_ROWS = 500;

struct l2m2_row {
    char key[30];
    char value[50];
};

// The rows of the last parse; rows after the last token are zero.
extern l2m2_row l2m2[L2M2_ROWS];

// Splits `text` (NUL-terminated, changed in place like strtok) at spaces into
// key:value rows of l2m2, split at the first colon. A token without a colon,
// or with a key over 29 or a value over 49 characters, is skipped and takes
// no row; tokens after the 500th are skipped. Rows after the last are zero.
void line2matrix2(char* text);

// ---- Plain console printing -------------------------------------------------

// printf straight to standard output; returns vprintf's result.
int SorPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// vprintf straight to standard output; returns its result.
int vSorPrintf(const char* format, va_list args);
// Do nothing: this family never diverts (the shapes match mprint_push/pull).
void sprint_push();
void sprint_pull();

// ---- CGI response routines --------------------------------------------------

// Write to standard output a text/html page whose body sends the browser
// (cgi_redirect) or the parent frame (cgi_parent_redirect) on to `target`.
// `target` is written unchanged, unescaped, inside a double-quoted script
// string: for trusted callers only; never hand them client input unescaped.
void cgi_redirect(const char* target);
void cgi_parent_redirect(const char* target);
// Arms the one-time "content-type: text/plain" header block.
void show_debinfo_init();
// printf to standard output, preceded by the text/plain header block when
// show_debinfo_init armed it (then disarmed). Return vprintf's result.
int show_debinfo(const char* format, ...) __attribute__((format(printf, 1, 2)));
int show_text(const char* format, ...) __attribute__((format(printf, 1, 2)));

// ---- Constant attribute and option records ----------------------------------
//
// Form and table attributes for page writers that would use this library.
// Nothing in this system reads them; their layout is fixed (checked below,
// little-endian) so that the records stay byte-identical for any consumer.

// A yes/no style radio pair: the value of each choice and its label (a null
// label leaves the wording to the consumer).
struct rdoyn_attr {
    int16_t value_first;
    int16_t value_second;
    const char* label_first;
    const char* label_second;
    int32_t reserved;           // always 0
};

extern const rdoyn_attr rdoyn_attr_y_n;   // 1, 0, no labels
extern const rdoyn_attr rdoyn_attr_i_c;   // 0, 1, "inch", "cm"
extern const rdoyn_attr rdoyn_attr_a_s;   // 0, 1, "ALL", "SET"

// A table cell layout: 108 bytes, the texts held inside the record.
struct mtbl_attr {
    int32_t width;              // 52, 70 or 90
    char bg_color[8];           // "#FFE4C4"
    char fg_color[8];           // "#000000"
    char valign[10];            // "middle"
    char align_head[10];        // "center"
    char align_body[10];        // "center"
    char pad[2];                // 0
    int32_t flags[3];           // 1, 0, 0
    int32_t show_error;         // 1 for the default records, else 0
    int16_t refresh_kind;       // 0, or 1..2 for the refresh records
    int16_t refresh_step;       // 0, or 1..3 for the refresh records
    char reserved[36];          // 0
};
static_assert(sizeof(mtbl_attr) == 108);
static_assert(offsetof(mtbl_attr, bg_color) == 4);
static_assert(offsetof(mtbl_attr, fg_color) == 12);
static_assert(offsetof(mtbl_attr, valign) == 20);
static_assert(offsetof(mtbl_attr, align_head) == 30);
static_assert(offsetof(mtbl_attr, align_body) == 40);
static_assert(offsetof(mtbl_attr, flags) == 52);
static_assert(offsetof(mtbl_attr, show_error) == 64);
static_assert(offsetof(mtbl_attr, refresh_kind) == 68);
static_assert(offsetof(mtbl_attr, refresh_step) == 70);
static_assert(offsetof(mtbl_attr, reserved) == 72);

extern const mtbl_attr mtbl_attr_default_1;
extern const mtbl_attr mtbl_attr_default_2;
extern const mtbl_attr mtbl_attr_default_img;
extern const mtbl_attr mtbl_attr_no_perror_1;
extern const mtbl_attr mtbl_attr_no_perror_img;
extern const mtbl_attr mtbl_attr_no_perror_2;
extern const mtbl_attr mtbl_attr_refresh1;
extern const mtbl_attr mtbl_attr_refresh2;
extern const mtbl_attr mtbl_attr_refresh3;
extern const mtbl_attr mtbl_attr_refresh2_1;
extern const mtbl_attr mtbl_attr_refresh2_2;
extern const mtbl_attr mtbl_attr_refresh2_3;

// Table options: 24 bytes.
struct tbl_opt {
    int32_t reserved[5];        // 0
    int32_t font_size;          // 12 in tbl_opt_default
};
static_assert(sizeof(tbl_opt) == 24);
static_assert(offsetof(tbl_opt, font_size) == 20);

// Script options: 24 bytes.
struct js_opt {
    int32_t mode;               // 0
    int32_t enabled;            // 1 in js_opt_default_1
    int32_t reserved[4];        // 0
};
static_assert(sizeof(js_opt) == 24);
static_assert(offsetof(js_opt, enabled) == 4);
static_assert(offsetof(js_opt, reserved) == 8);

extern const tbl_opt tbl_opt_default;
extern const js_opt js_opt_clr;
extern const js_opt js_opt_default_1;

// Reserved for page writers; zero, and nothing here reads or writes them.
inline constexpr int MAC_TITLE_SIZE = 64;
extern char mac_title[MAC_TITLE_SIZE];
extern js_opt lib_fp_js_opt;
