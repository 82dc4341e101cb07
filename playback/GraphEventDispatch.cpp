// The graph's events: fetched on the notification, handed to their events, then freed.
#include <QEvent>
#include <bit>

#include "platform/media/LocaleNames.h"
#include "playback/TFilterGraph.h"

namespace varnex {

namespace {

template <typename Event, typename... Arguments>
void Raise(const Event& event, Arguments&&... arguments) {
  if (event) {
    event(std::forward<Arguments>(arguments)...);
  }
}

std::u16string WideText(LONG_PTR pointer) {
  const auto* text = reinterpret_cast<const char16_t*>(pointer);
  return text == nullptr ? std::u16string() : std::u16string(text);
}

}  // namespace

tagDVD_TIMECODE SplitDvdTimeCode(std::uint32_t value) {
  const auto bits = [value](int shift, std::uint32_t mask) {
    return static_cast<std::uint8_t>((value >> shift) & mask);
  };
  return {bits(28, 0xF), bits(24, 0xF), bits(20, 0xF), bits(16, 0xF), bits(12, 0xF),
          bits(8, 0xF),  bits(4, 0xF),  bits(2, 0x3),  bits(0, 0x3)};
}

bool TFilterGraph::NotifyWndProc(QEvent* message) {
  if (message->type() != static_cast<QEvent::Type>(GraphNotifyMessage)) {
    return false;
  }
  try {
    DrainGraphEvents();
  } catch (const std::exception& error) {
    // The events still queued have their own notifications, which drain the queue again.
    if (ErrorReport) {
      ErrorReport(error);
    }
  }
  return true;
}

void TFilterGraph::DrainGraphEvents() {
  if (!mediaEvents_) {
    return;
  }
  std::int32_t code = 0;
  LONG_PTR param1 = 0;
  LONG_PTR param2 = 0;
  while (mediaEvents_ && mediaEvents_->GetEvent(&code, &param1, &param2, 0) == S_OK) {
    // Held for the dispatch, as a handler may deactivate the graph and release mediaEvents_;
    // the event is freed also when its handler raises, before the failure is reported.
    struct FreeParams {
      ComPtr<IMediaEventEx> events;
      std::int32_t code;
      LONG_PTR param1;
      LONG_PTR param2;
      ~FreeParams() { events->FreeEventParams(code, param1, param2); }
    } freeParams{mediaEvents_, code, param1, param2};
    DispatchGraphEvent(code, param1, param2);
  }
}

void TFilterGraph::DispatchGraphEvent(std::int32_t code, LONG_PTR param1, LONG_PTR param2) {
  Raise(OnDSEvent, this, code, param1, param2);
  const auto p1 = static_cast<std::int32_t>(param1);
  const auto u1 = static_cast<std::uint32_t>(param1);
  const auto u2 = static_cast<std::uint32_t>(param2);
  switch (code) {
    case EC_USERABORT:
      return Raise(OnGraphUserAbort, this);
    case EC_PALETTE_CHANGED:
      return Raise(OnGraphPaletteChanged, this);
    case EC_QUALITY_CHANGE:
      return Raise(OnGraphQualityChange, this);
    case EC_CLOCK_CHANGED:
      return Raise(OnGraphClockChanged, this);
    case EC_STEP_COMPLETE:
      return Raise(OnGraphStepComplete, this);
    case EC_GRAPH_CHANGED:
      return Raise(OnGraphChanged, this);
    case EC_CLOCK_UNSET:
      return Raise(OnGraphClockUnset, this);
    case EC_DVD_STILL_OFF:
      return Raise(OnDVDStillOff, this);
    case EC_DVD_CHAPTER_AUTOSTOP:
      return Raise(OnDVDChapterAutoStop, this);
    case EC_DVD_NO_FP_PGC:
      return Raise(OnDVDNoFP_PGC, this);
    case EC_DVD_PLAYBACK_STOPPED:
      return Raise(OnDVDPlaybackStopped, this);
    case EC_DVD_PLAYPERIOD_AUTOSTOP:
      return Raise(OnDVDPlayPeriodAutoStop, this);
    case EC_DVD_DISC_EJECTED:
      return Raise(OnDVDDiscEjected, this);
    case EC_DVD_DISC_INSERTED:
      return Raise(OnDVDDiscInserted, this);

    case EC_DVD_DOMAIN_CHANGE: {
      const TGraphNotifyEvent* domains[] = {&OnDVDDomainFirstPlay, &OnDVDDomainVideoManagerMenu,
                                            &OnDVDDomainVideoTitleSetMenu, &OnDVDDomainTitle,
                                            &OnDVDDomainStop};
      if (p1 >= 1 && p1 <= 5) {
        Raise(*domains[p1 - 1], this);
      }
      return;
    }
    case EC_DVD_ERROR: {
      const TGraphNotifyEvent* errors[] = {&OnDVDErrorUnexpected,
                                           &OnDVDErrorCopyProtectFail,
                                           &OnDVDErrorInvalidDVD1_0Disc,
                                           &OnDVDErrorInvalidDiscRegion,
                                           &OnDVDErrorLowParentalLevel,
                                           &OnDVDErrorMacrovisionFail,
                                           &OnDVDErrorIncompatibleSystemAndDecoderRegions,
                                           &OnDVDErrorIncompatibleDiscAndDecoderRegions};
      if (p1 >= 1 && p1 <= 8) {
        Raise(*errors[p1 - 1], this);
      }
      return;
    }
    case EC_DVD_WARNING: {
      const TGraphNotifyEvent* warnings[] = {&OnDVDWarningInvalidDVD1_0Disc,
                                             &OnDVDWarningFormatNotSupported,
                                             &OnDVDWarningIllegalNavCommand,
                                             &OnDVDWarningOpen,
                                             &OnDVDWarningSeek,
                                             &OnDVDWarningRead};
      if (p1 >= 1 && p1 <= 6) {
        Raise(*warnings[p1 - 1], this);
      }
      return;
    }

    case EC_ERRORABORT:
      return Raise(OnGraphErrorAbort, this, p1);
    case EC_ERROR_STILLPLAYING:
      return Raise(OnGraphErrorStillPlaying, this, p1);
    case EC_PAUSED:
      return Raise(OnGraphPaused, this, p1);
    case EC_VMR_RENDERDEVICE_SET:
      return Raise(OnGraphVMRRenderDevice, this, p1);
    case EC_DVD_TITLE_CHANGE:
      return Raise(OnDVDTitleChange, this, p1);
    case EC_DVD_CHAPTER_START:
      return Raise(OnDVDChapterStart, this, p1);
    case EC_DVD_VALID_UOPS_CHANGE:
      return Raise(OnDVDValidUOPSChange, this, p1);
    case EC_DVD_PARENTAL_LEVEL_CHANGE:
      return Raise(OnDVDParentalLevelChange, this, p1);
    case EC_DVD_BUTTON_AUTO_ACTIVATED:
      return Raise(OnDVDButtonAutoActivated, this, u1);
    case EC_DVD_CMD_START:
      return Raise(OnDVDCMDStart, this, u1);
    case EC_DVD_CMD_END:
      return Raise(OnDVDCMDEnd, this, u1);
    case EC_FULLSCREEN_LOST:
      return Raise(OnGraphFullscreenLost, this, reinterpret_cast<IBaseFilter*>(param2));

    case EC_COMPLETE:
      return Raise(OnGraphComplete, this, p1, reinterpret_cast<IBaseFilter*>(param2));
    case EC_STREAM_ERROR_STOPPED:
      return Raise(OnGraphStreamErrorStopped, this, p1, u2);
    case EC_STREAM_ERROR_STILLPLAYING:
      return Raise(OnGraphStreamErrorStillPlaying, this, p1, u2);
    case EC_OLE_EVENT:
      return Raise(OnGraphOleEvent, this, WideText(param1), WideText(param2));
    case EC_STREAM_CONTROL_STOPPED:
      return Raise(OnGraphStreamControlStopped, this, reinterpret_cast<IPin*>(param1), u2);
    case EC_STREAM_CONTROL_STARTED:
      return Raise(OnGraphStreamControlStarted, this, reinterpret_cast<IPin*>(param1), u2);
    case EC_TIMECODE_AVAILABLE:
      return Raise(OnGraphTimeCodeAvailable, this, reinterpret_cast<IBaseFilter*>(param1), u2);
    case EC_EXTDEVICE_MODE_CHANGE:
      return Raise(OnGraphEXTDeviceModeChange, this, u1, u2);
    case EC_DVD_ANGLE_CHANGE:
      return Raise(OnDVDAngleChange, this, p1, static_cast<std::int32_t>(param2));
    case EC_DVD_BUTTON_CHANGE:
      return Raise(OnDVDButtonChange, this, p1, static_cast<std::int32_t>(param2));
    case EC_SNDDEV_IN_ERROR:
      return Raise(OnGraphSNDDevInError, this, static_cast<_tagSND_DEVICE_ERROR>(p1), u2);
    case EC_SNDDEV_OUT_ERROR:
      return Raise(OnGraphSNDDevOutError, this, static_cast<_tagSND_DEVICE_ERROR>(p1), u2);

    case EC_VIDEO_SIZE_CHANGED:
      return Raise(OnGraphVideoSizeChanged, this, static_cast<std::uint16_t>(u1 & 0xFFFF),
                   static_cast<std::uint16_t>(u1 >> 16));
    case EC_OPENING_FILE:
      return Raise(OnGraphOpeningFile, this, p1 == 1);
    case EC_BUFFERING_DATA:
      return Raise(OnGraphBufferingData, this, p1 == 1);
    case EC_END_OF_SEGMENT:
      if (OnGraphEndOfSegment) {
        OnGraphEndOfSegment(this, *reinterpret_cast<const std::int64_t*>(param1), u2);
      }
      return;
    case EC_DEVICE_LOST:
      return Raise(OnGraphDeviceLost, this, reinterpret_cast<IUnknown*>(param1), param2 == 1);
    case EC_DVD_AUDIO_STREAM_CHANGE:
      return DispatchLanguageEvent(OnDVDAudioStreamChange, true, param1);
    case EC_DVD_SUBPICTURE_STREAM_CHANGE:
      return DispatchLanguageEvent(OnDVDSubpictureStreamChange, false, param1);
    case EC_DVD_STILL_ON:
      return Raise(OnDVDStillOn, this, p1 == 1, static_cast<std::int32_t>(param2));
    case EC_DVD_CURRENT_TIME: {
      const tagDVD_TIMECODE time = SplitDvdTimeCode(u1);
      const int rate = time.FrameRateCode == 1 ? 25 : time.FrameRateCode == 3 ? 30 : 0;
      return Raise(OnDVDCurrentTime, this, time.Hours1 + 10 * time.Hours10,
                   time.Minutes1 + 10 * time.Minutes10, time.Seconds1 + 10 * time.Seconds10,
                   time.Frames1 + 10 * time.Frames10, rate);
    }
    case EC_DVD_PLAYBACK_RATE_CHANGE:
      return Raise(OnDVDPlaybackRateChange, this, static_cast<float>(p1) / 10000.0f);
    case EC_DVD_ANGLES_AVAILABLE:
      return Raise(OnDVDAnglesAvailable, this, p1 == 1);
    case EC_DVD_CURRENT_HMSF_TIME:
      if (OnDVDCurrentHMSFTime) {
        const auto hmsf = std::bit_cast<tagDVD_HMSF_TIMECODE>(u1);  // the bytes in memory order
        tagDVD_TIMECODE time = SplitDvdTimeCode(u2);
        OnDVDCurrentHMSFTime(this, hmsf, time);
      }
      return;
    case EC_DVD_KARAOKE_MODE:
      return Raise(OnDVDKaraokeMode, this, p1 != 0);
    default:
      return;  // EC_TIME, EC_REPAINT, EC_SHUTTING_DOWN, EC_STATE_CHANGE and the rest
  }
}

// Runs only when the event is assigned. A failed audio query raises; a failed subpicture query
// skips the event, so it is never called with a language that was not found.
void TFilterGraph::DispatchLanguageEvent(const TOnDVDStreamChange& event, bool audio,
                                         LONG_PTR stream) {
  if (!event) {
    return;
  }
  ComPtr<IDvdInfo2> info;
  if (!Succeeded(QueryInterface(IID_IDvdInfo2, info.Out()))) {
    return;
  }
  std::uint32_t lcid = 0;
  const auto number = static_cast<ULONG>(stream);
  if (audio) {
    CheckGraphResult(runtime_, info->GetAudioLanguage(number, &lcid));
  } else if (!Succeeded(info->GetSubpictureLanguage(number, &lcid))) {
    return;
  }
  char language[260];
  // NOLINTNEXTLINE(readability-suspicious-call-argument): lcid is the locale asked about
  GetLocaleInfoA(lcid, LOCALE_SENGLANGUAGE, language, sizeof language);
  event(this, static_cast<std::int32_t>(stream), static_cast<std::int32_t>(lcid), language);
}

}  // namespace varnex
