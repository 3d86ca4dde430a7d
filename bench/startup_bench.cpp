// Benchmarks of start-up to the first presented frame, whole process on the dummy drivers: the intro
// against a bare SDL program that only sets the same video mode and presents once. A preloaded hook
// reports the clock at the first present and ends the process there.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

extern char** environ;

namespace {

int64_t nowNs() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

struct Launch {
    bool ok;
    double seconds;        // from the spawn to the first present
    double audioSeconds;   // of that, initialising SDL audio and opening the device
    bool musicLibrary;     // libopenmpt already in the process at the first present
    double loaderSeconds;  // from the spawn until the dynamic loader had mapped and linked everything
};

Launch launchToFirstPresent(const char* program) {
    int channel[2];
    if (pipe2(channel, O_CLOEXEC) != 0) return {false, 0, 0, false, 0};
    // The child keeps a copy of the writing end that survives exec.
    const int childFd = fcntl(channel[1], F_DUPFD, 10);
    std::vector<std::string> settings = {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy",
                                         std::string("LD_PRELOAD=") + BENCH_STARTUP_HOOK,
                                         "BENCH_STARTUP_FD=" + std::to_string(childFd)};
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        if (entry.rfind("SDL_", 0) != 0 && entry.rfind("LD_PRELOAD=", 0) != 0) settings.push_back(entry);
    }
    std::vector<char*> environment;
    for (std::string& s : settings) environment.push_back(s.data());
    environment.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    char* arguments[] = {const_cast<char*>(program), nullptr};
    pid_t child = 0;
    const int64_t started = nowNs();
    const int spawned = posix_spawn(&child, program, &actions, nullptr, arguments, environment.data());
    posix_spawn_file_actions_destroy(&actions);
    close(childFd);
    close(channel[1]);

    char line[128] = {};
    size_t got = 0;
    ssize_t n = 0;
    while (spawned == 0 && got < sizeof line - 1 &&
           (n = read(channel[0], line + got, sizeof line - 1 - got)) > 0)
        got += static_cast<size_t>(n);
    close(channel[0]);
    int status = 0;
    if (spawned == 0) waitpid(child, &status, 0);
    long long presented = 0, audio = 0, loaded = 0;
    int musicLibrary = 0;
    if (spawned != 0 || std::sscanf(line, "%lld %lld %d %lld", &presented, &audio, &musicLibrary, &loaded) != 4)
        return {false, 0, 0, false, 0};
    return {true, (presented - started) * 1e-9, audio * 1e-9, musicLibrary != 0, (loaded - started) * 1e-9};
}

void runStartUp(benchmark::State& state, const char* program) {
    double audio = 0, musicLibrary = 0, loader = 0;
    // One launch unmeasured: the machine's memory reclaim may have dropped the program's libraries from
    // the page cache while other benchmarks ran, and reading them back from disk is not start-up work.
    if (!launchToFirstPresent(program).ok) {
        state.SkipWithError("no frame presented");
        return;
    }
    for (auto _ : state) {
        const Launch launch = launchToFirstPresent(program);
        if (!launch.ok) {
            state.SkipWithError("no frame presented");
            return;
        }
        state.SetIterationTime(launch.seconds);
        audio += launch.audioSeconds;
        musicLibrary += launch.musicLibrary ? 1 : 0;
        loader += launch.loaderSeconds;
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["audio_open_us"] = audio * 1e6 / runs;
    state.counters["openmpt_loaded"] = musicLibrary / runs;  // share of runs
    state.counters["loader_us"] = loader * 1e6 / runs;
}

void BM_StartUp_Dovoz1(benchmark::State& state) {
    runStartUp(state, DOVOZ1_PROGRAM);
}
BENCHMARK(BM_StartUp_Dovoz1)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_StartUp_BareSdl(benchmark::State& state) {
    runStartUp(state, BENCH_BARE_SDL);
}
BENCHMARK(BM_StartUp_BareSdl)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
