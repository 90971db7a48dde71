// server_bench: the cost of whole client exchanges with the real connection
// loop over loopback, next to the physical floor of each.
//
// The server is bench_server (the server's modules and loop) in a child
// process on an ephemeral loopback port, working in a scratch directory,
// console on /dev/null. The floor is floor_peer in another child, working in
// a sibling scratch directory on the same file system: per exchange it does
// the system calls of the server (file loads, durable saves, console write,
// loopback messages of the same sizes and round trips) and no protocol or
// formatting work. Both are driven by the same raw-socket client (wire.h).
//
// Each benchmark is one command. An iteration does one exchange with the
// server and one with the floor, in alternating order, each timed on its
// own, so that both meet the same load on the machine; the benchmark's time
// is the server's, the floor's time and the ratio are counters, and so is
// the on-CPU time of each serving process per exchange (from schedstat). A
// PUT's exchange ends with an empty PUT, answered "FIN" once the work behind
// the PUT (the saves, the console line) is done: the same extra round trip
// on both sides. Repetitions of all commands run in random order; the table
// at the end gives, for each command, its median repetition.
//
// Then the memory figures: the peak resident size (VmHWM) of a fresh server
// after 10,000 mixed requests, and that of a trivial C++ program.
//
// Flags: Google Benchmark's own (--benchmark_filter=..., --benchmark_repetitions=N,
// ...), --cpu=N or --cpu=none (see pin_to_one_cpu) and --skip_memory to
// leave out the memory figures. The environment variable BENCH_SERVER_EXE
// names another build of bench_server to measure (before/after a change).
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <sched.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "floor_peer.h"
#include "wire.h"

namespace {

namespace fs = std::filesystem;
using clock_type = std::chrono::steady_clock;

constexpr int CHILD_LISTENER = 3;
constexpr int MAX_BODY = 256000;
constexpr double TARGET_RATIO = 1.15;
constexpr int MIXED_REQUESTS = 10000;

// ---- Child processes ---------------------------------------------------------

struct peer {
    pid_t pid = -1;
    int port = 0;
};

// A listening socket on 127.0.0.1 with an ephemeral port.
int loopback_listener(int* port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(fd, 5) != 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        std::perror("server_bench: listener");
        std::exit(1);
    }
    *port = ntohs(address.sin_port);
    return fd;
}

// In a fresh child: dies with the benchmark, works in `dir`, console on
// /dev/null, the listener as descriptor 3 and no other inherited descriptor.
void prepare_child(int listener, const fs::path& dir) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int null = open("/dev/null", O_RDWR);
    if (null < 0 || chdir(dir.c_str()) != 0) _exit(126);
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    if (listener != CHILD_LISTENER) dup2(listener, CHILD_LISTENER);
    close_range(CHILD_LISTENER + 1, ~0U, 0);
}

// Forks a child on a fresh loopback listener in `dir`; the child runs
// `serve` (which never returns) on CHILD_LISTENER.
template <typename Serve>
peer start_peer(const fs::path& dir, Serve serve) {
    peer p;
    const int listener = loopback_listener(&p.port);
    std::fflush(nullptr);
    p.pid = fork();
    if (p.pid == 0) {
        prepare_child(listener, dir);
        serve();
        _exit(127);
    }
    close(listener);
    return p;
}

peer start_server(const fs::path& dir) {
    return start_peer(dir, [] {
        // Another build of bench_server may be named, to compare two versions.
        const char* exe = std::getenv("BENCH_SERVER_EXE");
        execl(exe != nullptr ? exe : BENCH_SERVER_EXE, "bench_server", static_cast<char*>(nullptr));
    });
}

peer start_floor(const fs::path& dir) {
    return start_peer(dir, [] { floor_peer::serve(CHILD_LISTENER, "."); });
}

void stop(peer& p) {
    if (p.pid > 0) {
        kill(p.pid, SIGKILL);
        waitpid(p.pid, nullptr, 0);
    }
    p.pid = -1;
}

