// The sound device: the machine's samples played through ALSA's "default"
// device (PulseAudio or PipeWire on today's desktops, the card itself
// elsewhere), written once a period from the program's own loop. About 40
// ms of sound waits in the device: enough that a period or four late never
// leave it without, little enough that what is heard is never more than 60
// ms behind the emulated OUT that made it. How full it is steers the machine's sample rate a little (at most
// half a percent, unheard), so that the emulation's clock and the device's
// never drift apart.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct _snd_pcm;

class SoundDevice {
public:
    // Opens the device, 16-bit mono at 44.1 kHz (48 kHz where the device
    // has only that); null, with the reason in `problem`, when there is
    // none: no sound card, a server with none, a device busy elsewhere.
    static std::unique_ptr<SoundDevice> open(std::string& problem);
    ~SoundDevice();

    int rate() const { return rate_; }

    // Plays the samples; returns the factor for the machine's sample rate
    // that brings the device's queue back to its target.
    double play(const std::vector<int16_t>& samples);

    // Sound off: the device stops at once; on: it starts again from silence.
    void pause(bool paused);

    // Times the device ran dry and was started again.
    uint64_t underruns() const { return underruns_.load(); }

    // What waited in the device just after each period's samples went in:
    // the most, and the mean, in milliseconds (for a benchmark, which may
    // read them from another thread).
    double most_queued_ms() const { return most_queued_ms_.load(); }
    double mean_queued_ms() const;
    // Samples dropped because too many waited (each drop a small click).
    uint64_t dropped() const { return dropped_.load(); }
    void reset_statistics();

    // What waits in the device now: how long a sample made now takes to be
    // heard, in milliseconds, besides the period it was made in.
    double queued_ms();

private:
    SoundDevice() = default;
    void restart();
    _snd_pcm* pcm_ = nullptr;
    int rate_ = 0;
    long target_ = 0;  // frames to keep queued
    long slack_ = 0;   // frames above the target before the oldest are dropped
    bool paused_ = false;
    std::atomic<uint64_t> underruns_{0};
    std::atomic<uint64_t> dropped_{0};
    std::atomic<double> most_queued_ms_{0};
    std::atomic<double> queued_ms_sum_{0};
    std::atomic<uint64_t> plays_{0};
};
