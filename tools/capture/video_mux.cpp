// video_mux.cpp: finding ffmpeg and running it without a shell, so no file name is ever interpreted.
#include "video_mux.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "capture_options.h"

extern char** environ;

std::string findExecutable(const std::string& name, const std::string& path) {
    if (name.empty() || name.find('/') != std::string::npos) return {};
    size_t start = 0;
    while (start <= path.size()) {
        size_t colon = path.find(':', start);
        if (colon == std::string::npos) colon = path.size();
        std::string directory = path.substr(start, colon - start);
        if (directory.empty()) directory.assign(1, '.');  // spelled so GCC 12 raises no false -Wrestrict
        const std::string candidate = directory + "/" + name;
        struct stat info;
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = colon + 1;
    }
    return {};
}

std::vector<std::string> muxArguments(const std::string& ffmpeg, const std::string& directory,
                                      const std::string& video) {
    const std::string rate = std::to_string(FRAMES_PER_SECOND);
    const std::string scale =
        "scale=" + std::to_string(VIDEO_WIDTH) + ":" + std::to_string(VIDEO_HEIGHT) + ":flags=neighbor";
    // Errors and ffmpeg's own progress line only. The veryfast preset took 25 s for 10 s of video on a
    // busy two-core machine where medium took 65 s, for files of much the same size at this quality.
    return {ffmpeg, "-nostdin", "-hide_banner", "-loglevel", "error", "-stats", "-y", "-framerate", rate,
            "-start_number", "0", "-i", directory + "/frame_%06d.png", "-i", directory + "/audio.wav", "-vf",
            scale, "-c:v", "libx264", "-preset", "veryfast", "-crf", "16", "-pix_fmt", "yuv420p", "-c:a",
            "aac", "-b:a", "192k", "-movflags", "+faststart",
            // A name beginning with a dash must not read as an option.
            video.empty() || video[0] == '/' ? video : "./" + video};
}

bool runAndWait(const std::vector<std::string>& command, std::string& error) {
    if (command.empty()) {
        error = "no command";
        return false;
    }
    std::vector<char*> argv;
    for (const std::string& argument : command) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    const int started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        error = command[0] + ": " + std::strerror(started);
        return false;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            error = command[0] + ": " + std::strerror(errno);
            return false;
        }
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    error = WIFEXITED(status) ? command[0] + " exited with status " + std::to_string(WEXITSTATUS(status))
                              : command[0] + " was ended by signal " + std::to_string(WTERMSIG(status));
    return false;
}
