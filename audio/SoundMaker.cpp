#include "audio/SoundMaker.h"

#include "host/HostFile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

// Everything is low-passed and peaks well below full scale: short, round, never shrill. The
// loops (flight, engine, barrel) hold a whole number of every period they contain and are cut
// from a second pass of their filters, so they repeat without a click.

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

typedef std::vector<double> Wave;

// A fixed-seed xorshift: the same noise on every machine, unlike the C library's rand().
class Noise {
public:
    explicit Noise( uint32_t seed ) : state( seed ) {}
    double Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return double( state ) / 2147483648.0 - 1.0;
    }

private:
    uint32_t state;
};

// A one-pole low-pass whose corner may move from sample to sample.
class LowPass {
public:
    double Step( double input, double cornerHz ) {
        const double a = 1.0 - std::exp( -2.0 * kPi * cornerHz / kRate );
        value += a * ( input - value );
        return value;
    }

private:
    double value = 0.0;
};

// A sine whose frequency may move from sample to sample; the phase is carried, so a sweep
// never jumps.
class Oscillator {
public:
    double Step( double hz ) {
        const double out = std::sin( phase );
        phase += 2.0 * kPi * hz / kRate;
        if ( phase > 2.0 * kPi ) {
            phase -= 2.0 * kPi;
        }
        return out;
    }
    // A soft pulse: the first odd harmonics, each at 1/n^2, so it buzzes without a hard edge.
    double StepPulse( double hz ) {
        const double out = std::sin( phase ) + std::sin( 3.0 * phase ) / 9.0 + std::sin( 5.0 * phase ) / 25.0;
        phase += 2.0 * kPi * hz / kRate;
        if ( phase > 2.0 * kPi ) {
            phase -= 2.0 * kPi;
        }
        return out;
    }

private:
    double phase = 0.0;
};

int Samples( double seconds ) {
    return int( std::lround( seconds * kRate ) );
}

// Rises in `attack` seconds and dies away with time constant `decay`.
double Envelope( double t, double attack, double decay ) {
    const double rise = attack > 0.0 ? std::min( 1.0, t / attack ) : 1.0;
    return rise * std::exp( -t / decay );
}

// Fills `seconds` of sound from `sample( t )`. A loop is rendered twice and the second pass
// kept, so that its filters have settled into the state the loop ends with and it joins up.
Wave Render( double seconds, int loop, const std::function<double( double t )> &sample ) {
    Wave wave( Samples( seconds ) );
    for ( int pass = 0; pass < ( loop ? 2 : 1 ); ++pass ) {
        for ( size_t i = 0; i < wave.size(); ++i ) {
            wave[i] = sample( double( i ) / kRate );
        }
    }
    return wave;
}

// Scales to the given peak and fades the last few milliseconds of a one-shot sound to zero.
void Finish( Wave &wave, double peak, int fadeOut ) {
    double highest = 0.0;
    for ( double sample : wave ) {
        highest = std::max( highest, std::fabs( sample ) );
    }
    const double gain = highest > 0.0 ? peak / highest : 0.0;
    const int n = int( wave.size() );
    const int fade = fadeOut ? std::min( n, Samples( 0.01 ) ) : 0;
    for ( int i = 0; i < n; ++i ) {
        const double edge = i >= n - fade ? double( n - i ) / fade : 1.0;
        wave[i] *= gain * edge;
    }
}

// A gun's report, heavier with `weight` (0 to 1): a lower, longer boom under a darker crack.
Wave MakeShot( double weight ) {
    Noise noise( 1001u + uint32_t( weight * 100.0 ) );
    LowPass crack1, crack2, body;
    Oscillator boom;
    Wave wave = Render( 0.35 + 0.35 * weight, 0, [&]( double t ) {
        const double corner = 250.0 + ( 3200.0 - 1800.0 * weight ) * std::exp( -t / 0.04 );
        const double n = crack2.Step( crack1.Step( noise.Next(), corner ), corner );
        const double crack = 1.6 * n * Envelope( t, 0.001, 0.04 + 0.08 * weight );
        const double boomHz = 45.0 + ( 130.0 - 50.0 * weight ) * std::exp( -t / 0.05 );
        const double thump =
            ( 0.5 + 0.5 * weight ) * boom.Step( boomHz ) * Envelope( t, 0.003, 0.07 + 0.12 * weight );
        return body.Step( crack + thump, 2500.0 );
    } );
    Finish( wave, 0.5 + 0.25 * weight, 1 );
    return wave;
}

