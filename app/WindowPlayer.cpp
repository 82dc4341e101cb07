#include "WindowPlayer.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QItemSelectionModel>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "widgets/ErrorReport.h"

namespace varnex {

namespace {

// How often a new graph whose play is not over yet is looked at again.
constexpr int kSettleIntervalMs = 20;

int LoopLevel() {
  return QThread::currentThread()->loopLevel();
}

}  // namespace

WindowPlayer::WindowPlayer(TMp3Form& form, Tdm& dm) : form_(form), dm_(dm) {
  TFilterGraph& graph = dm_.fg;
  if (graph.OnActivate || graph.OnDSEvent) {
    throw std::logic_error("the graph's notifications already have a listener");
  }
  graph.OnActivate = [this](TFilterGraph*) { GraphActivated(); };
  graph.OnDSEvent = [this](TFilterGraph*, std::int32_t code, LONG_PTR param1, LONG_PTR) {
    GraphEvent(code, param1);
  };

  PlayerNotifier* notifier = &Notifier();
  connect(form_.TrackBar1, &QSlider::valueChanged, notifier, &PlayerNotifier::VolumeChanged);
  // The list also loses its selection when it is read anew.
  TFileListBox* list = form_.FileListBox1;
  connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, notifier,
          &PlayerNotifier::SelectionChanged);
  connect(list->selectionModel(), &QItemSelectionModel::currentChanged, notifier,
          &PlayerNotifier::SelectionChanged);
  connect(list->model(), &QAbstractItemModel::modelReset, notifier,
          &PlayerNotifier::SelectionChanged);
  connect(list->model(), &QAbstractItemModel::layoutChanged, notifier,
          &PlayerNotifier::SelectionChanged);
  connect(list->model(), &QAbstractItemModel::rowsRemoved, notifier,
          &PlayerNotifier::SelectionChanged);
}

WindowPlayer::~WindowPlayer() {
  dm_.fg.OnActivate = nullptr;
  dm_.fg.OnDSEvent = nullptr;
}

// A graph that has played to its end still runs, and the play button would only stop it, so it
// is stopped first.
void WindowPlayer::Play() {
  if (IsPlaying() || !Selected()) {
    return;
  }
  ReportingFailures([this] {
    if (dm_.fg.GetPlayState() == psRunning) {
      form_.SpeedButton2Click();
    }
    form_.SpeedButton1Click();
  });
}

void WindowPlayer::Stop() {
  ReportingFailures([this] { form_.SpeedButton2Click(); });
}

bool WindowPlayer::IsPlaying() {
  return dm_.fg.GetPlayState() == psRunning && !finished_;
}

// The new graph's file becomes the current one when it is first seen playing: the graph may report
// running before its change of state has been handled.
std::string WindowPlayer::CurrentFile() {
  if (newGraph_ && IsPlaying()) {
    newGraph_ = false;
    currentFile_ = graphFile_;
  }
  return currentFile_;
}

std::int64_t WindowPlayer::Position() {
  return IsPlaying() ? dm_.fg.PlayedMicroseconds() : 0;
}

// Desktops offer their controls, stop included, only while this is true: it stays true while a
// file plays, also when the list has lost its selection meanwhile.
bool WindowPlayer::CanPlay() {
  return Selected() || IsPlaying();
}

double WindowPlayer::Volume() {
  const QSlider& slider = *form_.TrackBar1;
  return static_cast<double>(slider.value() - slider.minimum()) /
         (slider.maximum() - slider.minimum());
}

// Moves the slider, whose own handler sets the graph's volume.
void WindowPlayer::SetVolume(double volume) {
  if (std::isnan(volume)) {
    return;
  }
  QSlider& slider = *form_.TrackBar1;
  const double position = std::clamp(volume, 0.0, 1.0);
  slider.setValue(slider.minimum() +
                  static_cast<int>(std::lround(position * (slider.maximum() - slider.minimum()))));
}

void WindowPlayer::Raise() {
  if (form_.isMinimized()) {
    form_.showNormal();
  }
  form_.raise();
  form_.activateWindow();
}

// After the request that asked for it has been answered. A dialog open on the window (the folder
// dialog, a message) is closed first: while it shows, the program would outlive its window.
void WindowPlayer::Quit() {
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

// A new graph is made for the file selected at that moment; its events tell when it runs, stops,
// fails or has played to its end.
void WindowPlayer::GraphActivated() {
  graphFile_ = form_.FileListBox1->SelectedFilePath();
  newGraph_ = true;
  finished_ = false;
  activationLoopLevel_ = LoopLevel();
  Q_EMIT Notifier().StateChanged();
  QTimer::singleShot(0, this, &WindowPlayer::SettleNewGraph);
}

void WindowPlayer::GraphEvent(std::int32_t code, LONG_PTR param1) {
  if (code == EC_COMPLETE) {
    finished_ = true;
  } else if (code == EC_STATE_CHANGE && param1 != State_Running) {
    finished_ = false;
  }
  // NOLINTNEXTLINE(readability-misleading-indentation): Q_EMIT expands to nothing
  Q_EMIT Notifier().StateChanged();
}

// Once the play that made the graph is over, a graph that does not run failed to play, and the
// file played before is no longer the current one. The play is not over while the events served
// during its wait for the file to be ready are handled, in an event loop of its own.
void WindowPlayer::SettleNewGraph() {
  if (!newGraph_) {
    return;
  }
  if (LoopLevel() > activationLoopLevel_) {
    QTimer::singleShot(kSettleIntervalMs, this, &WindowPlayer::SettleNewGraph);
    return;
  }
  if (!IsPlaying()) {
    newGraph_ = false;
    currentFile_.clear();
  }
  Q_EMIT Notifier().StateChanged();
}

bool WindowPlayer::Selected() const {
  return !form_.FileListBox1->SelectedFilePath().empty();
}

}  // namespace varnex