// A "VmHWM:" or "VmRSS:" figure of /proc/<pid>/status in kB, or -1.
long status_kb(pid_t pid, const char* field) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
    }
    return -1;
}

// ---- Exchanges ----------------------------------------------------------------

enum class kind { get, put, ping_get };
enum class side { server, floor };

struct exchange {
    std::string label;
    kind what = kind::get;
    char header[wire::HEADER_SIZE] = {};
    std::string body;  // a PUT's body: name, NUL, payload
    floor_peer::script floor;
    int iterations = 0;  // 0: as many as the minimum time asks for
};

char ping_header[wire::HEADER_SIZE];
char disconnect_header[wire::HEADER_SIZE];
char reply[MAX_BODY + 1];

peer server_peer;
peer floor_peer_process;

exchange make_get(const std::string& label, const char* name) {
    exchange e;
    e.label = label;
    wire::make_header(e.header, "GET", name, ' ');
    return e;
}

exchange make_put(const std::string& label, const std::string& name, const std::string& payload) {
    exchange e;
    e.label = label;
    e.what = kind::put;
    e.body = name;
    e.body.push_back('\0');
    e.body += payload;
    wire::make_header(e.header, "PUT", std::to_string(e.body.size()).c_str(), '\0');
    e.floor.body_length = static_cast<int32_t>(e.body.size());
    e.floor.sync = 1;
    return e;
}

// One exchange; for a GET the reply length, for the others 0; -1 on failure.
int run_exchange(int fd, const exchange& e) {
    switch (e.what) {
        case kind::get:
            return wire::get(fd, e.header, reply, MAX_BODY);
        case kind::ping_get:
            if (!wire::send_header(fd, ping_header)) return -1;
            return wire::get(fd, e.header, reply, MAX_BODY);
        case kind::put:
            return wire::put(fd, e.header, e.body.data(), static_cast<int>(e.body.size())) ? 0 : -1;
    }
    return -1;
}

int open_connection(const exchange& e, side s) {
    const int fd = wire::connect_loopback(s == side::server ? server_peer.port
                                                            : floor_peer_process.port);
    if (fd >= 0 && s == side::floor && !wire::send_all(fd, &e.floor, sizeof e.floor)) {
        close(fd);
        return -1;
    }
    return fd;
}

