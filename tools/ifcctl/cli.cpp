// ifcctl cli: the command line of the tool and its subcommands.
//
// Parses the arguments (getopt_long), runs one subcommand over the protocol
// client module (client/ifc_client.h) or offline, and maps every failure to
// a documented exit code with a message a person can act on. Called by
// main() in ifcctl.cpp and, in-process, by the tests.
#include <getopt.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <thread>

#include "ifc_client.h"
#include "ifc_net.h"
#include "ifcctl.h"
#include "text_table.h"
#include "vfp_ifc.h"

namespace ifcctl {

namespace {

// ---- Help texts ------------------------------------------------------------------

constexpr const char* TOOL_HELP =
    "usage: ifcctl [--host H] [--port P] [--timeout S] COMMAND [ARGS] [OPTIONS]\n"
    "\n"
    "Talks to the settings server (TCP, one client at a time) and decodes its\n"
    "settings files.\n"
    "\n"
    "commands:\n"
    "  get NAME [--json]         read a data item and print the reply\n"
    "  put NAME PAYLOAD|-        change something (- reads the payload from stdin)\n"
    "  ping                      check that the server serves a connection\n"
    "  list [--json]             every command the server knows, with examples\n"
    "  histo left|right          draw a histogram as a bar chart\n"
    "  watch NAME                poll a GET and show what changed\n"
    "  file PATH [--json]        decode ifc_set.set or valve_fp.set offline\n"
    "  help [COMMAND]            this text, or the help of one command\n"
    "\n"
    "connection options (get, put, ping, histo, watch):\n"
    "  --host H        server name or address (default 127.0.0.1)\n"
    "  --port P        TCP port (default 9001)\n"
    "  --timeout S     seconds to wait for connecting and for each answer\n"
    "                  (default 5; decimals allowed, e.g. 0.5)\n"
    "\n"
    "  --color WHEN    histo, watch: auto (default: when standard output is a\n"
    "                  terminal), always or never\n"
    "\n"
    "Options may stand before or after the command; put -- before a payload\n"
    "that begins with '-'. `ifcctl COMMAND --help` explains one command.\n"
    "\n"
    "exit codes:\n"
    "  0  success\n"
    "  1  usage error: bad arguments, a name the tool will not send, or a body\n"
    "     above the server's 256000-byte limit\n"
    "  2  cannot connect (the address and the system's reason are printed)\n"
    "  3  unknown command: the server answered the -1 length header\n"
    "     (LEN-000000001) and closed the connection\n"
    "  4  the server closed the connection during an exchange\n"
    "  5  time-out: no answer within --timeout\n"
    "  6  malformed reply: bytes outside the protocol, or a reply of another shape\n"
    "  7  file: the settings file is unreadable, short, long or damaged\n";

constexpr const char* GET_HELP =
    "usage: ifcctl get NAME [--json] [--host H] [--port P] [--timeout S]\n"
    "\n"
    "Sends GET NAME (the tool pads the name with spaces to 20 bytes) and prints\n"
    "the reply text as the server sent it, followed by a line feed.\n"
    "\n"
    "  --json   print the reply as JSON instead: replies of key:value items\n"
    "           become an object (keys in reply order, numbers as numbers),\n"
    "           replies of plain values an array (4.65 stays a number, words\n"
    "           such as tw become strings); an empty reply is []\n"
    "\n"
    "`ifcctl list` shows every GET name. An unknown name exits with 3.\n"
    "example: ifcctl get IFC_get_stat --json   ->  {\"color\":1,\"mode\":0,\"totw_sw\":0}\n";

constexpr const char* PUT_HELP =
    "usage: ifcctl put NAME PAYLOAD [--force] [--host H] [--port P] [--timeout S]\n"
    "       ifcctl put NAME - < FILE\n"
    "\n"
    "Sends PUT with the body NAME, a NUL byte and PAYLOAD, in the chunks the\n"
    "server asks for. PAYLOAD - reads standard input whole, byte for byte, so\n"
    "payloads with spaces, line feeds or NUL bytes can be sent.\n"
    "\n"
    "The server never reports whether a change was applied: \"FIN\" only means\n"
    "the body arrived. Read the value back with `ifcctl get` to check it.\n"
    "\n"
    "  --force  send NAME even when it is not a PUT command of the server\n"
    "           (the server then ignores the body); without it, exit 1\n"
    "\n"
    "On success one line on standard output tells how many bytes went.\n"
    "example: ifcctl put IFC_set_to_tw_1 'to:100 tw:250'\n";

constexpr const char* PING_HELP =
    "usage: ifcctl ping [--host H] [--port P] [--timeout S]\n"
    "\n"
    "Connects, sends PING (which the server never answers), then DISCONNECT,\n"
    "and waits for the server to close the connection. That close proves the\n"
    "server is serving this connection, not merely holding it in its backlog\n"
    "while another client is served (then the wait runs out: exit 5).\n";

constexpr const char* LIST_HELP =
    "usage: ifcctl list [--json]\n"
    "\n"
    "Prints every GET and PUT command of the server, in the server's own\n"
    "table order, with its reply or payload form and an example. The names\n"
    "come from the server's command tables, so the list always matches the\n"
    "server the tool was built with. Needs no server.\n";

constexpr const char* HISTO_HELP =
    "usage: ifcctl histo left|right [--vertical] [--size N] [--ascii] [--json]\n"
    "                   [--color WHEN] [--host H] [--port P] [--timeout S]\n"
    "\n"
    "Reads the histogram selection (IFC_get_hst_select) and the 46 bins of\n"
    "one side (IFC_get_hist_cntdatL or IFC_get_hist_cntdatR) and draws them:\n"
    "one bar per bin, scaled so that the peak fills --size cells, in the\n"
    "terminal colour of the selected colour index (1 red, 2 green, 3 yellow,\n"
    "4 blue, 5 magenta, 6 cyan), with the item key and the five summary\n"
    "values as the server sent them.\n"
    "\n"
    "  --vertical  columns instead of rows (one column per bin)\n"
    "  --size N    longest bar: cells across (default 50) or rows high\n"
    "              (default 15 with --vertical)\n"
    "  --ascii     draw with '#' instead of the block character\n"
    "  --json      {\"side\",\"colour\",\"item\",\"summary\",\"bins\"} instead of a chart\n";

constexpr const char* WATCH_HELP =
    "usage: ifcctl watch NAME [--interval S] [--count N] [--color WHEN]\n"
    "                   [--host H] [--port P] [--timeout S]\n"
    "\n"
    "Polls GET NAME every --interval seconds (default 1) and shows the reply\n"
    "one item per line. Items whose value changed since the previous poll are\n"
    "marked with '*' and show the old value; on a terminal the screen is\n"
    "redrawn and changed lines are bold. Stops after --count polls (default:\n"
    "until interrupted) or at the first failure, with its exit code.\n"
    "\n"
    "Each poll is its own connection (connect, GET, DISCONNECT), so other\n"
    "clients are served between polls.\n";

constexpr const char* FILE_HELP =
    "usage: ifcctl file PATH [--json] [--table ifc|valve]\n"
    "\n"
    "Decodes a settings file without a server: \"ifc_set.set\" (10 records,\n"
    "800 bytes) or \"valve_fp.set\" (112 records, 8960 bytes). The table is\n"
    "told by the file's name, else by its size; --table decides instead.\n"
    "\n"
    "Each record: index, name, type, the six values of colours 1 to 6, min,\n"
    "max and group, up to the end record (the first of type 0). Marks:\n"
    "  *   value outside [min, max] (the server stores it all the same)\n"
    "  !   type the server refuses (not 1 to 5): reads and writes fail\n"
    "Problems are stated in plain words: a short file (the server would replace\n"
    "it with its defaults), a long one (the rest is ignored), a missing end\n"
    "record, a name without its NUL. Exit 7 when there is any problem or the\n"
    "file cannot be read, else 0.\n";

constexpr const char* HELP_HELP = "usage: ifcctl help [COMMAND]\n";

// ---- Options ---------------------------------------------------------------------

enum option_id : int {
    OPT_HELP = 'h',
    OPT_HOST = 256,
    OPT_PORT,
    OPT_TIMEOUT,
    OPT_JSON,
    OPT_INTERVAL,
    OPT_COUNT,
    OPT_VERTICAL,
    OPT_SIZE,
    OPT_ASCII,
    OPT_COLOR,
    OPT_TABLE,
    OPT_FORCE,
};

constexpr option LONG_OPTIONS[] = {
    {"help", no_argument, nullptr, OPT_HELP},
    {"host", required_argument, nullptr, OPT_HOST},
    {"port", required_argument, nullptr, OPT_PORT},
    {"timeout", required_argument, nullptr, OPT_TIMEOUT},
    {"json", no_argument, nullptr, OPT_JSON},
    {"interval", required_argument, nullptr, OPT_INTERVAL},
    {"count", required_argument, nullptr, OPT_COUNT},
    {"vertical", no_argument, nullptr, OPT_VERTICAL},
    {"size", required_argument, nullptr, OPT_SIZE},
    {"ascii", no_argument, nullptr, OPT_ASCII},
    {"color", required_argument, nullptr, OPT_COLOR},
    {"colour", required_argument, nullptr, OPT_COLOR},
    {"table", required_argument, nullptr, OPT_TABLE},
    {"force", no_argument, nullptr, OPT_FORCE},
    {nullptr, 0, nullptr, 0},
};

struct options {
    std::string host = "127.0.0.1";
    int port = ifc::DEFAULT_PORT;
    double timeout = 5.0;
    bool help = false;
    bool json = false;
    double interval = 1.0;
    long count = 0;   // 0: until interrupted
    bool vertical = false;
    int size = 0;     // 0: the view's default
    bool ascii = false;
    std::string colour = "auto";
    const table_kind* table = nullptr;
    bool force = false;
    std::vector<int> given;         // option ids, for the per-command check
    std::vector<std::string> args;  // command and its operands
};

struct subcommand {
    const char* name;
    const char* help;
    std::vector<int> allowed;   // options besides --help
    int min_args;               // operands after the command name
    int max_args;
};

const std::vector<subcommand>& subcommands() {
    static const std::vector<int> net{OPT_HOST, OPT_PORT, OPT_TIMEOUT};
    auto with = [](std::vector<int> extra) {
        extra.insert(extra.end(), net.begin(), net.end());
        return extra;
    };
    static const std::vector<subcommand> table{
        {"get", GET_HELP, with({OPT_JSON}), 1, 1},
        {"put", PUT_HELP, with({OPT_FORCE}), 2, 2},
        {"ping", PING_HELP, with({}), 0, 0},
        {"list", LIST_HELP, {OPT_JSON}, 0, 0},
        {"histo", HISTO_HELP,
         with({OPT_VERTICAL, OPT_SIZE, OPT_ASCII, OPT_JSON, OPT_COLOR}), 1, 1},
        {"watch", WATCH_HELP, with({OPT_INTERVAL, OPT_COUNT, OPT_COLOR}), 1, 1},
        {"file", FILE_HELP, {OPT_JSON, OPT_TABLE}, 1, 1},
        {"help", HELP_HELP, {}, 0, 1},
    };
    return table;
}

const subcommand* find_subcommand(std::string_view name) {
    for (const auto& sub : subcommands()) {
        if (name == sub.name) return &sub;
    }
    return nullptr;
}

void write(FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
}

int usage_error(const streams& io, const std::string& message) {
    write(io.err, "ifcctl: " + message + "\n(see ifcctl --help)\n");
    return EXIT_USAGE;
}

bool parse_double(const char* text, double& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return errno == 0 && end != text && *end == '\0' && std::isfinite(value);
}

bool parse_long(const char* text, long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0';
}

// Returns EXIT_OK, or the usage error already reported.
int parse_options(int argc, char** argv, const streams& io, options& opts) {
    std::vector<char*> args(argv, argv + argc);
    args.push_back(nullptr);
    optind = 0;   // full re-initialisation: run() may be called many times
    opterr = 0;   // messages go to io.err, not to the process's stderr
    for (;;) {
        const int id = getopt_long(argc, args.data(), "h", LONG_OPTIONS, nullptr);
        if (id == -1) break;
        const char* arg = optarg;
        if (id == '?' || id == ':') {
            const char* word = (optind > 0 && optind <= argc) ? args[optind - 1] : "?";
            return usage_error(io, std::string("unknown option or missing value: ") + word);
        }
        opts.given.push_back(id);
        long number = 0;
        switch (id) {
            case OPT_HELP: opts.help = true; break;
            case OPT_HOST: opts.host = arg; break;
            case OPT_PORT:
                if (!parse_long(arg, number) || number < 1 || number > 65535) {
                    return usage_error(io, std::string("--port needs 1 to 65535, not ") + arg);
                }
                opts.port = static_cast<int>(number);
                break;
            case OPT_TIMEOUT:
                if (!parse_double(arg, opts.timeout) || opts.timeout <= 0 ||
                    opts.timeout > 86400) {
                    return usage_error(io, std::string("--timeout needs seconds above 0, not ") +
                                               arg);
                }
                break;
            case OPT_JSON: opts.json = true; break;
            case OPT_INTERVAL:
                if (!parse_double(arg, opts.interval) || opts.interval < 0 ||
                    opts.interval > 86400) {
                    return usage_error(io, std::string("--interval needs seconds, not ") + arg);
                }
                break;
            case OPT_COUNT:
                if (!parse_long(arg, opts.count) || opts.count < 1) {
                    return usage_error(io, std::string("--count needs a number above 0, not ") +
                                               arg);
                }
                break;
            case OPT_VERTICAL: opts.vertical = true; break;
            case OPT_SIZE:
                if (!parse_long(arg, number) || number < 1 || number > 1000) {
                    return usage_error(io, std::string("--size needs 1 to 1000, not ") + arg);
                }
                opts.size = static_cast<int>(number);
                break;
            case OPT_ASCII: opts.ascii = true; break;
            case OPT_COLOR:
                opts.colour = arg;
                if (opts.colour != "auto" && opts.colour != "always" && opts.colour != "never") {
                    return usage_error(io, std::string("--color needs auto, always or never, "
                                                       "not ") + arg);
                }
                break;
            case OPT_TABLE:
                if (std::strcmp(arg, "ifc") == 0 || std::strcmp(arg, IFC_SET_FILE) == 0) {
                    opts.table = &interface_table();
                } else if (std::strcmp(arg, "valve") == 0 ||
                           std::strcmp(arg, VFP_SET_FILE) == 0) {
                    opts.table = &valve_table();
                } else {
                    return usage_error(io, std::string("--table needs ifc or valve, not ") + arg);
                }
                break;
            case OPT_FORCE: opts.force = true; break;
            default: return usage_error(io, "unexpected option");
        }
    }
    for (int i = optind; i < argc; ++i) opts.args.emplace_back(args[i]);
    return EXIT_OK;
}

const char* option_name(int id) {
    for (const option* o = LONG_OPTIONS; o->name != nullptr; ++o) {
        if (o->val == id) return o->name;
    }
    return "?";
}

// ---- Talking to the server ---------------------------------------------------------

struct target {
    std::string host;
    int port;
    double timeout;
    std::string address() const {
        // IPv6 literals in brackets so that the port stays readable.
        return (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" +
               std::to_string(port);
    }
    int timeout_ms() const {
        return static_cast<int>(std::max(1.0, std::ceil(timeout * 1000.0)));
    }
};

// Why connecting failed, in the system's words. The client module reports
// only that it failed, so the connection is tried once more here, by hand,
// to learn the reason.
std::string connect_reason(const target& t) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(t.port);
    if (const int rc = getaddrinfo(t.host.c_str(), service.c_str(), &hints, &found); rc != 0) {
        return rc == EAI_SYSTEM ? std::strerror(errno) : gai_strerror(rc);
    }
    std::string reason = "no address to connect to";
    for (const addrinfo* each = found; each != nullptr; each = each->ai_next) {
        const int fd = socket(each->ai_family, each->ai_socktype | SOCK_NONBLOCK,
                              each->ai_protocol);
        if (fd < 0) {
            reason = std::strerror(errno);
            continue;
        }
        int error = 0;
        if (::connect(fd, each->ai_addr, each->ai_addrlen) != 0) {
            error = errno;
            if (error == EINPROGRESS) {
                pollfd entry{fd, POLLOUT, 0};
                if (poll(&entry, 1, t.timeout_ms()) > 0) {
                    socklen_t size = sizeof error;
                    getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
                } else {
                    error = ETIMEDOUT;
                }
            }
        }
        ::close(fd);
        if (error == 0) {
            reason = "the connection failed, then succeeded when tried again";
            break;
        }
        reason = std::strerror(error);
    }
    freeaddrinfo(found);
    return reason;
}

// The message and exit code of a failed exchange; `what` names it
// ("GET IFC_get_stat").
int exchange_failed(const streams& io, const target& t, const std::string& what,
                    ifc::Result result) {
    std::string message;
    int code = EXIT_MALFORMED;
    switch (result) {
        case ifc::Result::unknown_command:
            message = "the server at " + t.address() + " does not know " + what +
                      ": it answered the length header -1 (LEN-000000001) and closed the "
                      "connection; `ifcctl list` shows the known commands";
            code = EXIT_UNKNOWN_COMMAND;
            break;
        case ifc::Result::closed_by_server:
        case ifc::Result::not_connected:
        case ifc::Result::io_error:
            message = "the server at " + t.address() + " closed the connection during " + what +
                      (result == ifc::Result::io_error ? " (i/o error)" : "");
            code = EXIT_CLOSED;
            break;
        case ifc::Result::timed_out:
            message = strprintf("no answer from %s within %g s during %s", t.address().c_str(),
                                t.timeout, what.c_str());
            code = EXIT_TIMEOUT;
            break;
        case ifc::Result::malformed_reply:
            message = "malformed reply from " + t.address() + " to " + what +
                      ": bytes that are not the protocol's length header or token";
            code = EXIT_MALFORMED;
            break;
        case ifc::Result::rejected:
            message = "the server refused " + what + " with ERR!: the body is above 256000 bytes";
            code = EXIT_USAGE;
            break;
        case ifc::Result::invalid_argument:
            message = what + ": the name is longer than the 20-byte name field";
            code = EXIT_USAGE;
            break;
        case ifc::Result::connect_failed:
            message = "cannot connect to " + t.address() + ": " + connect_reason(t);
            code = EXIT_CONNECT;
            break;
        case ifc::Result::ok:
            return EXIT_OK;
    }
    write(io.err, "ifcctl: " + message + "\n");
    return code;
}

int open_connection(const streams& io, const target& t, ifc::Connection& c) {
    const ifc::Result r = ifc::connect_to(c, t.host, t.port, t.timeout_ms());
    if (r == ifc::Result::ok) return EXIT_OK;
    return exchange_failed(io, t, "connect", ifc::Result::connect_failed);
}

// One GET on its own connection: connect, GET, DISCONNECT.
int fetch(const streams& io, const target& t, const std::vector<std::string>& names,
          std::vector<std::string>& replies) {
    ifc::Connection c;
    if (const int code = open_connection(io, t, c); code != EXIT_OK) return code;
    replies.clear();
    for (const auto& name : names) {
        std::string reply;
        const ifc::Result r = ifc::get(c, name, reply);
        if (r != ifc::Result::ok) return exchange_failed(io, t, "GET " + name, r);
        replies.push_back(reply);
    }
    ifc::disconnect(c);   // courtesy; the replies are already complete
    return EXIT_OK;
}

int check_get_name(const streams& io, const std::string& name) {
    if (name.size() > static_cast<std::size_t>(ifc::NAME_FIELD)) {
        return usage_error(io, "GET names have at most 20 characters: " + name);
    }
    if (name.empty()) return usage_error(io, "the GET name is empty");
    return EXIT_OK;
}

// ---- Subcommands --------------------------------------------------------------------

int cmd_get(const streams& io, const options& opts, const target& t) {
    const std::string& name = opts.args[1];
    if (const int code = check_get_name(io, name); code != EXIT_OK) return code;
    std::vector<std::string> replies;
    if (const int code = fetch(io, t, {name}, replies); code != EXIT_OK) return code;
    write(io.out, opts.json ? reply_json(replies[0]) : replies[0]);
    write(io.out, "\n");
    return EXIT_OK;
}

int read_all(FILE* in, std::string& data) {
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) data.append(buffer, got);
    return std::ferror(in) ? -1 : 0;
}

int cmd_put(const streams& io, const options& opts, const target& t) {
    const std::string& name = opts.args[1];
    std::string payload = opts.args[2];
    if (name.empty()) return usage_error(io, "the PUT name is empty");
    if (!is_put_command(name) && !opts.force) {
        return usage_error(io, "the server has no PUT command " + name +
                                   " and would ignore the body silently; `ifcctl list` shows "
                                   "the known commands, --force sends it anyway");
    }
    if (payload == "-") {
        payload.clear();
        if (read_all(io.in, payload) != 0) {
            write(io.err, std::string("ifcctl: cannot read the payload from standard input: ") +
                              std::strerror(errno) + "\n");
            return EXIT_USAGE;
        }
    }
    const std::size_t body = name.size() + 1 + payload.size();
    if (body > static_cast<std::size_t>(ifc::MAX_BODY)) {
        return usage_error(io, strprintf("the body (name, NUL, payload) is %zu bytes; the server "
                                         "takes at most %d", body, ifc::MAX_BODY));
    }
    ifc::Connection c;
    if (const int code = open_connection(io, t, c); code != EXIT_OK) return code;
    const ifc::Result r = ifc::put(c, name, payload);
    if (r != ifc::Result::ok) return exchange_failed(io, t, "PUT " + name, r);
    ifc::disconnect(c);
    write(io.out, strprintf("PUT %s: %zu payload byte%s sent (body %zu bytes), the server "
                            "answered FIN\n", name.c_str(), payload.size(),
                            payload.size() == 1 ? "" : "s", body));
    return EXIT_OK;
}

int cmd_ping(const streams& io, const target& t) {
    const auto start = std::chrono::steady_clock::now();
    ifc::Connection c;
    if (const int code = open_connection(io, t, c); code != EXIT_OK) return code;
    if (const ifc::Result r = ifc::ping(c); r != ifc::Result::ok) {
        return exchange_failed(io, t, "PING", r);
    }
    if (const ifc::Result r = ifc::send_raw(c, ifc::header("DISCONNECT")); r != ifc::Result::ok) {
        return exchange_failed(io, t, "DISCONNECT", r);
    }
    std::string rest;
    const ifc::Result r = ifc::recv_until_closed(c, rest);
    if (r == ifc::Result::timed_out) {
        write(io.err, strprintf("ifcctl: connected to %s, but the server did not serve the "
                                "connection within %g s (busy with another client?)\n",
                                t.address().c_str(), t.timeout));
        return EXIT_TIMEOUT;
    }
    if (r != ifc::Result::ok) return exchange_failed(io, t, "DISCONNECT", r);
    if (!rest.empty()) return exchange_failed(io, t, "PING", ifc::Result::malformed_reply);
    const double ms = std::chrono::duration<double, std::milli>(
                          std::chrono::steady_clock::now() - start).count();
    write(io.out, strprintf("%s is serving: PING and DISCONNECT answered by closing the "
                            "connection, %.1f ms\n", t.address().c_str(), ms));
    return EXIT_OK;
}

int cmd_histo(const streams& io, const options& opts, const target& t, bool colour) {
    const std::string& side_word = opts.args[1];
    if (side_word != "left" && side_word != "right") {
        return usage_error(io, "histo takes left or right, not " + side_word);
    }
    const int side = side_word == "left" ? 0 : 1;
    const std::string data_name = side == 0 ? "IFC_get_hist_cntdatL" : "IFC_get_hist_cntdatR";
    std::vector<std::string> replies;
    if (const int code = fetch(io, t, {"IFC_get_hst_select", data_name}, replies);
        code != EXIT_OK) {
        return code;
    }
    histogram h{};
    if (!parse_histogram(replies[0], replies[1], side, h)) {
        write(io.err, "ifcctl: the histogram replies have an unexpected shape:\n  "
                      "IFC_get_hst_select: \"" + replies[0] + "\"\n  " + data_name + ": \"" +
                      replies[1] + "\"\n");
        return EXIT_MALFORMED;
    }
    if (opts.json) {
        std::string json = "{\"side\":" + json_string(side_word) +
                           strprintf(",\"colour\":%d,\"item\":", h.colour) + json_string(h.item) +
                           ",\"summary\":[";
        for (int i = 0; i < 5; ++i) json += (i ? "," : "") + json_value(h.summary[i]);
        json += "],\"bins\":[";
        for (int i = 0; i < HISTOGRAM_BINS; ++i) json += strprintf("%s%ld", i ? "," : "", h.bins[i]);
        write(io.out, json + "]}\n");
        return EXIT_OK;
    }
    chart_options chart;
    chart.vertical = opts.vertical;
    chart.size = opts.size > 0 ? opts.size : (opts.vertical ? 15 : 50);
    chart.colour = colour;
    chart.ascii = opts.ascii;
    write(io.out, histogram_chart(h, side == 0 ? "left" : "right", chart));
    return EXIT_OK;
}

void sleep_seconds(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

int cmd_watch(const streams& io, const options& opts, const target& t, bool colour) {
    const std::string& name = opts.args[1];
    if (const int code = check_get_name(io, name); code != EXIT_OK) return code;
    std::vector<reply_item> previous;
    for (long poll = 1; opts.count == 0 || poll <= opts.count; ++poll) {
        if (poll > 1) sleep_seconds(opts.interval);
        std::vector<std::string> replies;
        if (const int code = fetch(io, t, {name}, replies); code != EXIT_OK) return code;
        const auto items = split_reply(replies[0]);
        const std::time_t now = std::time(nullptr);
        char clock[16];
        std::strftime(clock, sizeof clock, "%H:%M:%S", std::localtime(&now));
        std::string frame = colour ? "\x1b[H\x1b[2J" : (poll > 1 ? "\n" : "");
        frame += strprintf("%s on %s, poll %ld%s at %s, every %g s\n", name.c_str(),
                           t.address().c_str(), poll,
                           opts.count ? strprintf(" of %ld", opts.count).c_str() : "", clock,
                           opts.interval);
        frame += watch_frame(items, poll > 1 ? &previous : nullptr, colour);
        write(io.out, frame);
        std::fflush(io.out);
        previous = items;
    }
    return EXIT_OK;
}

int cmd_file(const streams& io, const options& opts) {
    const std::string& path = opts.args[1];
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        write(io.err, "ifcctl: cannot read " + path + ": " + std::strerror(errno) + "\n");
        return EXIT_BAD_FILE;
    }
    std::string image;
    const int rc = read_all(file, image);
    const int saved = errno;
    std::fclose(file);
    if (rc != 0) {
        write(io.err, "ifcctl: cannot read " + path + ": " + std::strerror(saved) + "\n");
        return EXIT_BAD_FILE;
    }
    const settings_report report = decode_settings(image, path, opts.table);
    write(io.out, opts.json ? settings_json(report, path) : settings_text(report, path));
    return report.problems.empty() ? EXIT_OK : EXIT_BAD_FILE;
}

}  // namespace

