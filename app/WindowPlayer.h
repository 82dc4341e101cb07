#pragma once

#include <QObject>
#include <cstdint>
#include <string>

#include "app/TMp3Form.h"
#include "playback/Player.h"
#include "playback/Tdm.h"

namespace varnex {

// The main window's player, for controls outside the window: requests press the window's own
// buttons and move its slider, and what it tells comes from the window's list, slider and graph.
// It is the one listener of the graph component's notifications (OnActivate, OnDSEvent) and
// passes them on, through its notifier, to any number of others.
class WindowPlayer final : public QObject, public Player {
 public:
  // Throws std::logic_error when the graph's notifications already have a listener.
  WindowPlayer(TMp3Form& form, Tdm& dm);
  ~WindowPlayer() override;

  void Play() override;
  void Stop() override;
  bool IsPlaying() override;
  std::string CurrentFile() override;
  std::int64_t Position() override;
  bool CanPlay() override;
  double Volume() override;
  void SetVolume(double volume) override;
  void Raise() override;
  void Quit() override;

 private:
  void GraphActivated();
  void GraphEvent(std::int32_t code, LONG_PTR param1);
  void SettleNewGraph();
  bool Selected() const;

  TMp3Form& form_;
  Tdm& dm_;
  std::string graphFile_;    // the file selected when the newest graph was made
  std::string currentFile_;  // the file that plays or played last
  bool newGraph_ = false;    // made, and not yet known to play or to have failed
  bool finished_ = false;    // the graph has played its file to the end
  int activationLoopLevel_ = 0;
};

}  // namespace varnex