// Ends the connection and waits until the peer has closed its side, which it
// does only after all the work of the last exchange.
bool end_connection(int fd, side s) {
    if (s == side::server) {
        if (!wire::send_header(fd, disconnect_header)) {
            close(fd);
            return false;
        }
    } else {
        shutdown(fd, SHUT_WR);
    }
    return wire::wait_closed(fd);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// On-CPU time of process `pid` so far, in nanoseconds (0 when unknown).
double cpu_ns(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/schedstat");
    double ns = 0;
    in >> ns;
    return ns;
}

// One whole exchange, timed. A PUT is followed by an empty PUT, whose "FIN"
// comes once the peer has finished the work behind the PUT (both sides alike).
double timed_exchange(int fd, const exchange& e) {
    const auto start = clock_type::now();
    if (run_exchange(fd, e) < 0) return -1;
    if (e.what == kind::put && !wire::put_empty(fd)) return -1;
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

// One command against the server and its floor, one exchange each in turn
// (in alternating order), so that both meet the same load on the machine.
// The benchmark's time is the server's; the floor's time, the ratio of the
// two and each peer's CPU time per exchange are counters.
void bm_command(benchmark::State& state, const exchange* e) {
    int fd[2] = {open_connection(*e, side::server), open_connection(*e, side::floor)};
    // Warm-up: one exchange on each side before the timing starts.
    if (fd[0] < 0 || fd[1] < 0 || timed_exchange(fd[0], *e) < 0 || timed_exchange(fd[1], *e) < 0) {
        state.SkipWithError("warm-up exchange failed");
        for (int f : fd)
            if (f >= 0) close(f);
        return;
    }
    const pid_t pid[2] = {server_peer.pid, floor_peer_process.pid};
    const double cpu_before[2] = {cpu_ns(pid[0]), cpu_ns(pid[1])};
    std::vector<double> samples[2];
    for (auto& v : samples) v.reserve(static_cast<std::size_t>(state.max_iterations));
    int first = 0;
    for (auto _ : state) {
        double seconds[2];
        for (int k = 0; k < 2; ++k) {
            const int which = first ^ k;
            seconds[which] = timed_exchange(fd[which], *e);
        }
        if (seconds[0] < 0 || seconds[1] < 0) {
            state.SkipWithError("exchange failed");
            break;
        }
        state.SetIterationTime(seconds[0]);
        samples[0].push_back(seconds[0]);
        samples[1].push_back(seconds[1]);
        first ^= 1;
    }
    const double cpu_after[2] = {cpu_ns(pid[0]), cpu_ns(pid[1])};
    end_connection(fd[0], side::server);
    end_connection(fd[1], side::floor);
    if (state.error_occurred()) return;

    // Medians per exchange: an exchange that the scheduler held up on a busy
    // machine moves the mean, hardly the median.
    const double server_median = median(samples[0]);
    const double floor_median = median(samples[1]);
    const double count = static_cast<double>(samples[0].size());
    state.counters["server_us"] = server_median * 1e6;
    state.counters["floor_us"] = floor_median * 1e6;
    state.counters["ratio"] = server_median / floor_median;
    state.counters["server_cpu_us"] = (cpu_after[0] - cpu_before[0]) / 1e3 / count;
    state.counters["floor_cpu_us"] = (cpu_after[1] - cpu_before[1]) / 1e3 / count;
}

// The measured commands. The floor of each gets its file work here and its
// reply length from a first exchange with the server.
std::vector<exchange> make_exchanges() {
    std::vector<exchange> list;
    list.reserve(8);

    exchange stat = make_get("GET IFC_get_stat", "IFC_get_stat");
    stat.floor.loads = 3;  // color, mode and totw_sw, one load each
    list.push_back(stat);

    exchange on_off = make_get("GET IFC_get_on_off_1", "IFC_get_on_off_1");
    on_off.floor.loads = 45;
    on_off.floor.file = floor_peer::settings_file::valve_8960;
    list.push_back(on_off);

    // All 45 keys with their current values: the reply without its fixed
    // first item is such a list.
    const int fd = wire::connect_loopback(server_peer.port);
    const int length = wire::get(fd, on_off.header, reply, MAX_BODY);
    if (length != 554) {
        std::fprintf(stderr, "server_bench: IFC_get_on_off_1 answered %d bytes, not 554\n", length);
        std::exit(1);
    }
    std::string all_keys(reply, static_cast<std::size_t>(length));
    all_keys.erase(0, std::strlen("ATC_TO_DELAY:0 "));
    end_connection(fd, side::server);
    exchange set_on_off = make_put("PUT IFC_set_on_off_1 (45 keys)", "IFC_set_on_off_1", all_keys);
    set_on_off.floor.loads = 45;  // each key: load, change, save
    set_on_off.floor.saves = 45;
    set_on_off.floor.file = floor_peer::settings_file::valve_8960;
    set_on_off.iterations = 6;  // 90 fsyncs per exchange on each side
    list.push_back(set_on_off);

    exchange hist = make_get("GET IFC_get_hist_cntdatL", "IFC_get_hist_cntdatL");
    hist.floor.loads = 2;  // colour and item of the left display
    list.push_back(hist);

    list.push_back(make_get("GET IFC_get_histo_ave_3", "IFC_get_histo_ave_3"));

    // The let-off button command prints its payload: one console line.
    const std::string text(MAX_BODY - std::strlen("MLETOFF_set_btnstat") - 1, 'x');
    exchange big = make_put("PUT 256,000-byte body", "MLETOFF_set_btnstat", text);
    big.floor.console_bytes = static_cast<int32_t>(text.size() + 1);
    list.push_back(big);

    // No GET answers with an empty reply; the cheapest one answers 13 bytes
    // with no file work at all.
    exchange ping = make_get("PING + GET IFC_get_To_Tw_1", "IFC_get_To_Tw_1");
    ping.what = kind::ping_get;
    ping.floor.headers = 2;
    list.push_back(ping);

    // Reply lengths as the server gives them now (those of the measurement
    // commands vary by a digit or two from one exchange to the next).
    const int probe = wire::connect_loopback(server_peer.port);
    for (exchange& e : list) {
        const int n = run_exchange(probe, e);
        if (n < 0) {
            std::fprintf(stderr, "server_bench: %s failed\n", e.label.c_str());
            std::exit(1);
        }
        if (e.what != kind::put) e.floor.reply_length = n;
    }
    end_connection(probe, side::server);
    return list;
}

// ---- Report ------------------------------------------------------------------

// The console report of the aggregates, and for each command the figures of
// its median repetition (the one whose ratio is the median): time, floor and
// ratio from one and the same stretch of time.
class table_reporter : public benchmark::ConsoleReporter {
public:
    explicit table_reporter(OutputOptions options) : ConsoleReporter(options) {}

    struct figures {
        double time_us = 0;
        double floor_us = 0;
        double ratio = 0;
        double server_cpu_us = 0;
        double floor_cpu_us = 0;
    };

    // Repetitions may arrive one by one (interleaved) and the aggregates
    // last; single repetitions are shown only when there are no aggregates.
    void ReportRuns(const std::vector<Run>& runs) override {
        std::vector<Run> shown;
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate || run.repetitions <= 1) shown.push_back(run);
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                repetitions_[run.run_name.function_name].push_back(
                    {counter(run, "server_us"), counter(run, "floor_us"), counter(run, "ratio"),
                     counter(run, "server_cpu_us"), counter(run, "floor_cpu_us")});
        }
        if (!shown.empty()) ConsoleReporter::ReportRuns(shown);
    }

    // The repetition of `name` whose ratio is the median (the lower of the
    // two middle ones for an even count); false when there is none.
    bool median(const std::string& name, figures* out) const {
        const auto found = repetitions_.find(name);
        if (found == repetitions_.end() || found->second.empty()) return false;
        std::vector<figures> sorted = found->second;
        std::sort(sorted.begin(), sorted.end(),
                  [](const figures& a, const figures& b) { return a.ratio < b.ratio; });
        *out = sorted[(sorted.size() - 1) / 2];
        return true;
    }

private:
    static double counter(const Run& run, const char* name) {
        const auto found = run.counters.find(name);
        return found == run.counters.end() ? 0 : found->second.value;
    }

    std::map<std::string, std::vector<figures>> repetitions_;
};

