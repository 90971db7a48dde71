// ether_parse: the command tables and the dispatch of GET and PUT commands.
//
// Maps a GET name (padded with spaces to 20 bytes) or a PUT body's command
// name to its handler and calls it on the transfer buffer.
#pragma once

#include <cstdint>

// Writes the reply text from the start of `out` and returns its length.
using get_handler = int (*)(char* out);
// Receives the payload (inside the transfer buffer, one writable byte behind
// it) and its length. The result carries no meaning.
using put_handler = int (*)(char* payload, int length);

// Non-zero: the dispatcher prints "COMMAND END not found" and "not found".
extern int16_t deb_ether_parse;

// Calls the GET handler whose padded name matches the 20-byte `name` field.
// Returns the handler's reply length, or -1 when no command has this name.
int ether_get_data(const char* name, char* out);

// Splits `body` at its first NUL into command name and payload and calls the
// PUT handler of that name. `length` is above 0.
void ether_put_data(char* body, int length);

// One row of a command table. A row with a null name ends the table.
template <typename Handler>
struct command_entry {
    const char* name;
    Handler handler;
};

// GET names are the command name followed by twenty spaces (compared over
// 20 bytes); PUT names are the plain command names. Searched in order.
inline constexpr int GET_COMMAND_COUNT = 29;
inline constexpr int PUT_COMMAND_COUNT = 18;
extern const command_entry<get_handler> get_commands[GET_COMMAND_COUNT + 1];
extern const command_entry<put_handler> put_commands[PUT_COMMAND_COUNT + 1];