// The shell's whistle as a one-second loop: a soft 700 Hz tone with a 5 Hz vibrato and a
// breath of air noise. 700 cycles and 5 vibrato cycles fit the second exactly.
Wave MakeFlight() {
    Noise noise( 2002u );
    LowPass airLow, airLow2, airHigh;
    Oscillator tone;
    Wave wave = Render( 1.0, 1, [&]( double t ) {
        const double hz = 700.0 + 25.0 * std::sin( 2.0 * kPi * 5.0 * t );
        const double n = noise.Next();
        const double band = airLow2.Step( airLow.Step( n, 1600.0 ), 1600.0 ) - airHigh.Step( n, 700.0 );
        return 0.8 * tone.Step( hz ) + 0.9 * band;
    } );
    Finish( wave, 0.3, 0 );
    return wave;
}

// A rolling blast: noise whose brightness falls quickly away, a deep falling boom and a few
// late crackles of debris.
Wave MakeExplosion() {
    Noise noise( 3003u );
    Noise sparks( 3004u );
    LowPass rumble1, rumble2, crackle1, crackle2, body;
    Oscillator boom;
    Wave wave = Render( 1.4, 0, [&]( double t ) {
        const double corner = 180.0 + 2600.0 * std::exp( -t / 0.12 );
        const double n = rumble2.Step( rumble1.Step( noise.Next(), corner ), corner );
        const double blast = 2.2 * n * Envelope( t, 0.003, 0.42 );
        const double low = 0.9 * boom.Step( 28.0 + 70.0 * std::exp( -t / 0.15 ) ) * Envelope( t, 0.005, 0.3 );
        const double spark = sparks.Next();
        const double debris = std::fabs( spark ) > 0.9985 && t > 0.15 ? spark * std::exp( -t / 0.5 ) : 0.0;
        const double crackle = crackle2.Step( crackle1.Step( debris * 12.0, 1000.0 ), 1000.0 );
        return body.Step( blast + low + crackle, 3000.0 );
    } );
    Finish( wave, 0.8, 1 );
    return wave;
}

// A tank going up: a sharp crack, a longer and deeper blast than a bomb's, and metal ringing
// down as the wreck settles.
Wave MakeDestroyed() {
    Noise noise( 3005u );
    LowPass rumble1, rumble2, body;
    Oscillator boom, ring;
    Wave wave = Render( 2.2, 0, [&]( double t ) {
        const double corner = 120.0 + 3400.0 * std::exp( -t / 0.08 );
        const double n = rumble2.Step( rumble1.Step( noise.Next(), corner ), corner );
        const double blast = 2.6 * n * Envelope( t, 0.002, 0.7 );
        const double low = 1.0 * boom.Step( 22.0 + 50.0 * std::exp( -t / 0.25 ) ) * Envelope( t, 0.004, 0.6 );
        const double metal =
            0.12 * ring.Step( 410.0 - 120.0 * t ) * Envelope( t - 0.1 > 0.0 ? t - 0.1 : 0.0, 0.01, 0.5 );
        return body.Step( blast + low + metal, 2600.0 );
    } );
    Finish( wave, 0.9, 1 );
    return wave;
}

// A half-second engine loop: a 44 Hz pulse through a low-pass with some exhaust noise, its
// loudness throbbing 8 times a second. 22 cycles and 4 throbs fit the half second exactly.
Wave MakeEngine() {
    Noise noise( 4004u );
    LowPass motor, exhaust1, exhaust2;
    Oscillator pulse;
    Wave wave = Render( 0.5, 1, [&]( double t ) {
        const double throb = 1.0 + 0.3 * std::sin( 2.0 * kPi * 8.0 * t );
        const double exhaust = exhaust2.Step( exhaust1.Step( noise.Next(), 300.0 ), 300.0 );
        return throb * ( motor.Step( pulse.StepPulse( 44.0 ), 420.0 ) + 0.9 * exhaust );
    } );
    Finish( wave, 0.35, 0 );
    return wave;
}

// The barrel's gear as a 0.2 s loop: a low servo hum with three ratchet ticks. 36 hum cycles
// and 3 ticks fit the loop exactly.
Wave MakeBarrel() {
    const double tickEvery = 0.2 / 3.0;
    Noise noise( 5005u );
    LowPass hum, tick;
    Oscillator servo;
    Wave wave = Render( 0.2, 1, [&]( double t ) {
        const double click = noise.Next() * std::exp( -std::fmod( t, tickEvery ) / 0.004 );
        return 0.6 * hum.Step( servo.StepPulse( 180.0 ), 900.0 ) + tick.Step( click, 2000.0 );
    } );
    Finish( wave, 0.2, 0 );
    return wave;
}

