#include "MprisService.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QPointer>
#include <QTimer>

#include "desktop/MprisAdaptors.h"
#include "desktop/TrackMetadata.h"

namespace varnex {

namespace {

QString StatusText(bool playing) {
  return playing ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

}  // namespace

std::unique_ptr<MprisService> MprisService::Publish(QDBusConnection bus, Player& player,
                                                    MediaTagReader& tags,
                                                    const std::vector<std::string>& mimeTypes) {
  if (!bus.isConnected()) {
    return nullptr;
  }
  QStringList types;
  for (const std::string& type : mimeTypes) {
    types.append(QString::fromStdString(type));
  }
  std::unique_ptr<MprisService> service(new MprisService(bus, player, tags, std::move(types)));
  if (!bus.registerObject(QString::fromLatin1(kObjectPath), service.get(),
                          QDBusConnection::ExportAdaptors)) {
    return nullptr;
  }
  // A second Varnex takes the name the desktop expects of a further instance.
  const QString names[] = {QString::fromLatin1(kServiceName),
                           QStringLiteral("%1.instance%2")
                               .arg(QString::fromLatin1(kServiceName))
                               .arg(QCoreApplication::applicationPid())};
  for (const QString& name : names) {
    if (bus.registerService(name)) {
      service->serviceName_ = name;
      return service;
    }
  }
  return nullptr;  // the bus forgets the object as it goes
}

MprisService::MprisService(QDBusConnection bus, Player& player, MediaTagReader& tags,
                           QStringList mimeTypes)
    : bus_(std::move(bus)), player_(player), tags_(tags), mimeTypes_(std::move(mimeTypes)) {
  new MprisRootAdaptor(*this);
  new MprisPlayerAdaptor(*this);
  const PlayerNotifier* notifier = &player_.Notifier();
  connect(notifier, &PlayerNotifier::StateChanged, this, &MprisService::Refresh);
  connect(notifier, &PlayerNotifier::SelectionChanged, this, &MprisService::Refresh);
  connect(notifier, &PlayerNotifier::VolumeChanged, this, &MprisService::Refresh);
  canPlay_ = player_.CanPlay();
  volume_ = player_.Volume();
}

MprisService::~MprisService() {
  if (!serviceName_.isEmpty()) {
    bus_.unregisterService(serviceName_);
  }
}

// Toggles the state that the requests before it lead to, not the one of this moment.
void MprisService::PlayPause() {
  Ask(!asked_.value_or(underway_.value_or(player_.IsPlaying())));
}

void MprisService::Ask(bool play) {
  asked_ = play;
  if (!underway_) {
    ScheduleCarryOut();
  }
}

void MprisService::ScheduleCarryOut() {
  if (!scheduled_) {
    scheduled_ = true;
    QTimer::singleShot(0, this, &MprisService::CarryOut);
  }
}

// Playing may serve the window's events while a file is made ready, and calls with them; they
// are carried out after this one.
void MprisService::CarryOut() {
  scheduled_ = false;
  if (!asked_) {
    return;
  }
  underway_ = std::exchange(asked_, std::nullopt);
  if (*underway_) {
    player_.Play();
  } else {
    player_.Stop();
  }
  underway_.reset();
  Refresh();
  if (asked_) {
    ScheduleCarryOut();
  }
}

QString MprisService::PlaybackStatus() {
  Refresh();
  return StatusText(playing_);
}

bool MprisService::CanPlay() {
  Refresh();
  return canPlay_;
}

QVariantMap MprisService::Metadata() {
  Refresh();
  return metadata_;
}

void MprisService::Refresh() {
  QVariantMap changed;
  const bool playing = player_.IsPlaying();
  if (playing && !playing_) {
    DescribeNewTrack(changed);
  } else if (!playing && !metadata_.isEmpty() && player_.CurrentFile().empty()) {
    // A play that failed leaves no track; the one played before must not be shown as current.
    metadata_.clear();
    changed.insert(QStringLiteral("Metadata"), metadata_);
  }
  if (playing != playing_) {
    playing_ = playing;
    changed.insert(QStringLiteral("PlaybackStatus"), StatusText(playing_));
  }
  const bool canPlay = player_.CanPlay();
  if (canPlay != canPlay_) {
    canPlay_ = canPlay;
    changed.insert(QStringLiteral("CanPlay"), canPlay_);
  }
  const double volume = player_.Volume();
  if (volume != volume_) {
    volume_ = volume;
    changed.insert(QStringLiteral("Volume"), volume_);
  }
  if (!changed.isEmpty()) {
    Announce(changed);
  }
}

// Every start of playing is a track of its own. It is described at once by its name, and again
// with its tags and length once they have been read.
void MprisService::DescribeNewTrack(QVariantMap& changed) {
  const std::string file = player_.CurrentFile();
  const std::uint64_t track = ++tracks_;
  metadata_ = TrackMetadata(file, {}, track);
  changed.insert(QStringLiteral("Metadata"), metadata_);
  tags_.Read(file, [service = QPointer<MprisService>(this), file, track](const MediaTags& tags) {
    if (service == nullptr || service->tracks_ != track) {
      return;
    }
    const QVariantMap described = TrackMetadata(file, tags, track);
    if (described != service->metadata_) {
      service->metadata_ = described;
      service->Announce({{QStringLiteral("Metadata"), described}});
    }
  });
}

void MprisService::Announce(const QVariantMap& changed) {
  QDBusMessage signal = QDBusMessage::createSignal(
      QString::fromLatin1(kObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
      QStringLiteral("PropertiesChanged"));
  signal << QString::fromLatin1(kPlayerInterface) << changed << QStringList();
  bus_.send(signal);
}

}  // namespace varnex
