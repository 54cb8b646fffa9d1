// The sound-effect table: loading the twenty WAV files, playing them, and the alarm tone.
#include "shell/sound_effects.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/file_reading.h"
#include "platform/sound.h"
#include "platform/window.h"
#include "services/program_log.h"
#include "shell/main_window.h"
#include "shell/stock_commands.h"
#include "view/view_window.h"

namespace mirexa {

SoundEffectTable SoundEffects;

namespace {

constexpr const char* kFileNames[kSoundEffectCount] = {
    "aircut1.wav", "cutting1.wav", "grinder1.wav", "grinder2.wav", "grindoff.wav",
    "hake.wav",    "hera1.wav",    "hera2.wav",    "heraoku.wav",  "kanoku.wav",
    "paper.wav",   "paperoku.wav", "pi.wav",       "pokin.wav",    "toolchg.wav",
    "press.wav",   "touch.wav",    "welding.wav",  "weldoku.wav",  "workset.wav",
};

constexpr std::size_t kWaveFileLimit = 16u << 20;  // far above any effect; guards the memory

// The release sounds of the measuring tools 1 .. 5.
constexpr SoundEffect kReleaseEffects[5] = {SoundEffect::GrindOff, SoundEffect::HeraOku,
                                            SoundEffect::KanOku, SoundEffect::PaperOku,
                                            SoundEffect::WeldOku};

// A WAV file of a 880/660 Hz two-tone beep of 0.25 s, 22,050 Hz mono 16-bit, built once.
const std::vector<std::uint8_t>& AlarmToneClip() {
    static const std::vector<std::uint8_t> clip = [] {
        constexpr int rate = 22050;
        constexpr int samples = rate / 4;
        std::vector<std::uint8_t> wav(44 + samples * 2);
        auto put32 = [&](std::size_t at, std::uint32_t v) {
            for (int i = 0; i < 4; ++i) {
                wav[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
            }
        };
        auto put16 = [&](std::size_t at, std::uint16_t v) {
            wav[at] = static_cast<std::uint8_t>(v);
            wav[at + 1] = static_cast<std::uint8_t>(v >> 8);
        };
        std::memcpy(wav.data(), "RIFF", 4);
        put32(4, static_cast<std::uint32_t>(wav.size() - 8));
        std::memcpy(wav.data() + 8, "WAVEfmt ", 8);
        put32(16, 16);
        put16(20, 1);
        put16(22, 1);
        put32(24, rate);
        put32(28, rate * 2);
        put16(32, 2);
        put16(34, 16);
        std::memcpy(wav.data() + 36, "data", 4);
        put32(40, samples * 2);
        for (int i = 0; i < samples; ++i) {
            const double hz = i < samples / 2 ? 880.0 : 660.0;
            const double fade = std::min(1.0, (samples - i) / 400.0);
            const double v = 9000.0 * fade * std::sin(2.0 * M_PI * hz * i / rate);
            put16(44 + 2 * static_cast<std::size_t>(i),
                  static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v))));
        }
        return wav;
    }();
    return clip;
}

void PlayClip(const std::vector<std::uint8_t>& clip, int wait) {
    if (SoundEffects.deviceMissing || clip.empty()) {
        return;
    }
    // The user-interface thread never waits on the device: its sounds play on while it goes on.
    const WindowHandle main = MainWindowData.handles.main;
    if (wait && main != nullptr && IsWindowOfCallingThread(main)) {
        wait = 0;
    }
    const int flags = SOUND_MEMORY | (wait ? SOUND_SYNC : SOUND_ASYNC);
    if (PlayWaveMemory(clip.data(), clip.size(), flags) < 0) {
        SoundEffects.deviceMissing = 1;
        const char* reason = "";
        SoundOutputState(&reason);
        // Into the log even where no run keeps it open (a session in the window).
        AppendLogEntry("sound is off: no audio device (" + std::string(reason) + ")");
    }
}

}  // namespace

const char* SoundEffectFileName(int effect) {
    return effect >= 1 && effect <= kSoundEffectCount ? kFileNames[effect - 1] : "";
}

int LoadWaveFile(std::vector<std::uint8_t>* clip, const char* name,
                 const std::string& programDirectory) {
    clip->clear();
    const std::string base = name;
    const std::string candidates[] = {"wav/" + base, base, programDirectory + "wav/" + base,
                                      programDirectory + base};
    for (const std::string& path : candidates) {
        if (path.empty()) {
            continue;
        }
        std::string content;
        const int read = ReadWholeRegularFile(path, &content, kWaveFileLimit);
        if (read == 1) {
            clip->assign(content.begin(), content.end());
            return 1;
        }
    }
    return 0;
}

void LoadSoundEffects(int soundOn, const std::string& programDirectory) {
    if (!soundOn || SoundEffects.loaded) {
        return;
    }
    SoundEffects.loaded = 1;
    for (int i = 0; i < kSoundEffectCount; ++i) {
        LoadWaveFile(&SoundEffects.clips[i], kFileNames[i], programDirectory);
    }
}

void FreeSoundEffects() {
    StopWaveSound();
    ResetSoundOutput();
    SoundEffects.deviceMissing = 0;  // the device is tried again, as the output was reset
    if (!SoundEffects.loaded) {
        return;
    }
    for (auto& clip : SoundEffects.clips) {
        clip = {};
    }
    SoundEffects.loaded = 0;
}

void PlaySoundEffect(SoundEffect effect, int wait) {
    const int index = static_cast<int>(effect) - 1;
    if (!SoundEffects.loaded || index < 0 || index >= kSoundEffectCount) {
        return;
    }
    PlayClip(SoundEffects.clips[index], wait);
}

void PlayAlarmTone(int wait) {
    if (SoundEffects.loaded) {
        PlayClip(AlarmToneClip(), wait);
    }
}

void StopSoundEffect() {
    if (!SoundEffects.deviceMissing) {
        StopWaveSound();
    }
}

std::vector<std::string> TakeRecordedSoundEffects() {
    std::vector<std::string> names;
    for (const RecordedSound& sound : TakeRecordedSounds()) {
        std::string name = sound.bytes == nullptr ? "stop" : "?";
        if (sound.bytes == AlarmToneClip().data()) {
            name = "alarm";
        }
        for (int i = 0; i < kSoundEffectCount; ++i) {
            if (!SoundEffects.clips[i].empty() && sound.bytes == SoundEffects.clips[i].data()) {
                name = kFileNames[i];
            }
        }
        names.push_back(name);
    }
    return names;
}

SoundEffect ViewSoundEffect(int viewSound) {
    if (viewSound >= kViewSoundRelease && viewSound < kViewSoundRelease + 5) {
        return kReleaseEffects[viewSound - kViewSoundRelease];
    }
    return SoundEffect::Pi;
}

SoundEffect StockCommandSoundEffect(int stockSound) {
    switch (stockSound) {
        case kSoundPaint:
            return SoundEffect::Hake;
        case kSoundSetUp:
            return SoundEffect::Pokin;
        default:
            return SoundEffect::WorkSet;
    }
}

}  // namespace mirexa
