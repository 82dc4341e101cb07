#include "MprisService.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QItemSelectionModel>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "desktop/MprisAdaptors.h"
#include "desktop/TrackMetadata.h"
#include "widgets/ErrorReport.h"

namespace varnex {

std::unique_ptr<MprisService> MprisService::Publish(QDBusConnection bus, TMp3Form& form, Tdm& dm,
                                                    MediaTagReader& tags) {
  if (!bus.isConnected()) {
    return nullptr;
  }
  std::unique_ptr<MprisService> service(new MprisService(bus, form, dm, tags));
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

std::unique_ptr<MprisService> MprisService::PublishOnSessionBus(TMp3Form& form, Tdm& dm,
                                                                MediaTagReader& tags) {
  return Publish(QDBusConnection::sessionBus(), form, dm, tags);
}

MprisService::MprisService(QDBusConnection bus, TMp3Form& form, Tdm& dm, MediaTagReader& tags)
    : bus_(std::move(bus)), form_(form), dm_(dm), tags_(tags) {
  for (const std::string& type : DecodableAudioTypes()) {
    mimeTypes_.append(QString::fromStdString(type));
  }
  new MprisRootAdaptor(*this);
  new MprisPlayerAdaptor(*this);

  // A new graph is made for the file selected at that moment; the graph's events tell when it
  // runs, stops, fails or has played to its end.
  TFilterGraph& graph = dm_.fg;
  graph.OnActivate = [this](TFilterGraph*) {
    graphFile_ = form_.FileListBox1->SelectedFilePath();
    newGraph_ = true;
    finished_ = false;
    // Once the play that made the graph is over: a graph that does not run failed to play.
    QTimer::singleShot(0, this, [this] { SettleNewGraph(); });
  };
  graph.OnDSEvent = [this](TFilterGraph*, std::int32_t code, LONG_PTR param1, LONG_PTR) {
    if (code == EC_COMPLETE) {
      finished_ = true;
    } else if (code == EC_STATE_CHANGE && param1 != State_Running) {
      finished_ = false;
    }
    Refresh();
  };
  connect(form_.TrackBar1, &QSlider::valueChanged, this, [this] { Refresh(); });
  WatchSelection();

  canPlay_ = CanPlay();
  volume_ = form_.TrackBar1->value();
}

MprisService::~MprisService() {
  dm_.fg.OnActivate = nullptr;
  dm_.fg.OnDSEvent = nullptr;
  if (!serviceName_.isEmpty()) {
    bus_.unregisterService(serviceName_);
  }
}

// CanPlay follows the selection, and the list loses its selection when it is read anew.
void MprisService::WatchSelection() {
  TFileListBox* list = form_.FileListBox1;
  const auto refresh = [this] { Refresh(); };
  connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, refresh);
  connect(list->selectionModel(), &QItemSelectionModel::currentChanged, this, refresh);
  connect(list->model(), &QAbstractItemModel::modelReset, this, refresh);
  connect(list->model(), &QAbstractItemModel::layoutChanged, this, refresh);
  connect(list->model(), &QAbstractItemModel::rowsRemoved, this, refresh);
}

void MprisService::Raise() {
  if (form_.isMinimized()) {
    form_.showNormal();
  }
  form_.raise();
  form_.activateWindow();
}

// Closes as the Quit button does, so the settings are stored; after the reply has gone out. A
// dialog open on the window (the folder dialog, a message) is closed first: while it shows, the
// program would outlive its window.
void MprisService::Quit() {
  QTimer::singleShot(0, &form_, [form = &form_] {
    QWidget* closed = nullptr;
    for (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal != closed;
         modal = QApplication::activeModalWidget()) {
      if (!modal->close()) {
        break;
      }
      closed = modal;
    }
    ReportingFailures([form] { form->QuitterBtnClick(); });
  });
}

bool MprisService::Playing() {
  return dm_.fg.GetPlayState() == psRunning && !finished_;
}

// The play button plays the selected file when nothing runs. A graph that has played to its end
// still runs, and the button would only stop it, so it is stopped first.
void MprisService::Play() {
  if (Playing() || !Selected()) {
    return;
  }
  ReportingFailures([this] {
    if (dm_.fg.GetPlayState() == psRunning) {
      form_.SpeedButton2Click();
    }
    form_.SpeedButton1Click();
  });
  Refresh();
}

void MprisService::Stop() {
  ReportingFailures([this] { form_.SpeedButton2Click(); });
  Refresh();
}

void MprisService::PlayPause() {
  if (Playing()) {
    Stop();
  } else {
    Play();
  }
}

QString MprisService::PlaybackStatus() {
  Refresh();
  return status_;
}

bool MprisService::Selected() {
  return !form_.FileListBox1->SelectedFilePath().empty();
}

// Desktops offer their controls, stop included, only while this is true: it stays true while a
// file plays, also when the list has lost its selection meanwhile.
bool MprisService::CanPlay() {
  return Selected() || Playing();
}

QVariantMap MprisService::Metadata() {
  Refresh();
  return metadata_;
}

double MprisService::Volume() {
  const QSlider& slider = *form_.TrackBar1;
  return static_cast<double>(slider.value() - slider.minimum()) /
         (slider.maximum() - slider.minimum());
}

// Moves the slider, whose own handler sets the graph's volume.
void MprisService::SetVolume(double volume) {
  if (std::isnan(volume)) {
    return;
  }
  QSlider& slider = *form_.TrackBar1;
  const double position = std::clamp(volume, 0.0, 1.0);
  slider.setValue(slider.minimum() +
                  static_cast<int>(std::lround(position * (slider.maximum() - slider.minimum()))));
}

// A play that failed leaves no track; the one played before must not be shown as current.
void MprisService::SettleNewGraph() {
  if (newGraph_ && !Playing()) {
    newGraph_ = false;
    if (!metadata_.isEmpty()) {
      metadata_.clear();
      Announce({{QStringLiteral("Metadata"), metadata_}});
    }
  }
  Refresh();
}

void MprisService::Refresh() {
  QVariantMap changed;
  const bool playing = Playing();
  if (playing && newGraph_) {
    newGraph_ = false;
    metadata_ = TrackMetadata(graphFile_, tags_.Read(graphFile_), ++tracks_);
    changed.insert(QStringLiteral("Metadata"), metadata_);
  }
  const QString status = playing ? QStringLiteral("Playing") : QStringLiteral("Stopped");
  if (status != status_) {
    status_ = status;
    changed.insert(QStringLiteral("PlaybackStatus"), status_);
  }
  const bool canPlay = CanPlay();
  if (canPlay != canPlay_) {
    canPlay_ = canPlay;
    changed.insert(QStringLiteral("CanPlay"), canPlay_);
  }
  if (form_.TrackBar1->value() != volume_) {
    volume_ = form_.TrackBar1->value();
    changed.insert(QStringLiteral("Volume"), Volume());
  }
  if (!changed.isEmpty()) {
    Announce(changed);
  }
}

void MprisService::Announce(const QVariantMap& changed) {
  QDBusMessage signal = QDBusMessage::createSignal(
      QString::fromLatin1(kObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
      QStringLiteral("PropertiesChanged"));
  signal << QString::fromLatin1(kPlayerInterface) << changed << QStringList();
  bus_.send(signal);
}

}  // namespace varnex
