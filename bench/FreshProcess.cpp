// Starting a program, reading its output and taking its resource use as it exits.
#include "bench/FreshProcess.h"
#include "bench/BenchFigures.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>

extern char** environ;

namespace BENCH
{

CProcessRun runFreshProcess(const std::vector<std::string>& words)
{
    if (words.empty())
        throw std::runtime_error("no program to run");
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        throw std::runtime_error("no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
    std::vector<std::string> copies = words;
    std::vector<char*> argv;
    for (std::string& word : copies)
        argv.push_back(&word[0]);
    argv.push_back(nullptr);

    CProcessRun run;
    const long hugePagesBefore = hugePageFaults();
    const auto started = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int failed = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (failed != 0) {
        close(pipeEnds[0]);
        throw std::runtime_error("cannot start " + words[0]);
    }
    char buffer[4096];
    ssize_t got = 0;
    while ((got = read(pipeEnds[0], buffer, sizeof buffer)) != 0) {
        if (got > 0)
            run.output.append(buffer, static_cast<std::size_t>(got));
        else if (errno != EINTR)
            break;
    }
    close(pipeEnds[0]);
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR)
            throw std::runtime_error("lost " + words[0]);
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::string command;
        for (const std::string& word : words)
            command += (command.empty() ? "" : " ") + word;
        throw std::runtime_error(command + " failed");
    }
    const long hugePagesAfter = hugePageFaults();
    if (hugePagesBefore >= 0 && hugePagesAfter >= hugePagesBefore)
        run.hugePagesFaulted = hugePagesAfter - hugePagesBefore;
    run.systemSeconds = static_cast<double>(usage.ru_stime.tv_sec) + static_cast<double>(usage.ru_stime.tv_usec) / 1e6;
    run.peakKilobytes = usage.ru_maxrss;
    run.minorFaults = usage.ru_minflt;
    run.majorFaults = usage.ru_majflt;
    return run;
}

} // namespace BENCH
