// Plays whole WAV files held in memory on the audio device, one at a time, from a player thread of
// its own, so that no caller waits on the device unless it asks to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace mirexa {

// Play flags. SOUND_ASYNC returns at once; without it the call returns when the sound has played
// (or was cut off by a later one). SOUND_MEMORY says the data is a whole WAV file in memory, the
// only form this layer plays; it is accepted for the callers' sake and changes nothing.
inline constexpr int SOUND_SYNC = 0;
inline constexpr int SOUND_ASYNC = 1;
inline constexpr int SOUND_MEMORY = 4;

// The sample layout of a PCM WAV file.
struct WaveFormat {
    int channels = 0;            // 1 .. 8
    int sampleRate = 0;          // samples per second per channel, 1,000 .. 384,000
    int bitsPerSample = 0;       // 8 or 16
    std::size_t dataOffset = 0;  // bytes from the start of the file to the first sample
    std::size_t dataBytes = 0;   // bytes of samples, within the file, whole frames only
};

// Reads the "fmt " and "data" chunks of a RIFF WAVE file of uncompressed 8- or 16-bit PCM.
// Every chunk size is checked against the bytes given; a "data" chunk that claims more than the
// file holds is cut to what it holds. Returns 1, or 0 for anything else (no RIFF, a compressed or
// odd format, no data) with *format untouched.
int ReadWaveFormat(const std::uint8_t* bytes, std::size_t size, WaveFormat* format);

// Plays the WAV file of `size` bytes at `bytes`, stopping the sound that plays. The bytes must
// stay valid until the sound has ended or was stopped (the caller keeps its clips loaded while
// sound is on). A null `bytes` stops the sound that plays. Returns 1 when the sound was handed
// to the device (or stopped), 0 when the data is no playable WAV file, -1 when there is no audio
// device (then nothing plays until `ResetSoundOutput`). Under the headless backend the play is
// recorded (TakeRecordedSounds) and 1 returned.
int PlayWaveMemory(const std::uint8_t* bytes, std::size_t size, int flags);

// Stops the sound that plays, at once. Same as PlayWaveMemory(nullptr, 0, 0).
void StopWaveSound();

// Whether the audio device could be opened: 1 yes, 0 not tried yet, -1 no device (the reason in
// *reason when given). Tries the device on the first call that needs it, not before.
int SoundOutputState(const char** reason = nullptr);

// Ends the player thread (waiting for it) and forgets the device state, so a later play tries
// the device again. Called at shutdown; safe to call when nothing played.
void ResetSoundOutput();

// What the headless backend did instead of playing: each play and stop in order (a stop has
// null bytes; the first 4,096 of a run), taken and emptied by TakeRecordedSounds. The backend
// plays nothing.
struct RecordedSound {
    const std::uint8_t* bytes = nullptr;
    std::size_t size = 0;
    int flags = 0;
};
std::vector<RecordedSound> TakeRecordedSounds();

// A recorder takes every play and stop instead of the device (tests, and runs that must make no
// sound): it sees the bytes, the size and the flags, and a stop as (nullptr, 0, 0). An empty
// function puts the device back.
void SetSoundRecorder(
    std::function<void(const std::uint8_t* bytes, std::size_t size, int flags)> recorder);

}  // namespace mirexa
