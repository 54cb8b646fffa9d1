// The program's sound effects: twenty short WAV files loaded once into memory while sound is on,
// played from memory by the events that own them, freed at shutdown.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace mirexa {

// The effects by number, in the order of their files.
enum class SoundEffect : int {
    AirCut1 = 1,  // "aircut1.wav"
    Cutting1,     // "cutting1.wav"
    Grinder1,     // "grinder1.wav"
    Grinder2,     // "grinder2.wav"
    GrindOff,     // "grindoff.wav": release of measuring tool 1
    Hake,         // "hake.wav": painting the whole stock
    Hera1,        // "hera1.wav"
    Hera2,        // "hera2.wav": peeling the paint; second sound of painting
    HeraOku,      // "heraoku.wav": release of measuring tool 2
    KanOku,       // "kanoku.wav": release of measuring tool 3
    Paper,        // "paper.wav"
    PaperOku,     // "paperoku.wav": release of measuring tool 4
    Pi,           // "pi.wav": a path point picked
    Pokin,        // "pokin.wav": the alarm that follows an interference; set-ups
    ToolChange,   // "toolchg.wav": tools read, tool changed, first panel paint
    Press,        // "press.wav"
    Touch,        // "touch.wav"
    Welding,      // "welding.wav"
    WeldOku,      // "weldoku.wav": release of measuring tool 5
    WorkSet,      // "workset.wav": a stock set, definition files read
};
inline constexpr int kSoundEffectCount = 20;

// The file name of an effect (1 .. 20); "" for any other number.
const char* SoundEffectFileName(int effect);

// The loaded clips: index effect - 1, empty where no file was found.
struct SoundEffectTable {
    std::array<std::vector<std::uint8_t>, kSoundEffectCount> clips = {};
    int loaded = 0;
    // 1 once the device was found missing and said so in the log; no sound is tried after that.
    int deviceMissing = 0;
};
extern SoundEffectTable SoundEffects;

// Loads the twenty files when `soundOn` and nothing is loaded yet; sets the loaded flag first.
// A missing or unreadable file leaves its clip empty and is silent. Files are looked up, first
// that opens: "wav/" + name in the current directory, the bare name, programDirectory + "wav/"
// + name, programDirectory + name (programDirectory ends in "/" or is empty).
void LoadSoundEffects(int soundOn, const std::string& programDirectory);

// Reads one WAV file (at most 16 MiB) found by the lookup above into *clip; 1, or 0 with *clip
// empty.
int LoadWaveFile(std::vector<std::uint8_t>* clip, const char* name,
                 const std::string& programDirectory);

// Stops any sound, frees the clips and ends the player. Safe when nothing was loaded.
void FreeSoundEffects();

// Plays an effect when sound is on and its clip is loaded. `wait` asks to return when it has
// played; the user-interface thread never waits (its sound plays on while it goes on). The
// first play that finds no audio device writes one log line and sound stays silent after it.
void PlaySoundEffect(SoundEffect effect, int wait = 0);

// Plays the program's alarm while the effects are loaded: the short tone that stands for the
// system's error sound, built in memory (no file); waits as PlaySoundEffect does.
void PlayAlarmTone(int wait);

// Stops the sound that plays.
void StopSoundEffect();

// What the headless backend recorded since the last call, by name: the effect's file name,
// "alarm" for the alarm tone, "stop" for a stop, "?" for other sounds.
std::vector<std::string> TakeRecordedSoundEffects();

// The effects the program's events play: the sound numbers of the view and the stock commands
// mapped to effects.
SoundEffect ViewSoundEffect(int viewSound);
SoundEffect StockCommandSoundEffect(int stockSound);

}  // namespace mirexa
