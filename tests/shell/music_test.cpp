// The shell with a music track, loose and in an archive: it starts after the window shows.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/app_state.h"
#include "app/shell.h"
#include "audio/loop_mixer.h"
#include "audio/music_stream.h"
#include "audio/stream_player.h"
#include "kit/archive/lcc_writer.h"
#include "shell_fixture.h"
#include "test_files.h"

namespace {

bool playing_at_show = true;
std::vector<int> playing_at_frames;
std::vector<int32_t> positions;

std::vector<LccMember> show_audio() {
    const Bytes loop = make_wav(std::vector<int16_t>(2 * 4410, 1000));
    return {{"data/audio/velandora.ogg",
             make_vorbis(2, 44100, 44100, [](int, int frame) { return 0.3f * std::sin(frame * 0.05f); }), -1},
            {"data/audio/loop_idle.wav", loop, -1},
            {"data/audio/loop_active.wav", loop, -1}};
}

// Runs the shell for five frames over the show in the working directory.
void expect_music_started_after_the_show_command() {
    ShellPlatform platform = system_platform();
    platform.show_window = [](PlatformWindow* window, int32_t show_command) {
        playing_at_show = app_state.music && app_state.music->playing;
        platformShowWindow(window, show_command);
    };
    platform.sleep = [](uint32_t milliseconds) {
        playing_at_frames.push_back(app_state.music ? app_state.music->playing : -1);
        positions.push_back(player_position());
        platformSleep(milliseconds);
        if (playing_at_frames.size() == 5) platformPostQuit(0);
    };
    EXPECT_EQ(win_main(platform), 0);
    ASSERT_NE(app_state.music, nullptr);
    EXPECT_NE(app_state.music->source, nullptr);
    EXPECT_FALSE(playing_at_show);
    EXPECT_EQ(playing_at_frames, std::vector<int>(5, 1));
    for (size_t i = 1; i < positions.size(); ++i) EXPECT_GE(positions[i], positions[i - 1]);  // never back
    ASSERT_NE(app_state.mixer, nullptr);
    EXPECT_EQ(app_state.mixer->count, 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(app_state.mixer->slots[i].frames, 4410u);
        EXPECT_EQ(app_state.mixer->slots[i].target_volume.load(), 0.0f);
    }
}

}  // namespace

TEST(ShellMusic, StartsOnceTheWindowIsShown) {
    ShowDirectory directory;
    for (const LccMember& member : show_audio()) write_file(member.name, member.data);
    expect_music_started_after_the_show_command();
}

TEST(ShellMusic, ArchivesAreMountedBeforeTheAudioIsOpened) {
    ShowDirectory directory;
    LccArchiveLayout layout;
    layout.name = "show";
    layout.memberMethod = 2;
    write_file("show.lcc", buildLccArchive(layout, show_audio()));
    expect_music_started_after_the_show_command();
}
