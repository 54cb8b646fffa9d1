// WAV playback: the RIFF reader and the player thread that feeds the audio device (the PulseAudio
// simple API where the build has it; silent otherwise).
#include "platform/sound.h"

#include "platform/backend.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#ifdef MIREXA_HAVE_PULSE
#include <pulse/error.h>
#include <pulse/simple.h>
#endif

namespace mirexa {

namespace {

std::uint32_t ReadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t ReadLe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

constexpr std::uint16_t kWavePcm = 1;

// The device stream: opened for one format, reopened when a clip of another format comes.
struct DeviceStream {
#ifdef MIREXA_HAVE_PULSE
    pa_simple* stream = nullptr;
#endif
    WaveFormat format = {};

    int Open(const WaveFormat& wanted, const char** reason);
    int Write(const std::uint8_t* bytes, std::size_t size);
    void Drain();
    void Flush();
    void Close();
};

#ifdef MIREXA_HAVE_PULSE
int DeviceStream::Open(const WaveFormat& wanted, const char** reason) {
    if (stream != nullptr && wanted.channels == format.channels &&
        wanted.sampleRate == format.sampleRate && wanted.bitsPerSample == format.bitsPerSample) {
        return 1;
    }
    Close();
    pa_sample_spec spec = {};
    spec.format = wanted.bitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
    spec.rate = static_cast<std::uint32_t>(wanted.sampleRate);
    spec.channels = static_cast<std::uint8_t>(wanted.channels);
    int error = 0;
    stream = pa_simple_new(nullptr, "mirexa", PA_STREAM_PLAYBACK, nullptr, "sound effects", &spec,
                           nullptr, nullptr, &error);
    if (stream == nullptr) {
        if (reason != nullptr) {
            *reason = pa_strerror(error);
        }
        return 0;
    }
    format = wanted;
    return 1;
}

int DeviceStream::Write(const std::uint8_t* bytes, std::size_t size) {
    int error = 0;
    return stream != nullptr && pa_simple_write(stream, bytes, size, &error) == 0;
}

void DeviceStream::Drain() {
    int error = 0;
    if (stream != nullptr) {
        pa_simple_drain(stream, &error);
    }
}

void DeviceStream::Flush() {
    int error = 0;
    if (stream != nullptr) {
        pa_simple_flush(stream, &error);
    }
}

void DeviceStream::Close() {
    if (stream != nullptr) {
        pa_simple_free(stream);
        stream = nullptr;
    }
    format = {};
}
#else
int DeviceStream::Open(const WaveFormat&, const char** reason) {
    if (reason != nullptr) {
        *reason = "this build has no audio output";
    }
    return 0;
}
int DeviceStream::Write(const std::uint8_t*, std::size_t) {
    return 0;
}
void DeviceStream::Drain() {}
void DeviceStream::Flush() {}
void DeviceStream::Close() {}
#endif

// The headless record keeps the first plays of a long run only.
constexpr std::size_t kRecordedSoundLimit = 4096;

// The probe format: what the device is first opened with to learn whether there is one.
constexpr WaveFormat kProbeFormat = {1, 22050, 16, 0, 0};

// The one player: a request slot the callers fill and the thread empties. `requested` counts the
// requests; `finished` the last request the thread has played to its end or given up.
struct Player {
    std::mutex mutex;
    std::condition_variable wake;  // the thread waits for a request
    std::condition_variable done;  // synchronous callers wait for their request's end
    std::thread thread;
    bool quit = false;
    int state = 0;  // 1 device, 0 not tried, -1 none
    const char* reason = "";
    const std::uint8_t* bytes = nullptr;
    WaveFormat format = {};
    std::uint64_t requested = 0;
    std::uint64_t finished = 0;
    DeviceStream device;
    std::function<void(const std::uint8_t*, std::size_t, int)> recorder;
    std::vector<RecordedSound> recorded;  // the headless backend's plays

