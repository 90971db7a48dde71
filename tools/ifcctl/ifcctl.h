// ifcctl: the command-line client of the settings server, as a library.
//
// The executable (ifcctl.cpp) is a thin main() over run(); the tests call
// the same functions. The pieces: the command-line front end (cli.cpp), the
// offline settings-file decoder (settings_file.cpp), the command descriptions
// behind `ifcctl list` (command_docs.cpp), reply parsing and JSON
// (reply.cpp) and the terminal views of `histo` and `watch` (views.cpp).
// This is a tool, not the server: it may use std::string and the heap.
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lib_data2.h"

namespace ifcctl {

// ---- Exit codes ---------------------------------------------------------------

// The documented exit codes of the tool (see --help and docs/protocol.md).
enum exit_code : int {
    EXIT_OK = 0,
    EXIT_USAGE = 1,            // bad arguments, unknown subcommand, payload too big
    EXIT_CONNECT = 2,          // cannot connect to the server
    EXIT_UNKNOWN_COMMAND = 3,  // the server answered the -1 length header
    EXIT_CLOSED = 4,           // the server closed the connection
    EXIT_TIMEOUT = 5,          // a wait for the server ran out
    EXIT_MALFORMED = 6,        // the server sent bytes outside the protocol
    EXIT_BAD_FILE = 7,         // `file`: unreadable, short, long or damaged image
};

// ---- Front end ------------------------------------------------------------------

// Where the tool reads and writes; `colour` switches ANSI colours on.
struct streams {
    FILE* in;
    FILE* out;
    FILE* err;
    bool colour;
};

// Runs one command line (argv[0] is the program name) and returns its exit
// code. Everything goes through `io`; nothing touches the process's streams.
int run(int argc, char** argv, const streams& io);

// ---- Settings files ---------------------------------------------------------------

inline constexpr std::size_t RECORD_SIZE = sizeof(i4_entry);

// The two tables the server keeps on disk.
struct table_kind {
    const char* file_name;   // "ifc_set.set" or "valve_fp.set"
    const char* title;       // "interface settings", "valve settings"
    std::size_t records;     // capacity, end record included
    std::size_t bytes() const { return records * RECORD_SIZE; }
};
const table_kind& interface_table();
const table_kind& valve_table();

// One decoded record before the end record.
struct decoded_record {
    std::size_t index;
    i4_entry entry;
    std::string name;         // printable: bytes up to the NUL, others as \xNN
    bool name_unterminated;   // no NUL in the 32-byte field
    bool type_refused;        // type outside 1..5
    bool out_of_bounds[6];    // value outside [min, max]
};

struct settings_report {
    const table_kind* kind;
    std::string how_chosen;   // why this table was assumed ("by size", ...)
    std::size_t file_size;
    std::vector<decoded_record> records;
    std::optional<std::size_t> end_index;   // the first record of type 0
    std::size_t records_behind_end;         // non-zero records after it
    std::vector<std::string> problems;      // faults of the image, plain text
    std::vector<std::string> notes;         // what the server makes of it
};

// Decodes a file image. `name_hint` is the path (its base name picks the
// table when it is one of the two file names); `forced` overrides both name
// and size. Never fails: every fault becomes a problem line.
settings_report decode_settings(std::string_view image, std::string_view name_hint,
                                const table_kind* forced);
// The readable table, and the same as one JSON object.
std::string settings_text(const settings_report& report, std::string_view path);
std::string settings_json(const settings_report& report, std::string_view path);

// ---- Command descriptions -----------------------------------------------------------

// Description of one command, or of a per-colour family whose key ends in
// "_#" and stands for the names ending in _1 to _6.
struct command_doc {
    std::string_view key;
    std::string_view form;     // reply form (GET) or payload form (PUT)
    std::string_view example;  // a reply with the defaults, or a payload
    std::string_view about;
};

// The description of a GET or PUT command name; nullptr when none fits.
const command_doc* find_command_doc(std::string_view name);
// Every description, for the check that none is stale.
std::vector<const command_doc*> all_command_docs();
// The server's command names, GET names without their padding, table order.
std::vector<std::string> server_get_names();
std::vector<std::string> server_put_names();
bool is_get_command(std::string_view name);
bool is_put_command(std::string_view name);
// The text and JSON forms of `ifcctl list`.
std::string list_text();
std::string list_json();

// ---- Replies ---------------------------------------------------------------------------

// A reply item: "key:value" (key set) or a plain value (key empty).
struct reply_item {
    std::string key;
    std::string value;
    bool keyed;
};
// Splits a reply at single spaces (runs of spaces count as one).
std::vector<reply_item> split_reply(std::string_view reply);
// A JSON object when every item is keyed, else a JSON array. Numbers stay
// numbers (4.65 too); other values become strings.
std::string reply_json(std::string_view reply);
// JSON helpers shared by the other views.
std::string json_string(std::string_view text);
std::string json_value(std::string_view token);   // number when it is one

// ---- Histogram view --------------------------------------------------------------------

inline constexpr int HISTOGRAM_BINS = 46;

struct histogram {
    int colour;               // 1..6, from the selection reply
    std::string item;         // item key, e.g. "tw"
    std::string summary[5];   // the five summary fields as sent
    long bins[HISTOGRAM_BINS];
};

// Fills `h` from the selection reply and the data reply of one side
// (side 0 left, 1 right). Returns false when either reply has another shape.
bool parse_histogram(std::string_view selection, std::string_view data, int side,
                     histogram& h);

struct chart_options {
    bool vertical = false;
    int size = 50;        // bar length (horizontal) or height (vertical)
    bool colour = false;  // ANSI colour of the histogram's colour index
    bool ascii = false;   // '#' instead of the block character
};
std::string histogram_chart(const histogram& h, const char* side_name,
                            const chart_options& options);

// ---- Watch view --------------------------------------------------------------------------

// One poll of `watch`: the items of `current`, one per line, those that
// differ from `previous` (same key or same position) marked with '*'.
// `previous` null: the first poll, nothing is marked.
std::string watch_frame(const std::vector<reply_item>& current,
                        const std::vector<reply_item>* previous, bool colour);

}  // namespace ifcctl
