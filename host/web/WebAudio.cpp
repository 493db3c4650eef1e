#include "host/web/WebAudio.h"

#include <emscripten.h>

// clang-format off
// Turns PCM samples into an AudioBuffer; its number above 0, or 0 without Web Audio.
EM_JS( int, WebAudioLoad, ( const uint8_t *samples, int sampleBytes, int channels, int rate, int bits ), {
    if ( !Module.keltoAudio ) {
        var Context = window.AudioContext || window.webkitAudioContext;
        if ( !Context ) return 0;
        Module.keltoAudio = { context: new Context(), buffers: [], voices: [] };
    }
    var audio = Module.keltoAudio;
    var frames = sampleBytes / ( channels * bits / 8 );
    var buffer = audio.context.createBuffer( channels, frames, rate );
    for ( var c = 0; c < channels; c++ ) {
        var out = buffer.getChannelData( c );
        for ( var i = 0; i < frames; i++ ) {
            var at = samples + ( i * channels + c ) * bits / 8;
            out[i] = bits == 16 ? HEAP16[at >> 1] / 32768 : ( HEAPU8[at] - 128 ) / 128;
        }
    }
    audio.buffers.push( buffer );
    return audio.buffers.length;
} );

// Plays a buffer through its own gain and panner; 1, or 0 when dropped (no audio yet, or
// every voice busy).
EM_JS( int, WebAudioStart, ( int sound, int pan, int volume, int loop, int id, int voices ), {
    var audio = Module.keltoAudio;
    if ( !audio || audio.context.state != 'running' ) return 0;
    var live = audio.voices.filter( function( v ) { return !v.ended; } );
    if ( live.length >= voices ) return 0;
    var source = audio.context.createBufferSource();
    source.buffer = audio.buffers[sound - 1];
    source.loop = loop != 0;
    var gain = audio.context.createGain();
    gain.gain.value = volume / 100;
    var panner = audio.context.createStereoPanner();
    panner.pan.value = pan / 100;
    source.connect( gain ).connect( panner ).connect( audio.context.destination );
    var entry = { id: id, source: source, ended: false };
    source.onended = function() { entry.ended = true; };
    audio.voices = live.concat( [ entry ] );
    audio.started = ( audio.started || 0 ) + 1;
    source.start();
    return 1;
} );

EM_JS( void, WebAudioStop, ( int id ), {
    var audio = Module.keltoAudio;
    if ( !audio ) return;
    audio.voices.forEach( function( v ) {
        if ( v.id == id && !v.ended ) { v.ended = true; v.source.stop(); }
    } );
} );
// clang-format on

WebAudio::WebAudio() : sounds( 0 ), started( 0 ) {
}

WebAudio::~WebAudio() {
}

int WebAudio::Load( const uint8_t *bytes, size_t size ) {
    WavPcm pcm;
    // The page reads 16-bit samples as 16-bit words, which must start on an even address.
    if ( !WebParseWav( bytes, size, pcm ) ||
         ( pcm.bitsPerSample == 16 && ( uintptr_t( pcm.samples ) & 1 ) ) ) {
        return 0;
    }
    const int loaded =
        WebAudioLoad( pcm.samples, int( pcm.sampleBytes ), pcm.channels, pcm.sampleRate, pcm.bitsPerSample );
    if ( loaded > 0 ) {
        sounds = loaded;
    }
    return loaded;
}

int WebAudio::Start( int sound, int pan, int volume, int loop ) {
    if ( sound <= 0 || sound > sounds ) {
        return 0;
    }
    const int voice = ++started;
    return WebAudioStart( sound, pan, volume, loop, voice, VOICES ) ? voice : 0;
}

void WebAudio::Stop( int voice ) {
    WebAudioStop( voice );
}