    // A program that ends without ResetSoundOutput still ends the thread cleanly.
    ~Player() {
        {
            std::lock_guard lock(mutex);
            quit = true;
            wake.notify_all();
        }
        if (thread.joinable()) {
            thread.join();
        }
    }
};

Player& ThePlayer() {
    static Player player;
    return player;
}

// Plays requests until quit. Writes in slices of about 20 ms so that a newer request or a stop
// cuts the sound that plays within a slice.
void PlayerLoop(Player& p) {
    std::unique_lock lock(p.mutex);
    std::uint64_t playing = p.finished;
    while (!p.quit) {
        if (p.requested == playing) {
            p.wake.wait(lock, [&] { return p.quit || p.requested != playing; });
            continue;
        }
        playing = p.requested;
        const std::uint8_t* bytes = p.bytes;
        const WaveFormat format = p.format;
        if (bytes == nullptr) {
            lock.unlock();
            p.device.Flush();
            lock.lock();
        } else if (!p.device.Open(format, nullptr)) {
            p.state = -1;
        } else {
            const std::size_t frame =
                static_cast<std::size_t>(format.channels) * (format.bitsPerSample / 8);
            const std::size_t slice = std::max<std::size_t>(
                frame, static_cast<std::size_t>(format.sampleRate) / 50 * frame);
            std::size_t at = 0;
            while (at < format.dataBytes && p.requested == playing && !p.quit) {
                const std::size_t n = std::min(slice, format.dataBytes - at);
                lock.unlock();
                const int written = p.device.Write(bytes + format.dataOffset + at, n);
                lock.lock();
                if (!written) {
                    break;
                }
                at += n;
            }
            if (p.requested == playing && !p.quit) {
                lock.unlock();
                p.device.Drain();
                lock.lock();
            } else {
                lock.unlock();
                p.device.Flush();
                lock.lock();
            }
        }
        p.finished = playing;
        p.done.notify_all();
    }
    p.device.Close();
}

// Opens the device once to learn whether there is one. Called with the mutex held.
void ProbeDevice(Player& p) {
    if (p.state != 0) {
        return;
    }
    const char* reason = "";
    p.state = p.device.Open(kProbeFormat, &reason) ? 1 : -1;
    p.reason = reason;
}

}  // namespace

int ReadWaveFormat(const std::uint8_t* bytes, std::size_t size, WaveFormat* format) {
    if (bytes == nullptr || size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 ||
        std::memcmp(bytes + 8, "WAVE", 4) != 0) {
        return 0;
    }
    WaveFormat f = {};
    int haveFormat = 0;
    std::size_t at = 12;
    while (size - at >= 8) {
        const std::uint32_t chunk = ReadLe32(bytes + at + 4);
        const std::size_t body = at + 8;
        const std::size_t left = size - body;
        if (std::memcmp(bytes + at, "fmt ", 4) == 0) {
            if (chunk < 16 || chunk > left) {
                return 0;
            }
            if (ReadLe16(bytes + body) != kWavePcm) {
                return 0;
            }
            f.channels = ReadLe16(bytes + body + 2);
            f.sampleRate = static_cast<int>(ReadLe32(bytes + body + 4));
            f.bitsPerSample = ReadLe16(bytes + body + 14);
            haveFormat = 1;
        } else if (std::memcmp(bytes + at, "data", 4) == 0) {
            if (!haveFormat || f.channels < 1 || f.channels > 8 || f.sampleRate < 1000 ||
                f.sampleRate > 384000 || (f.bitsPerSample != 8 && f.bitsPerSample != 16)) {
                return 0;
            }
            const std::size_t frame = static_cast<std::size_t>(f.channels) * (f.bitsPerSample / 8);
            f.dataOffset = body;
            f.dataBytes = std::min<std::size_t>(chunk, left) / frame * frame;
            if (f.dataBytes == 0) {
                return 0;
            }
            *format = f;
            return 1;
        }
        if (chunk > left) {
            return 0;
        }
        at = body + chunk + (chunk & 1);  // chunks are padded to even sizes
        if (at > size) {
            return 0;
        }
    }
    return 0;
}

int PlayWaveMemory(const std::uint8_t* bytes, std::size_t size, int flags) {
    Player& p = ThePlayer();
    std::unique_lock lock(p.mutex);
    if (p.recorder) {
        auto recorder = p.recorder;
        lock.unlock();
        recorder(bytes, bytes == nullptr ? 0 : size, bytes == nullptr ? 0 : flags);
        return 1;
    }
    if (GetPlatformBackend() == PlatformBackend::Headless) {
        if (p.recorded.size() < kRecordedSoundLimit) {
            p.recorded.push_back(
                {bytes, bytes == nullptr ? 0 : size, bytes == nullptr ? 0 : flags});
        }
        return 1;
    }
    WaveFormat format = {};
    if (bytes != nullptr && !ReadWaveFormat(bytes, size, &format)) {
        return 0;
    }
    ProbeDevice(p);
    if (p.state < 0) {
        return -1;
    }
    if (!p.thread.joinable()) {
        p.quit = false;
        try {
            p.thread = std::thread(PlayerLoop, std::ref(p));
        } catch (const std::system_error&) {
            return -1;  // no thread to play on: silent
        } catch (const std::bad_alloc&) {
            return -1;
        }
    }
    p.bytes = bytes;
    p.format = format;
    const std::uint64_t mine = ++p.requested;
    p.wake.notify_all();
    if ((flags & SOUND_ASYNC) == 0 && bytes != nullptr) {
        p.done.wait(lock, [&] { return p.finished >= mine || p.quit; });
    }
    return 1;
}

void StopWaveSound() {
    PlayWaveMemory(nullptr, 0, 0);
}

int SoundOutputState(const char** reason) {
    Player& p = ThePlayer();
    std::lock_guard lock(p.mutex);
    ProbeDevice(p);
    if (reason != nullptr) {
        *reason = p.reason;
    }
    return p.state;
}

void ResetSoundOutput() {
    Player& p = ThePlayer();
    std::thread thread;
    {
        std::lock_guard lock(p.mutex);
        p.quit = true;
        p.wake.notify_all();
        p.done.notify_all();
        thread = std::move(p.thread);
    }
    if (thread.joinable()) {
        thread.join();
    }
    std::lock_guard lock(p.mutex);
    p.device.Close();
    p.state = 0;
    p.reason = "";
    p.bytes = nullptr;
    p.finished = p.requested;
    p.quit = false;
}

std::vector<RecordedSound> TakeRecordedSounds() {
    Player& p = ThePlayer();
    std::lock_guard lock(p.mutex);
    return std::exchange(p.recorded, {});
}

void SetSoundRecorder(std::function<void(const std::uint8_t*, std::size_t, int)> recorder) {
    Player& p = ThePlayer();
    std::lock_guard lock(p.mutex);
    p.recorder = std::move(recorder);
}

}  // namespace mirexa
