// statistics.cpp: the frame statistics printed at exit.
#include "statistics.h"

#include "diag.h"
#include "timing.h"

double framesPerSecond(int32_t frameCount, uint32_t startTime, uint32_t endTime) {
    // The difference read as signed keeps a run across the 32-bit clock wrap right.
    const int32_t elapsed = static_cast<int32_t>(endTime - startTime);
    if (elapsed == 0) return 0.0;
    constexpr float kMillisecond = 0.001f;  // single precision, as the rate has always been computed
    return frameCount / (elapsed * static_cast<double>(kMillisecond));
}

void printStatistics(int32_t frameCount, uint32_t startTime, uint32_t endTime) {
    print("\n\n\n");
    print("\n frames: %d", frameCount);
    print("\n MAX_FPS: %d", FRAMES_PER_SECOND);
    print("\n fps: %.3f", framesPerSecond(frameCount, startTime, endTime));
    print("\n\n\n");
}