int run(int argc, char** argv, const streams& io) {
    options opts;
    if (const int code = parse_options(argc, argv, io, opts); code != EXIT_OK) return code;
    if (opts.args.empty()) {
        if (opts.help) {
            write(io.out, TOOL_HELP);
            return EXIT_OK;
        }
        return usage_error(io, "no command given");
    }
    const subcommand* sub = find_subcommand(opts.args[0]);
    if (sub == nullptr) return usage_error(io, "unknown command " + opts.args[0]);
    if (opts.help) {
        write(io.out, sub->help);
        return EXIT_OK;
    }
    if (std::string_view(sub->name) == "help") {
        if (opts.args.size() == 1) {
            write(io.out, TOOL_HELP);
            return EXIT_OK;
        }
        const subcommand* about = find_subcommand(opts.args[1]);
        if (about == nullptr) return usage_error(io, "unknown command " + opts.args[1]);
        write(io.out, about->help);
        return EXIT_OK;
    }
    for (const int id : opts.given) {
        bool allowed = false;
        for (const int ok : sub->allowed) allowed = allowed || ok == id;
        if (!allowed) {
            return usage_error(io, std::string(sub->name) + " takes no --" + option_name(id));
        }
    }
    const int operands = static_cast<int>(opts.args.size()) - 1;
    if (operands < sub->min_args || operands > sub->max_args) {
        write(io.err, std::string("ifcctl: wrong number of arguments for ") + sub->name + "\n");
        write(io.err, sub->help);
        return EXIT_USAGE;
    }
    const bool colour = opts.colour == "always" || (opts.colour == "auto" && io.colour);
    const target t{opts.host, opts.port, opts.timeout};
    const std::string command = sub->name;
    if (command == "get") return cmd_get(io, opts, t);
    if (command == "put") return cmd_put(io, opts, t);
    if (command == "ping") return cmd_ping(io, t);
    if (command == "list") {
        write(io.out, opts.json ? list_json() : list_text());
        return EXIT_OK;
    }
    if (command == "histo") return cmd_histo(io, opts, t, colour);
    if (command == "watch") return cmd_watch(io, opts, t, colour);
    return cmd_file(io, opts);
}

}  // namespace ifcctl
