#pragma once
// Runs a whole program, as a user does, for the benchmarks that measure processes.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchSupport.h"

extern char** environ;

namespace melodrix::bench {

struct TProcessCost {
    double seconds = 0;
    double peakBytes = 0;
};

// Runs a program to its end, its output to /dev/null; its wall time and peak resident memory.
// Stops the benchmark when the program fails.
TProcessCost RunProcess(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    // Nothing left to write back from the process before, which would slow this one.
    ::sync();
    const auto start = TClock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(1);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    const double seconds = SecondsSince(start);
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", args[1].c_str());
        std::exit(1);
    }
    return {seconds, static_cast<double>(usage.ru_maxrss) * 1024.0};
}

}  // namespace melodrix::bench
