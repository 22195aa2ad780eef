// Sound written to a file as the machine plays it: mono PCM WAV (16-bit,
// or 8-bit for a tape), through libsndfile, whole or not at all (the file
// takes its name only when the recording is finished).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "file_output.h"

struct sf_private_tag;  // libsndfile's SNDFILE

// The most samples a WAV file holds: its sizes are 32 bits.
constexpr uint64_t most_wav_bytes = 0xFFFFFFFFull - 64;

class AudioRecording {
public:
    // Starts a recording to `path` at `rate` samples a second, of 16 bits or
    // 8; null, with the reason in `problem`, when the file cannot be made
    // there.
    static std::unique_ptr<AudioRecording> begin(const std::string& path, int rate, std::string& problem,
                                                 int bits = 16, uint64_t most_bytes = most_wav_bytes);
    ~AudioRecording();

    // Adds samples; false (with the reason kept for finish) when they cannot
    // be written, or would make the file longer than a WAV can be (a file
    // that claimed less than it held would be read wrong).
    bool add(const std::vector<int16_t>& samples);

    // Ends the recording: the header completed, the file on disk and named.
    FileResult finish();

private:
    AudioRecording() = default;
    PendingFile file_;
    sf_private_tag* sound_file_ = nullptr;
    std::string problem_;
    uint64_t samples_left_ = 0;  // before the file is as long as a WAV can be
};
