// The sound effects: where the files are found, when they load, what plays and who waits; and the
// environment lines and the other-windows list.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <vector>

#include "platform/backend.h"
#include "platform/default_viewer.h"
#include "platform/sound.h"
#include "services/shared_state.h"
#include "shell/environment_info.h"
#include "shell/main_window.h"
#include "shell/sound_effects.h"
#include "support/scratch_directory.h"
#include "support/test_windows.h"

namespace mirexa {
namespace {

namespace fs = std::filesystem;

struct Played {
    std::string bytes;
    int flags = 0;
};

class SoundEffectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = fs::current_path();
        scratch.MakeDirectory("run");
        fs::current_path(scratch.At("run"));
        FreeSoundEffects();
        SoundEffects = {};
        AutomaticMode.store(0);  // a user is there: listed windows open in the viewer
        SetSoundRecorder([this](const std::uint8_t* bytes, std::size_t size, int flags) {
            played.push_back({std::string(reinterpret_cast<const char*>(bytes), size), flags});
        });
    }
    void TearDown() override {
        FreeSoundEffects();
        SetSoundRecorder({});
        fs::current_path(previous_);
    }
    std::string ProgramDirectory() const {
        return scratch.At("prog") + "/";
    }
    testing::ScratchDirectory scratch;
    std::vector<Played> played;

private:
    fs::path previous_;
};

TEST_F(SoundEffectsTest, FilesAreFoundInTheirLookupOrder) {
    // Where copies of "pi.wav" stand, and the copy that must be taken.
    const struct {
        std::vector<const char*> places;
        const char* taken;
    } cases[] = {
        {{"run/wav/pi.wav", "run/pi.wav", "prog/wav/pi.wav", "prog/pi.wav"}, "run/wav/pi.wav"},
        {{"run/pi.wav", "prog/wav/pi.wav", "prog/pi.wav"}, "run/pi.wav"},
        {{"prog/wav/pi.wav", "prog/pi.wav"}, "prog/wav/pi.wav"},
        {{"prog/pi.wav"}, "prog/pi.wav"},
        {{}, ""},
    };
    for (const auto& c : cases) {
        fs::remove_all(scratch.At("run/wav"));
        fs::remove_all(scratch.At("prog"));
        fs::remove(scratch.At("run/pi.wav"));
        for (const char* place : c.places) {
            scratch.Write(place, place);
        }
        std::vector<std::uint8_t> clip = {9};
        EXPECT_EQ(LoadWaveFile(&clip, "pi.wav", ProgramDirectory()), *c.taken ? 1 : 0);
        EXPECT_EQ(std::string(clip.begin(), clip.end()), c.taken);
    }
}

TEST_F(SoundEffectsTest, LoadsOnlyWhenOnAndOnlyOnce) {
    scratch.Write("run/wav/workset.wav", "first");
    LoadSoundEffects(0, ProgramDirectory());
    EXPECT_EQ(SoundEffects.loaded, 0);
    PlaySoundEffect(SoundEffect::WorkSet);
    EXPECT_TRUE(played.empty());

    LoadSoundEffects(1, ProgramDirectory());
    scratch.Write("run/wav/workset.wav", "second");
    LoadSoundEffects(1, ProgramDirectory());  // switched on again: nothing reloads
    PlaySoundEffect(SoundEffect::WorkSet);
    PlaySoundEffect(SoundEffect::Pi);  // missing file: silent
    StopSoundEffect();
    ASSERT_EQ(played.size(), 2u);
    EXPECT_EQ(played[0].bytes, "first");
    EXPECT_EQ(played[0].flags, SOUND_MEMORY | SOUND_ASYNC);
    EXPECT_EQ(played[1].bytes, "");  // the stop

    FreeSoundEffects();
    EXPECT_EQ(SoundEffects.loaded, 0);
    EXPECT_TRUE(SoundEffects.clips[19].empty());
}

TEST_F(SoundEffectsTest, TheUserInterfaceThreadNeverWaitsForASound) {
    scratch.Write("run/wav/toolchg.wav", "tool");
    LoadSoundEffects(1, ProgramDirectory());
    StartPlatformBackend(PlatformBackend::Headless);
    MainWindowData.handles.main = testing::MakeTestWindow(nullptr, "MIREXA7", nullptr, {});
    PlaySoundEffect(SoundEffect::ToolChange, 1);
    std::thread([] { PlaySoundEffect(SoundEffect::ToolChange, 1); }).join();
    PlayAlarmTone(1);
    DestroyPlatformWindow(MainWindowData.handles.main);
    MainWindowData.handles.main = nullptr;
    ASSERT_EQ(played.size(), 3u);
    EXPECT_EQ(played[0].flags, SOUND_MEMORY | SOUND_ASYNC);
    EXPECT_EQ(played[1].flags, SOUND_MEMORY | SOUND_SYNC);  // a worker waits when it asks
    // The alarm tone is a WAV file of its own.
    WaveFormat format;
    const auto& tone = played[2].bytes;
    EXPECT_EQ(
        ReadWaveFormat(reinterpret_cast<const std::uint8_t*>(tone.data()), tone.size(), &format),
        1);
}

TEST_F(SoundEffectsTest, OtherWindowsAreListedWithoutTheProgramsOwn) {
    StartPlatformBackend(PlatformBackend::Headless);
    WindowHandle own = testing::MakeTestWindow(nullptr, "MIREXA7", nullptr, {});
    WindowHandle other = testing::MakeTestWindow(nullptr, "Tool \"A\"", nullptr, {});
    testing::MakeTestWindow(nullptr, "child", other, {});
    TakeRecordedViewerOpens();
    EXPECT_EQ(ListOtherWindows(own, 0), 1);
    EXPECT_FALSE(fs::exists("otherwin.txt"));
    EXPECT_EQ(ListOtherWindows(own, 1), 1);
    EXPECT_EQ(testing::ReadWholeFile("otherwin.txt"),
              "\"Tool \"A\"\"" + GetWindowClassName(other) + "\n");
    EXPECT_EQ(TakeRecordedViewerOpens(), std::vector<std::string>{"otherwin.txt"});
    DestroyPlatformWindow(other);
    DestroyPlatformWindow(own);

    EnvironmentInfo info;
    info.processors = {8, "Test CPU"};
    info.memory.physicalTotal = 16 * 1024 * 1024;
    const std::vector<std::string> lines = DescribeEnvironment(info);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[2].substr(lines[2].find(": ") + 2), "8 x Test CPU");
    EXPECT_NE(lines[3].find("0 MB / 16,384 MB"), std::string::npos);
    EXPECT_EQ(lines[8], ChooseLanguageText("OpenGL version: -", "OpenGL バージョン: -"));
}

}  // namespace
}  // namespace mirexa
