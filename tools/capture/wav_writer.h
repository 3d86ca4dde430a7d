// wav_writer.h: a 16-bit stereo PCM WAV file written as the samples come, its sizes filled in at close.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

inline constexpr int WAV_HEADER_BYTES = 44;

class WavWriter {
public:
    WavWriter() = default;
    // Closes the file as close() does.
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Creates or replaces path with a header of rate frames per second and no samples yet; false with
    // the reason in error.
    bool open(const std::string& path, int32_t rate, std::string& error);
    // Appends frames of interleaved left, right samples, stored little-endian; false with the reason
    // in error, or when the data would pass the 4 GiB a WAV can hold.
    bool append(const int16_t* stereo, int32_t frames, std::string& error);
    // Writes the final sizes into the header and closes; false with the reason in error. Nothing after
    // a failed open.
    bool close(std::string& error);

    int64_t framesWritten = 0;

private:
    FILE* file = nullptr;
    int32_t rate = 0;
    std::vector<uint8_t> buffer;  // the little-endian bytes of one append, kept between calls
};
