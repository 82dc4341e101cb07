#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/media/MediaTags.h"
#include "playback/Player.h"

namespace varnex {

// The running player as the desktop's media controls see it: published on the session bus under
// org.mpris.MediaPlayer2.varnex. It sees only the player: requests go the way the window's own
// controls go, and what it publishes follows the player's notifier.
class MprisService final : public QObject {
 public:
  static constexpr const char* kServiceName = "org.mpris.MediaPlayer2.varnex";
  static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";
  static constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";

  // Publishes `player` on `bus`, or returns nothing when there is no bus to publish on. When
  // another Varnex holds the name, this one takes a name of its own beside it. `mimeTypes` are
  // the types of file the player plays.
  static std::unique_ptr<MprisService> Publish(QDBusConnection bus, Player& player,
                                               MediaTagReader& tags,
                                               const std::vector<std::string>& mimeTypes);

  MprisService(const MprisService&) = delete;
  MprisService& operator=(const MprisService&) = delete;
  ~MprisService() override;

  const QString& ServiceName() const { return serviceName_; }

  // The root interface.
  void Raise() { player_.Raise(); }
  void Quit() { player_.Quit(); }
  QStringList SupportedMimeTypes() const { return mimeTypes_; }

  // The player interface. Play, Stop and PlayPause ask for a state, which the player reaches once
  // the calls that arrived meanwhile have been taken in: however many come, the last state asked
  // for wins, and the window's own events never wait behind them.
  void Play() { Ask(true); }
  void Stop() { Ask(false); }
  void PlayPause();
  QString PlaybackStatus();
  bool CanPlay();
  QVariantMap Metadata();
  double Volume() { return player_.Volume(); }
  void SetVolume(double volume) { player_.SetVolume(volume); }
  qlonglong Position() { return player_.Position(); }

 private:
  MprisService(QDBusConnection bus, Player& player, MediaTagReader& tags, QStringList mimeTypes);

  void Ask(bool play);
  void CarryOut();
  void ScheduleCarryOut();
  // Brings the published state up to the player's, announcing every property that changed.
  void Refresh();
  void DescribeNewTrack(QVariantMap& changed);
  void Announce(const QVariantMap& changed);

  QDBusConnection bus_;
  Player& player_;
  MediaTagReader& tags_;
  QString serviceName_;
  QStringList mimeTypes_;

  // The state asked for last and not yet carried out, and the one being carried out.
  std::optional<bool> asked_;
  std::optional<bool> underway_;
  bool scheduled_ = false;

  // What the desktop was last told.
  bool playing_ = false;
  bool canPlay_ = false;
  double volume_ = 0;
  std::uint64_t tracks_ = 0;
  QVariantMap metadata_;
};

}  // namespace varnex