// A tank landing: a short dull thud of falling sine and a puff of dark noise.
Wave MakeLanding() {
    Noise noise( 6006u );
    LowPass dust;
    Oscillator thud;
    Wave wave = Render( 0.3, 0, [&]( double t ) {
        const double low = thud.Step( 45.0 + 70.0 * std::exp( -t / 0.03 ) ) * Envelope( t, 0.002, 0.07 );
        return low + 1.5 * dust.Step( noise.Next(), 600.0 ) * Envelope( t, 0.001, 0.03 );
    } );
    Finish( wave, 0.7, 1 );
    return wave;
}

// A shell striking armour: a clang of inharmonic partials, the higher ones dying first.
Wave MakeHit() {
    Noise noise( 7007u );
    LowPass strike, body;
    const double partials[4] = { 310.0, 757.0, 1213.0, 1660.0 };
    const double decays[4] = { 0.25, 0.15, 0.09, 0.06 };
    Oscillator ring[4];
    Wave wave = Render( 0.7, 0, [&]( double t ) {
        double sum = 0.0;
        for ( int p = 0; p < 4; ++p ) {
            sum += ring[p].Step( partials[p] ) * Envelope( t, 0.001, decays[p] ) / ( 1.0 + p );
        }
        sum += strike.Step( noise.Next(), 2000.0 ) * Envelope( t, 0.0005, 0.01 );
        return body.Step( sum, 2500.0 );
    } );
    Finish( wave, 0.6, 1 );
    return wave;
}

// The winner's fanfare: C, E, G and a held high C in a soft pulse voice.
Wave MakeWinner() {
    const double notes[4] = { 261.63, 329.63, 392.0, 523.25 };
    const double starts[4] = { 0.0, 0.16, 0.32, 0.48 };
    LowPass tone;
    Oscillator voices[4];
    Wave wave = Render( 1.6, 0, [&]( double t ) {
        double sum = 0.0;
        for ( int n = 0; n < 4; ++n ) {
            const double since = t - starts[n];
            if ( since < 0.0 ) {
                continue;
            }
            const double hold = n == 3 ? 0.5 : 0.1;
            sum += voices[n].StepPulse( notes[n] ) * Envelope( since, 0.01, hold );
        }
        return tone.Step( sum, 1800.0 );
    } );
    Finish( wave, 0.5, 1 );
    return wave;
}

void PutLittleEndian( std::vector<uint8_t> &out, uint32_t value, int bytes ) {
    for ( int i = 0; i < bytes; ++i ) {
        out.push_back( uint8_t( value >> ( 8 * i ) ) );
    }
}

std::vector<uint8_t> EncodeWav( const Wave &wave ) {
    const uint32_t dataBytes = uint32_t( wave.size() * 2 );
    std::vector<uint8_t> out;
    const char *riff = "RIFF";
    out.insert( out.end(), riff, riff + 4 );
    PutLittleEndian( out, 36 + dataBytes, 4 );
    const char *format = "WAVEfmt ";
    out.insert( out.end(), format, format + 8 );
    PutLittleEndian( out, 16, 4 );        // format chunk size
    PutLittleEndian( out, 1, 2 );         // PCM
    PutLittleEndian( out, 1, 2 );         // mono
    PutLittleEndian( out, kRate, 4 );     // samples per second
    PutLittleEndian( out, kRate * 2, 4 ); // bytes per second
    PutLittleEndian( out, 2, 2 );         // bytes per sample frame
    PutLittleEndian( out, 16, 2 );        // bits per sample
    const char *data = "data";
    out.insert( out.end(), data, data + 4 );
    PutLittleEndian( out, dataBytes, 4 );
    for ( double sample : wave ) {
        const long value = std::lround( std::clamp( sample, -1.0, 1.0 ) * 32767.0 );
        PutLittleEndian( out, uint32_t( int16_t( value ) ) & 0xFFFFu, 2 );
    }
    return out;
}

// The heavy shell: the explosion's blast, longer and darker, over a boom an octave lower.
Wave MakeHeavy() {
    Noise noise( 8008u );
    LowPass rumble1, rumble2, body;
    Oscillator boom;
    Wave wave = Render( 2.0, 0, [&]( double t ) {
        const double corner = 120.0 + 1500.0 * std::exp( -t / 0.2 );
        const double n = rumble2.Step( rumble1.Step( noise.Next(), corner ), corner );
        const double blast = 2.4 * n * Envelope( t, 0.004, 0.65 );
        const double low = 1.2 * boom.Step( 18.0 + 45.0 * std::exp( -t / 0.25 ) ) * Envelope( t, 0.006, 0.5 );
        return body.Step( blast + low, 2000.0 );
    } );
    Finish( wave, 0.85, 1 );
    return wave;
}

