// wav_writer.cpp: the RIFF header and the samples, little-endian whatever the host.
#include "wav_writer.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr int64_t WAV_MAX_DATA = 0xFFFFFFFFll - (WAV_HEADER_BYTES - 8);  // the RIFF size is 32 bits
constexpr int WAV_FRAME_BYTES = 4;                                       // two 16-bit samples

void put16(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void put32(uint8_t* at, uint32_t value) {
    put16(at, value & 0xFFFF);
    put16(at + 2, value >> 16);
}

void header(uint8_t* bytes, int32_t rate, uint32_t dataBytes) {
    std::memcpy(bytes, "RIFF", 4);
    put32(bytes + 4, dataBytes + WAV_HEADER_BYTES - 8);
    std::memcpy(bytes + 8, "WAVEfmt ", 8);
    put32(bytes + 16, 16);  // the fmt chunk's size
    put16(bytes + 20, 1);   // PCM
    put16(bytes + 22, 2);   // channels
    put32(bytes + 24, static_cast<uint32_t>(rate));
    put32(bytes + 28, static_cast<uint32_t>(rate) * WAV_FRAME_BYTES);
    put16(bytes + 32, WAV_FRAME_BYTES);
    put16(bytes + 34, 16);  // bits per sample
    std::memcpy(bytes + 36, "data", 4);
    put32(bytes + 40, dataBytes);
}

}  // namespace

WavWriter::~WavWriter() {
    std::string ignored;
    close(ignored);
}

bool WavWriter::open(const std::string& path, int32_t frameRate, std::string& error) {
    close(error);
    file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    rate = frameRate;
    framesWritten = 0;
    uint8_t bytes[WAV_HEADER_BYTES];
    header(bytes, rate, 0);
    // Out at once, so a capture that is cut off still leaves a file that opens.
    if (std::fwrite(bytes, 1, sizeof bytes, file) != sizeof bytes || std::fflush(file) != 0) {
        error = path + ": " + std::strerror(errno);
        std::fclose(file);
        file = nullptr;
        return false;
    }
    return true;
}

bool WavWriter::append(const int16_t* stereo, int32_t frames, std::string& error) {
    if (!file || !stereo || frames < 0) {
        error = "the audio file is not open";
        return false;
    }
    if ((framesWritten + frames) * WAV_FRAME_BYTES > WAV_MAX_DATA) {
        error = "the audio passes the 4 GiB a WAV file can hold";
        return false;
    }
    std::vector<uint8_t>& bytes = buffer;
    bytes.resize(static_cast<size_t>(frames) * WAV_FRAME_BYTES);
    for (size_t i = 0; i < static_cast<size_t>(frames) * 2; ++i)
        put16(&bytes[2 * i], static_cast<uint16_t>(stereo[i]));
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        error = std::string("audio: ") + std::strerror(errno);
        return false;
    }
    framesWritten += frames;
    return true;
}

bool WavWriter::close(std::string& error) {
    if (!file) return true;
    uint8_t bytes[WAV_HEADER_BYTES];
    header(bytes, rate, static_cast<uint32_t>(framesWritten * WAV_FRAME_BYTES));
    bool closed = std::fseek(file, 0, SEEK_SET) == 0 &&
                  std::fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes && std::fflush(file) == 0;
    if (!closed) error = std::string("audio: ") + std::strerror(errno);
    if (std::fclose(file) != 0 && closed) {
        closed = false;
        error = std::string("audio: ") + std::strerror(errno);
    }
    file = nullptr;
    return closed;
}
