#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QStringList>
#include <QVariantMap>

namespace varnex {

class MprisService;

// org.mpris.MediaPlayer2: who the player is and what the desktop may do with its window.
class MprisRootAdaptor final : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ CanQuit)
  Q_PROPERTY(bool CanRaise READ CanRaise)
  Q_PROPERTY(bool Fullscreen READ Fullscreen WRITE SetFullscreen)
  Q_PROPERTY(bool CanSetFullscreen READ CanSetFullscreen)
  Q_PROPERTY(bool HasTrackList READ HasTrackList)
  Q_PROPERTY(QString Identity READ Identity)
  Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)

 public:
  explicit MprisRootAdaptor(MprisService& service);

  bool CanQuit() const { return true; }
  bool CanRaise() const { return true; }
  bool Fullscreen() const { return false; }
  void SetFullscreen(bool) {}
  bool CanSetFullscreen() const { return false; }
  bool HasTrackList() const { return false; }
  QString Identity() const;
  QString DesktopEntry() const;
  QStringList SupportedUriSchemes() const;
  QStringList SupportedMimeTypes() const;

 public Q_SLOTS:  // NOLINT: moc reads Q_SLOTS, so the repeated "public" stays
  void Raise();
  void Quit();

 private:
  MprisService& service_;
};

// org.mpris.MediaPlayer2.Player: play, stop, volume and what plays. There is no pause, no seeking
// and no list of tracks, so those requests do nothing.
class MprisPlayerAdaptor final : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
  Q_PROPERTY(double Rate READ Rate WRITE SetRate)
  Q_PROPERTY(QVariantMap Metadata READ Metadata)
  Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
  Q_PROPERTY(qlonglong Position READ Position)
  Q_PROPERTY(double MinimumRate READ Rate)
  Q_PROPERTY(double MaximumRate READ Rate)
  Q_PROPERTY(bool CanGoNext READ No)
  Q_PROPERTY(bool CanGoPrevious READ No)
  Q_PROPERTY(bool CanPlay READ CanPlay)
  Q_PROPERTY(bool CanPause READ No)
  Q_PROPERTY(bool CanSeek READ No)
  Q_PROPERTY(bool CanControl READ CanControl)

 public:
  explicit MprisPlayerAdaptor(MprisService& service);

  QString PlaybackStatus() const;
  double Rate() const { return 1.0; }
  void SetRate(double) {}
  QVariantMap Metadata() const;
  double Volume() const;
  void SetVolume(double volume);
  // In microseconds; the desktop asks for it, it is never announced.
  qlonglong Position() const;
  bool No() const { return false; }
  bool CanPlay() const;
  bool CanControl() const { return true; }

 public Q_SLOTS:  // NOLINT: moc reads Q_SLOTS, so the repeated "public" stays
  void Next();
  void Previous();
  void Pause();
  void PlayPause();
  void Stop();
  void Play();
  void Seek(qlonglong Offset);
  void SetPosition(const QDBusObjectPath& TrackId, qlonglong Position);
  void OpenUri(const QString& Uri);

 Q_SIGNALS:
  void Seeked(qlonglong position);

 private:
  MprisService& service_;
};

}  // namespace varnex