void print_table(const std::vector<exchange>& list, const table_reporter& reporter) {
    std::printf("\nEach command's median repetition (by ratio). Time and floor: median wall-clock\n"
                "microseconds of one exchange; CPU: on-CPU microseconds of the serving process\n"
                "per exchange.\n\n");
    std::printf("%-32s %10s %10s %7s   %12s %12s\n", "Command", "time", "floor", "ratio",
                "server CPU", "floor CPU");
    for (const exchange& e : list) {
        table_reporter::figures f;
        if (!reporter.median(e.label, &f)) continue;
        std::printf("%-32s %10.1f %10.1f %7.3f   %12.1f %12.1f%s\n", e.label.c_str(), f.time_us,
                    f.floor_us, f.ratio, f.server_cpu_us, f.floor_cpu_us,
                    f.ratio <= TARGET_RATIO ? "" : "  above 1.15");
    }
}

// ---- Memory ------------------------------------------------------------------

// Requests of every kind the server serves, file writes included.
std::vector<exchange> mixed_requests() {
    std::vector<exchange> list;
    for (int twice = 0; twice < 2; ++twice)
    for (const char* name :
         {"IFC_get_select_item", "IFC_get_stat", "IFC_get_Tot_Twt_1", "IFC_get_Tot_Twt_6",
          "IFC_get_To_Tw_2", "IFC_get_To_Tw_5", "IFC_get_histo_ave_1", "IFC_get_histo_ave_4",
          "IFC_get_hst_select", "IFC_get_hist_cntdatL", "IFC_get_hist_cntdatR",
          "IFC_get_on_off_1", "IFC_get_on_off_3", "IFC_get_on_off_6"})
        list.push_back(make_get(name, name));
    list.push_back(make_put("", "IFC_set_select_item", "pin:0"));
    list.push_back(make_put("", "IFC_set_stat", "color:1 mode:0 totw_sw:0"));
    list.push_back(make_put("", "IFC_set_to_tw_2", "to:90 tw:240"));
    list.push_back(make_put("", "IFC_set_on_off_4", "main_on:90 main_off:160"));
    list.push_back(make_put("", "IFC_hst_select_item", "LEFT 1 tw"));
    list.push_back(make_put("", "IFC_hst_clear", "1 to"));
    list.push_back(make_put("", "IFC_hst_set", "1 to 0 2 tw 0 100"));
    list.push_back(make_put("", "MLETOFF_set_btnstat", "1"));
    list.push_back(make_put("", "MLETOFF_set_btnstat", std::string(MAX_BODY - 20, 'x')));
    return list;
}

