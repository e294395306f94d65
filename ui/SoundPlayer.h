// The program's sound player: hands a sound file to the desktop's own player program
// (PipeWire's pw-play, PulseAudio's paplay or ALSA's aplay, the first one installed) and
// returns at once; without a player or the file there is no sound.
#pragma once

#include <string>

#include "util/Platform.h"

namespace tolmi::ui {

class SystemSoundPlayer : public SoundPlayer {
 public:
  void Play(const std::string& file) override;
};

// The one player the windows use when their context names none.
SoundPlayer& ProgramSoundPlayer();

}  // namespace tolmi::ui
