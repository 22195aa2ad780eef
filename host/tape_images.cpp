#include "tape_images.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "audio_file.h"
#include "file_input.h"
#include "file_output.h"
#include "program_files.h"
#include "recording.h"

namespace {

using namespace tape_timing;

// The most a tape file may hold that is read: far more than any ZX81 tape.
constexpr size_t largest_tape_file = 64 * 1024 * 1024;

std::string lower_ending(const std::string& name) {
    const std::string last = name.substr(name.find_last_of('/') + 1);
    const size_t dot = last.find_last_of('.');
    if (dot == std::string::npos || dot == 0) return {};
    std::string ending = last.substr(dot + 1);
    for (char& c : ending) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ending;
}

// A tape file's bytes: no more than any tape holds.
bool read_bytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& problem) {
    FileBytes file = read_regular_file(path, largest_tape_file);
    if (!file.ok) {
        problem = file.problem;
        return false;
    }
    if (file.longer) {
        problem = "larger than any tape (more than " + std::to_string(largest_tape_file) + " bytes)";
        return false;
    }
    bytes = std::move(file.bytes);
    return true;
}

std::string stem_of(const std::string& path) {
    return std::filesystem::path(path).stem().string();
}

// The slowest rate that still shows the tape's pulses (3.3 kHz).
constexpr int slowest_rate = 8000;
// Frames read at a time: the recording is read twice, a chunk at a time, so
// that a long one takes little memory.
constexpr sf_count_t chunk_frames = 65536;

// Reads the file's frames a chunk at a time into `take`. False when
// libsndfile cannot.
template <typename Take>
bool each_chunk(SNDFILE* file, const SF_INFO& info, Take take) {
    if (sf_seek(file, 0, SEEK_SET) < 0) return false;
    std::vector<float> chunk(static_cast<size_t>(chunk_frames) * static_cast<size_t>(info.channels));
    for (;;) {
        const sf_count_t read = sf_readf_float(file, chunk.data(), chunk_frames);
        if (read <= 0) return sf_error(file) == SF_ERR_NO_ERROR;
        take(chunk.data(), static_cast<size_t>(read));
    }
}

void read_wav(const std::string& path, TapeImage& image) {
    const int fd = open_regular_file(path, image.problem);
    if (fd < 0) return;
    SF_INFO info{};
    SNDFILE* file = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
    if (!file) {
        image.problem = std::string("not a sound file libsndfile reads: ") + sf_strerror(nullptr);
        return;
    }
    const auto close = [&](std::string problem) {
        image.problem = std::move(problem);
        sf_close(file);
    };
    if (info.samplerate < slowest_rate)
        return close("recorded at " + std::to_string(info.samplerate) + " Hz (Orlix reads 8 kHz and more: the "
                     "tape's pulses need it)");
    if (info.channels < 1 || info.channels > 8)
        return close("a recording of " + std::to_string(info.channels) + " channels (Orlix reads 1 to 8)");
    if (static_cast<double>(info.frames) / info.samplerate > longest_tape_seconds)
        return close("longer than a C90 cassette");
    // Non-finite samples (a float file gone wrong) count as silence.
    const auto clean = [](float* frames, size_t count, int channels) {
        for (size_t i = 0; i < count * static_cast<size_t>(channels); ++i)
            if (!std::isfinite(frames[i])) frames[i] = 0;
    };
    RecordingSurvey survey(info.samplerate, info.channels);
    if (!each_chunk(file, info, [&](float* frames, size_t count) {
            clean(frames, count, info.channels);
            survey.add(frames, count);
        }))
        return close(std::string("cannot read the recording: ") + sf_strerror(file));
    RecordingReader reader(info.samplerate, survey.levels());
    if (!each_chunk(file, info, [&](float* frames, size_t count) {
            clean(frames, count, info.channels);
            reader.add(frames, count);
        }))
        return close(std::string("cannot read the recording: ") + sf_strerror(file));
    sf_close(file);
    reader.finish(image);
}

}  // namespace

bool tape_file_name(const std::string& name) {
    const std::string ending = lower_ending(name);
    return ending == "wav" || ending == "tzx" || ending == "p81";
}

TapeImage read_tape_image(const std::string& path) {
    TapeImage image;
    const std::string ending = lower_ending(path);
    if (ending == "wav") {
        read_wav(path, image);
        return image;
    }
    if (ending == "tzx" || ending == "p81") {
        std::vector<uint8_t> bytes;
        if (!read_bytes(path, bytes, image.problem)) return image;
        if (ending == "tzx")
            read_tzx(bytes, image);
        else
            read_p81(bytes, image);
        return image;
    }
    if (!program_file_name(path)) {
        image.problem = "not a tape (.wav, .tzx, .p81) or program file (.p, .81)";
        return image;
    }
    const ProgramImage program = read_program_file(path, ram_sizes_kb.back());
    if (!program.result.ok) {
        image.problem = program.result.reason;
        return image;
    }
    std::vector<uint8_t> name = tape_name_of(stem_of(path));
    if (name.empty()) name = tape_name_of("PROGRAM");
    image.programs.push_back({name, program.bytes, 0, 0});
    tape_of_programs(image);
    return image;
}

FileResult write_tape_wav(const std::string& path, const TapeProgram& program) {
    constexpr int rate = 44100;
    std::string problem;
    std::unique_ptr<AudioRecording> recording = AudioRecording::begin(path, rate, problem, 8);
    if (!recording) return {false, problem};
    recording->add(recording_of(program, rate));
    return recording->finish();
}

FileResult write_tape_tzx(const std::string& path, const TapeProgram& program) {
    return write_whole_file(path, tzx_bytes(program), Streams::refused);
}

FileResult write_tape_p81(const std::string& path, const TapeProgram& program) {
    std::vector<uint8_t> bytes = program.name;
    bytes.insert(bytes.end(), program.data.begin(), program.data.end());
    return write_whole_file(path, bytes, Streams::in_place);
}
