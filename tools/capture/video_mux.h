// video_mux.h: the optional MP4 of a capture, made by ffmpeg when it is installed.
#pragma once
#include <string>
#include <vector>

inline constexpr int VIDEO_WIDTH = 1600;   // 320 × 5
inline constexpr int VIDEO_HEIGHT = 1200;  // 200 × 6: the 4:3 shape of the screens the intro was made for

// The first executable file called name in the directories of path (a PATH-style list); empty when
// there is none. Empty entries stand for the current directory, as the shell has it.
std::string findExecutable(const std::string& name, const std::string& path);

// ffmpeg's command line: the frames of directory at 25 per second, scaled by nearest neighbour to
// 1600×1200, with directory/audio.wav, into video as H.264 and AAC.
std::vector<std::string> muxArguments(const std::string& ffmpeg, const std::string& directory,
                                      const std::string& video);

// Runs the command with standard input from /dev/null and waits for it; true when it exited with 0.
// A failure to start is reported in error, a failed run by its exit status.
bool runAndWait(const std::vector<std::string>& command, std::string& error);
