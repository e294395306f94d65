// The small interfaces through which the core reaches the platform.
// Each has a real implementation (GUI, CLI) and a scripted fake in tests/support.
#pragma once

#include <chrono>
#include <ctime>
#include <string>

namespace tolmi {

enum class PromptIcon { Information, Warning, Error, Question };
// OkCancel answers Ok or Cancel; the others answer from their own buttons.
enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class PromptAnswer { Ok, Yes, No, Cancel };

// Message boxes and questions. Errors are titled "Error", questions "Confirmation".
class Prompter {
 public:
  virtual ~Prompter() = default;
  virtual void Show(const std::string& text, const std::string& title, PromptIcon icon) = 0;
  virtual PromptAnswer Ask(const std::string& text, const std::string& title,
                           PromptButtons buttons) = 0;
};

// Plays a sound file and returns at once; a file or player that is missing is silence.
class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;
  virtual void Play(const std::string& file) = 0;
};

// The time of day, replaceable so that tests can fix TIME=, dates and log names.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::time_t Now() const = 0;
};

// The system clock.
class SystemClock : public Clock {
 public:
  std::time_t Now() const override { return std::time(nullptr); }
};

}  // namespace tolmi