// The cluster breaking open: a sharp pop and a rattle of five small clicks spreading out.
Wave MakeCluster() {
    Noise noise( 9009u );
    LowPass pop, rattle, body;
    Wave wave = Render( 0.5, 0, [&]( double t ) {
        const double n = noise.Next();
        double clicks = 0.0;
        for ( int i = 0; i < 5; ++i ) {
            const double at = 0.04 + 0.05 * i;
            clicks += t >= at ? std::exp( -( t - at ) / 0.006 ) : 0.0;
        }
        const double snap = pop.Step( n, 2400.0 ) * Envelope( t, 0.0005, 0.02 );
        return body.Step( 1.5 * snap + rattle.Step( n * clicks, 1800.0 ), 3000.0 );
    } );
    Finish( wave, 0.6, 1 );
    return wave;
}

// The digger: a grinding buzz that sinks in pitch as it bores, ending in a muffled thump.
Wave MakeDigger() {
    Noise noise( 10010u );
    LowPass grind, thump, body;
    Oscillator drill, boom;
    Wave wave = Render( 0.9, 0, [&]( double t ) {
        const double buzz =
            drill.StepPulse( 140.0 - 70.0 * t ) * ( t < 0.6 ? 1.0 : std::exp( -( t - 0.6 ) / 0.03 ) );
        const double grit = grind.Step( noise.Next(), 900.0 ) * ( t < 0.6 ? 0.8 : 0.0 );
        const double end = t >= 0.55 ? boom.Step( 40.0 ) * Envelope( t - 0.55, 0.004, 0.1 ) : 0.0;
        return body.Step( 0.5 * buzz + grit + thump.Step( 1.4 * end, 400.0 ) * 3.0, 1800.0 );
    } );
    Finish( wave, 0.6, 1 );
    return wave;
}

// The dirt bomb: a soft whump and the hiss of earth pattering down.
Wave MakeDirt() {
    Noise noise( 11011u );
    LowPass whump, patter1, patter2;
    Oscillator low;
    Wave wave = Render( 1.0, 0, [&]( double t ) {
        const double thud = low.Step( 55.0 + 40.0 * std::exp( -t / 0.05 ) ) * Envelope( t, 0.004, 0.09 );
        const double n = patter2.Step( patter1.Step( noise.Next(), 1200.0 ), 1200.0 );
        const double fall = 1.8 * n * Envelope( t - 0.05, 0.08, 0.3 ) * ( t > 0.05 ? 1.0 : 0.0 );
        return whump.Step( thud, 500.0 ) * 2.0 + fall;
    } );
    Finish( wave, 0.6, 1 );
    return wave;
}

Wave MakeWave( SoundName name ) {
    switch ( name ) {
    case SOUND_SHOT_LIGHT:
        return MakeShot( 0.0 );
    case SOUND_SHOT_MEDIUM:
        return MakeShot( 0.5 );
    case SOUND_SHOT_HEAVY:
        return MakeShot( 1.0 );
    case SOUND_FLIGHT:
        return MakeFlight();
    case SOUND_EXPLOSION:
        return MakeExplosion();
    case SOUND_ENGINE:
        return MakeEngine();
    case SOUND_BARREL:
        return MakeBarrel();
    case SOUND_LANDING:
        return MakeLanding();
    case SOUND_HIT:
        return MakeHit();
    case SOUND_WINNER:
        return MakeWinner();
    case SOUND_DESTROYED:
        return MakeDestroyed();
    case SOUND_HEAVY:
        return MakeHeavy();
    case SOUND_CLUSTER:
        return MakeCluster();
    case SOUND_DIGGER:
        return MakeDigger();
    case SOUND_DIRT:
        return MakeDirt();
    default:
        return Wave();
    }
}

} // namespace

SoundMaker::SoundMaker() : seconds( 0.0 ) {
}

SoundMaker::~SoundMaker() {
}

int SoundMaker::Make( SoundName name ) {
    wav.clear();
    seconds = 0.0;
    const Wave wave = MakeWave( name );
    if ( wave.empty() ) {
        return 0;
    }
    wav = EncodeWav( wave );
    seconds = double( wave.size() ) / kRate;
    return 1;
}

int SoundMaker::WriteFile( const std::string &path ) const {
    if ( wav.empty() ) {
        return 0;
    }
    HostFile *file = HostFileCreate( path.c_str(), 0 );
    if ( file == nullptr ) {
        return 0;
    }
    const int written =
        HostFileTruncate( file, 0 ) && HostFileWrite( file, wav.data(), int64_t( wav.size() ) );
    HostFileClose( file );
    return written;
}