// The peak resident size of bench_trivial while it waits for its input.
long trivial_peak_kb() {
    int to_child[2];
    int from_child[2];
    if (pipe(to_child) != 0 || pipe(from_child) != 0) return -1;
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(to_child[0], STDIN_FILENO);
        dup2(from_child[1], STDOUT_FILENO);
        close_range(STDERR_FILENO + 1, ~0U, 0);
        execl(BENCH_TRIVIAL_EXE, "bench_trivial", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(to_child[0]);
    close(from_child[1]);
    char ready[6];  // "ready\n"
    std::size_t got = 0;
    for (ssize_t n = 1; n > 0 && got < sizeof ready; got += static_cast<std::size_t>(n > 0 ? n : 0))
        n = read(from_child[0], ready + got, sizeof ready - got);
    const long kb = got == sizeof ready ? status_kb(pid, "VmHWM:") : -1;
    close(to_child[1]);
    close(from_child[0]);
    waitpid(pid, nullptr, 0);
    return kb;
}

void memory_report(const fs::path& dir) {
    fs::create_directories(dir);
    peer server = start_server(dir);
    const std::vector<exchange> list = mixed_requests();
    int fd = wire::connect_loopback(server.port);
    exchange first = make_get("", "IFC_get_To_Tw_1");
    const bool first_ok = run_exchange(fd, first) >= 0;
    const long after_first = status_kb(server.pid, "VmHWM:");
    int served = 1;
    bool ok = first_ok;
    for (int i = 0; ok && served < MIXED_REQUESTS; ++i, ++served) {
        if (i % 50 == 49) {
            ok = wire::send_header(fd, ping_header);  // a PING is a request, too
        } else {
            ok = run_exchange(fd, list[static_cast<std::size_t>(i) % list.size()]) >= 0;
        }
    }
    ok = end_connection(fd, side::server) && ok;
    const long peak = status_kb(server.pid, "VmHWM:");
    const long resident = status_kb(server.pid, "VmRSS:");
    stop(server);
    const long trivial = trivial_peak_kb();

    std::printf("\nMemory (kB)\n");
    std::printf("  server VmHWM after its first request      %8ld\n", after_first);
    std::printf("  server VmHWM after %d mixed requests   %8ld%s\n", served, peak,
                ok ? "" : "  (a request failed)");
    std::printf("  server VmRSS at that point                %8ld\n", resident);
    std::printf("  trivial C++ program VmHWM                 %8ld\n", trivial);
    std::printf("  difference                                %8ld\n", peak - trivial);
}

// Pins this process, and so the children it starts, to one CPU: `choice`
// is a CPU number, "none" (no pinning) or null (the last CPU allowed). On
// one CPU every exchange is the client's and the peer's work and their
// context switches, and the server and the floor meet the same CPU; spread
// over the CPUs of a busy virtual machine, the two sides often ran on CPUs
// of different speed (steal time) and their ratio swung by a factor of two.
bool pin_to_one_cpu(const char* choice) {
    if (choice != nullptr && std::strcmp(choice, "none") == 0) {
        std::printf("CPU: not pinned\n");
        return true;
    }
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return false;
    int cpu = -1;
    if (choice != nullptr) {
        cpu = std::atoi(choice);
    } else {
        for (int c = 0; c < CPU_SETSIZE; ++c)
            if (CPU_ISSET(c, &allowed)) cpu = c;
    }
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    if (cpu < 0 || sched_setaffinity(0, sizeof one, &one) != 0) {
        std::fprintf(stderr, "server_bench: cannot pin to CPU %d\n", cpu);
        return false;
    }
    std::printf("CPU: all processes pinned to CPU %d\n", cpu);
    return true;
}

std::string load_average() {
    std::ifstream in("/proc/loadavg");
    std::string text;
    std::getline(in, text);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    // Defaults that suit this benchmark, unless given on the command line.
    std::vector<char*> args(argv, argv + argc);
    bool skip_memory = false;
    const char* cpu = nullptr;
    std::erase_if(args, [&](char* a) {
        if (std::strcmp(a, "--skip_memory") == 0) return skip_memory = true;
        if (std::strncmp(a, "--cpu=", 6) == 0) return (cpu = a + 6) != nullptr;
        return false;
    });
    if (!pin_to_one_cpu(cpu)) return 1;
    static char defaults[][64] = {"--benchmark_repetitions=7",
                                  "--benchmark_enable_random_interleaving=true",
                                  "--benchmark_min_time=0.2"};
    for (char* d : defaults) {
        const std::size_t key = std::strchr(d, '=') - d + 1;
        const bool given =
            std::any_of(args.begin() + 1, args.end(), [&](char* a) { return std::strncmp(a, d, key) == 0; });
        if (!given) args.push_back(d);
    }
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;

    wire::make_header(ping_header, "PING", "", '\0');
    wire::make_header(disconnect_header, "DISCONNECT", "", '\0');

    char pattern[] = "bench-scratch-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("server_bench: mkdtemp");
        return 1;
    }
    const fs::path scratch = fs::absolute(pattern);
    fs::create_directories(scratch / "server");
    fs::create_directories(scratch / "floor");
    server_peer = start_server(scratch / "server");
    floor_peer_process = start_floor(scratch / "floor");

    const std::vector<exchange> list = make_exchanges();
    for (const exchange& e : list) {
        auto* b = benchmark::RegisterBenchmark(e.label.c_str(), bm_command, &e);
        b->UseManualTime()->Unit(benchmark::kMicrosecond);
        if (e.iterations > 0) b->Iterations(e.iterations);
    }

    std::printf("load average before: %s\n", load_average().c_str());
    table_reporter reporter(isatty(STDOUT_FILENO) ? table_reporter::OO_Defaults
                                                  : table_reporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("load average after:  %s\n", load_average().c_str());
    print_table(list, reporter);
    stop(server_peer);
    stop(floor_peer_process);

    if (!skip_memory) memory_report(scratch / "memory");
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    benchmark::Shutdown();
}
