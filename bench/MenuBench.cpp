#include "bench/BenchReference.h"
#include "gfx/Image.h"
#include "hud/HudColours.h"
#include "menus/HelpScreen.h"
#include "menus/MatchSetup.h"
#include "menus/PauseScreen.h"
#include "menus/SettingsScreen.h"
#include "menus/SetupScreen.h"
#include "menus/TitleScreen.h"
#include "settings/SettingsFile.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

// Each of the game's screens drawn over a finished 640 x 480 frame, as every frame with a
// menu up draws it. Next to them, in the same run, a memcpy of the 307,200-byte frame: a menu
// should cost no more than the player's view over play, at most half of that copy (x_memcpy,
// processor time against processor time, at most 0.5).

namespace {

const int FRAME_WIDTH = 640;
const int FRAME_HEIGHT = 480;
const int FRAME_BYTES = FRAME_WIDTH * FRAME_HEIGHT;

const HudColours &Colours() {
    static HudColours colours;
    static int found = 0;
    if ( !found ) {
        HostPaletteEntry palette[256];
        for ( int i = 0; i < 256; i++ ) {
            palette[i] = HostPaletteEntry{ uint8_t( i ), uint8_t( i * 3 ), uint8_t( 255 - i ), 0 };
        }
        colours.Find( palette );
        found = 1;
    }
    return colours;
}

const Settings &DefaultSettings() {
    static Settings settings;
    SettingsFile::SetDefaults( settings );
    return settings;
}

std::string NoName( int ) {
    return "X";
}

void BM_Memcpy_Frame( benchmark::State &state ) {
    std::vector<uint8_t> source( FRAME_BYTES, 3 ), target( FRAME_BYTES, 0 );
    for ( auto _ : state ) {
        std::memcpy( target.data(), source.data(), FRAME_BYTES );
        benchmark::DoNotOptimize( target.data() );
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed( int64_t( state.iterations() ) * FRAME_BYTES );
}

// Draws `screen` over a frame, again and again.
template <typename Screen> void DrawEachFrame( benchmark::State &state, const Screen &drawn ) {
    Image frame( FRAME_WIDTH, FRAME_HEIGHT );
    frame.Clear( 40 );
    BenchCpuTimer timer;
    timer.Start();
    for ( auto _ : state ) {
        drawn.Draw( frame, Colours() );
        benchmark::DoNotOptimize( frame.GetPixels() );
        benchmark::ClobberMemory();
    }
    timer.Report( state, FRAME_BYTES );
    state.SetBytesProcessed( int64_t( state.iterations() ) * FRAME_BYTES );
}

void BM_Menu_Title( benchmark::State &state ) {
    TitleScreen title;
    title.Build( 1, 1 );
    DrawEachFrame( state, title );
}

void BM_Menu_Pause( benchmark::State &state ) {
    PauseScreen pause;
    pause.Build( 1, 1 );
    DrawEachFrame( state, pause );
}

void BM_Menu_SetUp( benchmark::State &state ) {
    SetupScreen setup;
    setup.Build( MatchSetup() );
    DrawEachFrame( state, setup );
}

// The largest panel: every setting and binding.
void BM_Menu_Settings( benchmark::State &state ) {
    SettingsScreen settings;
    settings.Build( DefaultSettings(), NoName );
    DrawEachFrame( state, settings );
}

void BM_Menu_Help( benchmark::State &state ) {
    HelpScreen help;
    help.Build( DefaultSettings() );
    DrawEachFrame( state, help );
}

} // namespace

BENCHMARK( BM_Memcpy_Frame );
BENCHMARK( BM_Menu_Title );
BENCHMARK( BM_Menu_Pause );
BENCHMARK( BM_Menu_SetUp );
BENCHMARK( BM_Menu_Settings );
BENCHMARK( BM_Menu_Help );
