#include "sound_device.h"

#include <alsa/asoundlib.h>

#include <algorithm>

namespace {

constexpr unsigned buffer_us = 80'000;  // the device's whole buffer
constexpr unsigned period_us = 10'000;  // one of the program's periods
constexpr double target_ms = 40;        // what is kept queued: a stalled period or four are covered
constexpr double slack_ms = 8;         // and how far above it before samples are dropped
// How hard the queue's fill steers the rate, and how far.
constexpr double steering = 0.005;
constexpr double most_trim = 0.005;

// ALSA's own complaints (no card, no server) would go to standard error;
// the program says what went wrong in one line of its own.
void quiet(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

std::unique_ptr<SoundDevice> SoundDevice::open(std::string& problem) {
    snd_lib_error_set_handler(quiet);
    std::unique_ptr<SoundDevice> device(new SoundDevice);
    int error = snd_pcm_open(&device->pcm_, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (error < 0) {
        problem = snd_strerror(error);
        device->pcm_ = nullptr;
        return nullptr;
    }
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    unsigned rate = 44100, buffer = buffer_us, period = period_us;
    int direction = 0;
    snd_pcm_t* pcm = device->pcm_;
    if ((error = snd_pcm_hw_params_any(pcm, hw)) < 0 ||
        (error = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0 ||
        (error = snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_S16)) < 0 ||
        (error = snd_pcm_hw_params_set_channels(pcm, hw, 1)) < 0) {
        problem = snd_strerror(error);
        return nullptr;
    }
    // The device's own rate: 44.1 kHz, else 48 kHz, else what it has nearest.
    if (snd_pcm_hw_params_test_rate(pcm, hw, 44100, 0) != 0 && snd_pcm_hw_params_test_rate(pcm, hw, 48000, 0) == 0)
        rate = 48000;
    if ((error = snd_pcm_hw_params_set_rate_near(pcm, hw, &rate, &direction)) < 0 ||
        (error = snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &buffer, &direction)) < 0 ||
        (error = snd_pcm_hw_params_set_period_time_near(pcm, hw, &period, &direction)) < 0 ||
        (error = snd_pcm_hw_params(pcm, hw)) < 0) {
        problem = snd_strerror(error);
        return nullptr;
    }
    device->rate_ = static_cast<int>(rate);
    device->target_ = static_cast<long>(rate * target_ms / 1000);
    device->slack_ = static_cast<long>(rate * slack_ms / 1000);
    // It starts playing once the target is queued, not when the whole
    // buffer is full.
    snd_pcm_sw_params_t* sw;
    snd_pcm_sw_params_alloca(&sw);
    snd_pcm_sw_params_current(pcm, sw);
    snd_pcm_sw_params_set_start_threshold(pcm, sw, static_cast<snd_pcm_uframes_t>(device->target_));
    if ((error = snd_pcm_sw_params(pcm, sw)) < 0) {
        problem = snd_strerror(error);
        return nullptr;
    }
    device->restart();
    return device;
}

SoundDevice::~SoundDevice() {
    if (pcm_) snd_pcm_close(pcm_);
}

// Silence up to the target, which starts the device.
void SoundDevice::restart() {
    snd_pcm_prepare(pcm_);
    const std::vector<int16_t> silence(static_cast<size_t>(target_), 0);
    snd_pcm_writei(pcm_, silence.data(), silence.size());
}

double SoundDevice::play(const std::vector<int16_t>& samples) {
    if (paused_) return 1;
    if (snd_pcm_state(pcm_) == SND_PCM_STATE_XRUN) {
        ++underruns_;
        restart();
    }
    // More queued than the target and a little over (a start-up, a host that
    // stalled and caught up) is sound behind the picture: the oldest of this
    // period's samples go, rather than play late.
    snd_pcm_sframes_t before = 0;
    if (snd_pcm_delay(pcm_, &before) < 0) before = 0;
    const long over = before + static_cast<long>(samples.size()) - target_ - slack_;
    size_t done = over > 0 ? std::min(samples.size(), static_cast<size_t>(over)) : 0;
    if (done > 0) dropped_.fetch_add(done);
    while (done < samples.size()) {
        const snd_pcm_sframes_t written = snd_pcm_writei(pcm_, samples.data() + done, samples.size() - done);
        if (written == -EPIPE) {
            ++underruns_;
            restart();
            continue;
        }
        if (written <= 0) break;  // full (or gone): the rest waits for no one
        done += static_cast<size_t>(written);
    }
    snd_pcm_sframes_t queued = 0;
    if (snd_pcm_delay(pcm_, &queued) < 0) return 1;
    const double queued_ms = 1000.0 * static_cast<double>(queued) / rate_;
    if (queued_ms > most_queued_ms_.load()) most_queued_ms_.store(queued_ms);
    queued_ms_sum_.store(queued_ms_sum_.load() + queued_ms);
    plays_.fetch_add(1);
    const double off = static_cast<double>(target_ - queued) / target_;
    return 1 + std::clamp(steering * off, -most_trim, most_trim);
}

void SoundDevice::pause(bool paused) {
    if (paused == paused_) return;
    paused_ = paused;
    if (paused)
        snd_pcm_drop(pcm_);
    else
        restart();
}

double SoundDevice::queued_ms() {
    snd_pcm_sframes_t queued = 0;
    if (!pcm_ || snd_pcm_delay(pcm_, &queued) < 0) return 0;
    return 1000.0 * static_cast<double>(queued) / rate_;
}

double SoundDevice::mean_queued_ms() const {
    const uint64_t plays = plays_.load();
    return plays ? queued_ms_sum_.load() / static_cast<double>(plays) : 0;
}

void SoundDevice::reset_statistics() {
    underruns_.store(0);
    dropped_.store(0);
    most_queued_ms_.store(0);
    queued_ms_sum_.store(0);
    plays_.store(0);
}
