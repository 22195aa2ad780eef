#include "audio_file.h"

#include <sndfile.h>

std::unique_ptr<AudioRecording> AudioRecording::begin(const std::string& path, int rate, std::string& problem,
                                                      int bits, uint64_t most_bytes) {
    std::unique_ptr<AudioRecording> recording(new AudioRecording);
    recording->samples_left_ = most_bytes / (bits == 8 ? 1 : 2);
    const FileResult opened = begin_whole_file(path, recording->file_);
    if (!opened.ok) {
        problem = opened.reason;
        return nullptr;
    }
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | (bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
    // The descriptor stays ours: it is synced and named when the recording
    // is finished.
    recording->sound_file_ = sf_open_fd(recording->file_.fd, SFM_WRITE, &info, SF_FALSE);
    if (!recording->sound_file_) {
        problem = sf_strerror(nullptr);
        return nullptr;
    }
    return recording;
}

AudioRecording::~AudioRecording() {
    if (sound_file_) sf_close(sound_file_);
}

bool AudioRecording::add(const std::vector<int16_t>& samples) {
    if (!problem_.empty() || samples.empty()) return problem_.empty();
    if (samples.size() > samples_left_) {
        problem_ = "the sound is longer than a WAV file holds (4 GiB: about 13.5 hours at 44.1 kHz)";
        return false;
    }
    samples_left_ -= samples.size();
    const sf_count_t written = sf_write_short(sound_file_, samples.data(), static_cast<sf_count_t>(samples.size()));
    if (written != static_cast<sf_count_t>(samples.size())) problem_ = sf_strerror(sound_file_);
    return problem_.empty();
}

FileResult AudioRecording::finish() {
    if (!problem_.empty()) return {false, problem_};
    sf_write_sync(sound_file_);
    const int closed = sf_close(sound_file_);
    sound_file_ = nullptr;
    if (closed != 0) return {false, sf_error_number(closed)};
    return finish_whole_file(file_);
}
