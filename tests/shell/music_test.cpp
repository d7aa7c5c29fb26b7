// The shell with a music track: the music starts once the window is shown,
// and the loops are loaded with their targets at 0 before anything plays.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/app_state.h"
#include "app/shell.h"
#include "audio/loop_mixer.h"
#include "audio/music_stream.h"
#include "audio/stream_player.h"
#include "kit/archive/lcc_writer.h"
#include "show_directory.h"
#include "test_files.h"

namespace {

bool playing_at_show = true;
std::vector<int> playing_at_frames;
std::vector<int32_t> positions;

void check_show(PlatformWindow* window, int32_t show_command) {
    playing_at_show = app_state.music && app_state.music->playing;
    platformShowWindow(window, show_command);
}

void check_sleep(uint32_t milliseconds) {
    playing_at_frames.push_back(app_state.music ? app_state.music->playing : -1);
    positions.push_back(player_position());
    platformSleep(milliseconds);
    if (playing_at_frames.size() == 5) platformPostQuit(0);
}

Bytes track() {
    const int rate = 44100;
    return make_vorbis(2, rate, rate, [](int, int frame) { return 0.3f * std::sin(frame * 0.05f); });
}

Bytes loop_file() { return make_wav(std::vector<int16_t>(2 * 4410, 1000)); }

void write_show_audio() {
    write_file("data/audio/velandora.ogg", track());
    write_file("data/audio/loop_idle.wav", loop_file());
    write_file("data/audio/loop_active.wav", loop_file());
}

class ShellMusic : public ::testing::Test {
protected:
    void SetUp() override {
        playing_at_show = true;
        playing_at_frames.clear();
        positions.clear();
    }
};

}  // namespace

TEST_F(ShellMusic, StartsOnceTheWindowIsShown) {
    ShowDirectory directory;
    write_show_audio();
    ShellPlatform platform = system_platform();
    platform.show_window = check_show;
    platform.sleep = check_sleep;
    EXPECT_EQ(win_main(platform), 0);

    ASSERT_NE(app_state.music, nullptr);
    EXPECT_NE(app_state.music->source, nullptr);
    EXPECT_FALSE(playing_at_show);
    ASSERT_EQ(playing_at_frames.size(), 5u);
    for (int playing : playing_at_frames) EXPECT_EQ(playing, 1);
    // The clock never runs backwards.
    for (size_t i = 1; i < positions.size(); ++i) EXPECT_GE(positions[i], positions[i - 1]);

    ASSERT_NE(app_state.mixer, nullptr);
    EXPECT_EQ(app_state.mixer->count, 2u);
    EXPECT_EQ(app_state.mixer->slots[0].frames, 4410u);
    EXPECT_EQ(app_state.mixer->slots[1].frames, 4410u);
    EXPECT_EQ(app_state.mixer->slots[0].target_volume.load(), 0.0f);
    EXPECT_EQ(app_state.mixer->slots[1].target_volume.load(), 0.0f);
}

TEST_F(ShellMusic, ArchivesAreMountedBeforeTheAudioIsOpened) {
    ShowDirectory directory;
    LccArchiveLayout layout;
    layout.name = "show";
    layout.memberMethod = 2;
    const std::vector<LccMember> members = {
        {"data/audio/velandora.ogg", track(), -1},
        {"data/audio/loop_idle.wav", loop_file(), -1},
        {"data/audio/loop_active.wav", loop_file(), -1},
    };
    write_file("show.lcc", buildLccArchive(layout, members));

    ShellPlatform platform = system_platform();
    platform.sleep = check_sleep;
    EXPECT_EQ(win_main(platform), 0);
    ASSERT_NE(app_state.music, nullptr);
    EXPECT_NE(app_state.music->source, nullptr);
    ASSERT_EQ(playing_at_frames.size(), 5u);
    EXPECT_EQ(playing_at_frames[0], 1);
    ASSERT_NE(app_state.mixer, nullptr);
    EXPECT_EQ(app_state.mixer->slots[0].frames, 4410u);
    EXPECT_EQ(app_state.mixer->slots[1].frames, 4410u);
}
