// The sound played on new results. Play never blocks and never fails loudly:
// a machine without an audio output plays nothing.
#pragma once

#include <memory>
#include <string>

namespace zv::implist::ui {

class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;
  // Starts playing a ".wav" file in the background; false when nothing
  // will be heard (no audio output, file unreadable).
  virtual bool Play(const std::string& file) = 0;
};

// Qt Multimedia's sound effect on the default audio output.
std::unique_ptr<SoundPlayer> MakeQtSoundPlayer();

}  // namespace zv::implist::ui
