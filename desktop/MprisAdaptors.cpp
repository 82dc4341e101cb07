#include "MprisAdaptors.h"

#include "desktop/MprisService.h"

namespace varnex {

MprisRootAdaptor::MprisRootAdaptor(MprisService& service)
    : QDBusAbstractAdaptor(&service), service_(service) {}

QString MprisRootAdaptor::Identity() const {
  return QStringLiteral("Varnex");
}

// The name of the installed desktop file, org.example.Varnex.desktop, without ".desktop".
QString MprisRootAdaptor::DesktopEntry() const {
  return QStringLiteral("org.example.Varnex");
}

QStringList MprisRootAdaptor::SupportedUriSchemes() const {
  return {QStringLiteral("file")};
}

QStringList MprisRootAdaptor::SupportedMimeTypes() const {
  return service_.SupportedMimeTypes();
}

void MprisRootAdaptor::Raise() {
  service_.Raise();
}

void MprisRootAdaptor::Quit() {
  service_.Quit();
}

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService& service)
    : QDBusAbstractAdaptor(&service), service_(service) {}

QString MprisPlayerAdaptor::PlaybackStatus() const {
  return service_.PlaybackStatus();
}

QVariantMap MprisPlayerAdaptor::Metadata() const {
  return service_.Metadata();
}

double MprisPlayerAdaptor::Volume() const {
  return service_.Volume();
}

void MprisPlayerAdaptor::SetVolume(double volume) {
  service_.SetVolume(volume);
}

qlonglong MprisPlayerAdaptor::Position() const {
  return service_.Position();
}

bool MprisPlayerAdaptor::CanPlay() const {
  return service_.CanPlay();
}

// Playing cannot be paused here: a pause stops, as the window's stop button does.
void MprisPlayerAdaptor::Pause() {
  service_.Stop();
}

void MprisPlayerAdaptor::PlayPause() {
  service_.PlayPause();
}

void MprisPlayerAdaptor::Stop() {
  service_.Stop();
}

void MprisPlayerAdaptor::Play() {
  service_.Play();
}

// One file at a time, always from its start: there is nothing to skip to or seek in, and only the
// window's own list chooses what plays.
void MprisPlayerAdaptor::Next() {}
void MprisPlayerAdaptor::Previous() {}
void MprisPlayerAdaptor::Seek(qlonglong) {}
void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath&, qlonglong) {}
void MprisPlayerAdaptor::OpenUri(const QString&) {}

}  // namespace varnex
