// lib_fp: the key:value list parser, plain console printing and the CGI
// response routines.
//
// (module description to be completed)
#include "lib_fp.h"

#include <cstddef>
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
    const std::string_view key = token.substr(0, colon);
    const std::string_view value = token.substr(colon + 1);
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

// (SorPrintf, vSorPrintf, sprint_push, sprint_pull)

// ==== CGI response routines =================================================

// (is_show_debinfo_first, attribute records, mac_title, lib_fp_js_opt, routines)
