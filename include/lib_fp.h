// lib_fp: the key:value list parser, plain console printing and the CGI
// response routines.
#pragma once

#include <cstdarg>

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

int SorPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
int vSorPrintf(const char* format, va_list args);
void sprint_push();
void sprint_pull();

// ---- CGI response routines --------------------------------------------------

void cgi_redirect(const char* target);
void cgi_parent_redirect(const char* target);
void show_debinfo_init();
int show_debinfo(const char* format, ...) __attribute__((format(printf, 1, 2)));
int show_text(const char* format, ...) __attribute__((format(printf, 1, 2)));
