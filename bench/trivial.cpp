// bench_trivial: the smallest C++ program with a console, the yardstick for
// the server's resident size. It says "ready", then waits for the end of its
// input so that its parent can read its peak resident size while it lives.
#include <cstdio>

int main() {
    std::puts("ready");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
}
