// ifcctl: the command-line client of the settings server.
//
// main() only connects the process's streams to run() (cli.cpp), which does
// the work; `ifcctl --help` lists the commands and the exit codes.
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "ifcctl.h"

int main(int argc, char** argv) {
    // A server that vanishes must give an error, not kill the tool.
    std::signal(SIGPIPE, SIG_IGN);
    const ifcctl::streams io{stdin, stdout, stderr, isatty(STDOUT_FILENO) == 1};
    const int code = ifcctl::run(argc, argv, io);
    std::fflush(stdout);
    return code;
}
