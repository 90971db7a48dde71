// sim_main: settings-file primitives, the CGI log and the simulated
// machine state.
#pragma once

// Reads up to `size` bytes of file `path` into `buffer` in one read.
// Returns the bytes read, 0 when the file cannot be opened, -1 when the read
// fails.
int hfp_load_data2(const char* path, void* buffer, int size);

// Replaces file `path` with the `length` bytes at `data` (mode 0644 less the
// umask). Returns 0, or -1 when the file was not replaced whole.
int hfp_save_data2(const char* path, const void* data, int length);

// Appends `length` raw bytes to "cgi.log" (created 0644 when missing).
// Returns the negative result of a failed open, else the result of close.
int append_log(const char* data, int length);

// The simulated machine state, 0 at start.
extern int status;
extern int kakudo;
extern int color_num;

// Sets status 4, kakudo 300, color_num 1.
void i_sim_main();
