#pragma once

// Demo content of the simulated keyboard, made entirely by code: a few user
// tones, DSPs, drawbar organs, rhythms and registrations, two songs, a few
// small Standard MIDI Files, one tone group (850) and one drum group (17) with
// short synthetic waves. Every name is plainly synthetic ("DEMO TN1", ...).

#include "kbdsim/KeyboardMemory.h"

namespace kbdsim {

// Stores the demo items into `memory`, over what its slots held.
void fillDemoContent(KeyboardMemory& memory);

// A small valid format 0 Standard MIDI File: a tempo, then `noteCount` notes
// of the C major scale from middle C, then end of track.
Bytes makeDemoSmf(unsigned noteCount);

} // namespace kbdsim
