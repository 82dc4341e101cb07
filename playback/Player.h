#pragma once

#include <QObject>
#include <cstdint>
#include <string>

namespace varnex {

// Tells any number of listeners what of the player may have changed.
class PlayerNotifier final : public QObject {
  Q_OBJECT

 Q_SIGNALS:
  // Playing started or ended (a file that played to its end included), or a new file is tried.
  void StateChanged();
  // The selected file, and with it whether there is something to play.
  void SelectionChanged();
  void VolumeChanged();
};

// The running player as controls outside the window see it (the desktop's media keys and
// panels). Every request goes the way the window's own controls go.
class Player {
 public:
  Player() = default;
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;
  virtual ~Player() = default;

  // Plays the selected file when none plays; a file that plays goes on.
  virtual void Play() = 0;
  // Stops the file that plays, or the one being made ready to play.
  virtual void Stop() = 0;
  virtual bool IsPlaying() = 0;
  // The file that plays or played last (its bytes); empty before the first play and after a play
  // that failed.
  virtual std::string CurrentFile() = 0;
  // How far the playing file has played, in microseconds; 0 while none plays.
  virtual std::int64_t Position() = 0;
  // Whether there is something to play or stop: a selected file, or one that plays.
  virtual bool CanPlay() = 0;
  // 0 (silence) .. 1 (full volume).
  virtual double Volume() = 0;
  // Holds `volume` to 0 .. 1; a value that is not a number changes nothing.
  virtual void SetVolume(double volume) = 0;
  // Brings the window to the front, also from the task bar.
  virtual void Raise() = 0;
  // Closes the window as its Quit button does, settings stored.
  virtual void Quit() = 0;

  PlayerNotifier& Notifier() { return notifier_; }

 private:
  PlayerNotifier notifier_;
};

}  // namespace varnex
