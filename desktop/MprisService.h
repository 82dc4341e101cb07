#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <cstdint>
#include <memory>
#include <string>

#include "app/TMp3Form.h"
#include "platform/media/MediaTags.h"
#include "playback/Tdm.h"

namespace varnex {

// The running player as the desktop's media controls see it: published on the session bus under
// org.mpris.MediaPlayer2.varnex. It only calls the window's own player handlers and reads their
// state, so playing and stopping keep working one way, whoever asks.
class MprisService final : public QObject {
 public:
  static constexpr const char* kServiceName = "org.mpris.MediaPlayer2.varnex";
  static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";
  static constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";

  // Publishes the player on `bus`, or returns nothing when there is no bus to publish on. When
  // another Varnex holds the name, this one takes a name of its own beside it.
  static std::unique_ptr<MprisService> Publish(QDBusConnection bus, TMp3Form& form, Tdm& dm,
                                               MediaTagReader& tags);
  static std::unique_ptr<MprisService> PublishOnSessionBus(TMp3Form& form, Tdm& dm,
                                                           MediaTagReader& tags);

  MprisService(const MprisService&) = delete;
  MprisService& operator=(const MprisService&) = delete;
  ~MprisService() override;

  const QString& ServiceName() const { return serviceName_; }

  // The root interface.
  void Raise();
  void Quit();
  QStringList SupportedMimeTypes() const { return mimeTypes_; }

  // The player interface.
  void Play();
  void Stop();
  void PlayPause();
  QString PlaybackStatus();
  bool CanPlay();
  QVariantMap Metadata();
  double Volume();
  void SetVolume(double volume);

 private:
  MprisService(QDBusConnection bus, TMp3Form& form, Tdm& dm, MediaTagReader& tags);

  bool Playing();
  bool Selected();
  void SettleNewGraph();
  // Brings the published state up to the player's, announcing every property that changed.
  void Refresh();
  void Announce(const QVariantMap& changed);
  void WatchSelection();

  QDBusConnection bus_;
  TMp3Form& form_;
  Tdm& dm_;
  MediaTagReader& tags_;
  QString serviceName_;
  QStringList mimeTypes_;

  // The file a new graph was made for, until it plays; the graph's end of file.
  std::string graphFile_;
  bool newGraph_ = false;
  bool finished_ = false;
  std::uint64_t tracks_ = 0;

  // What the desktop was last told.
  QString status_ = QStringLiteral("Stopped");
  bool canPlay_ = false;
  int volume_ = 0;
  QVariantMap metadata_;
};

}  // namespace varnex
