#ifndef KELTO_HOST_HOSTSOUND_H
#define KELTO_HOST_HOSTSOUND_H

// Sounds: loaded once from WAV files, then started on one of a few voices with a place
// between the left and right speakers and a loudness, and stopped again. Nothing here ever
// waits: a sound that cannot be loaded or has no free voice is dropped, and where there is no
// audio device every call succeeds at doing nothing.

const int HOST_PAN_LEFT = -100;
const int HOST_PAN_RIGHT = 100;
const int HOST_VOLUME_FULL = 100;

// Reads a WAV file (memory files included); a sound number above 0, or 0 when the file is
// missing or broken or there is no sound at all.
int HostLoadSound( const char *fileName );

// Starts `sound` at `pan` (HOST_PAN_LEFT to HOST_PAN_RIGHT, 0 the middle) and `volume` (0 to
// HOST_VOLUME_FULL), once or looping until stopped. A voice number above 0, or 0 when the
// sound was dropped.
int HostStartSound( int sound, int pan, int volume, int loop );

// Stops the voice if it is still playing what it was started with; a voice that has
// finished, or has since been given to another sound, is left alone.
void HostStopSound( int voice );

#endif
