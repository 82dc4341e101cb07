#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/media/ComModel.h"
#include "platform/media/GraphEventCodes.h"

namespace varnex {

class TFilterGraph;

// The four bytes of a DVD time code: hours, minutes, seconds, frames.
struct tagDVD_HMSF_TIMECODE {
  std::uint8_t bHours;
  std::uint8_t bMinutes;
  std::uint8_t bSeconds;
  std::uint8_t bFrames;
};

// A DVD time code split into its nine fields, from the most significant bits down.
struct tagDVD_TIMECODE {
  std::uint8_t Hours1, Hours10, Minutes1, Minutes10, Seconds1, Seconds10, Frames1, Frames10,
      FrameRateCode;
  friend bool operator==(const tagDVD_TIMECODE&, const tagDVD_TIMECODE&) = default;
};

tagDVD_TIMECODE SplitDvdTimeCode(std::uint32_t value);

// The stage at which a sound device failed.
enum _tagSND_DEVICE_ERROR : std::int32_t {};

// The event types. Parameters that carry a pointer (a filter, a pin, strings) are as wide as a
// pointer, so they survive on 64-bit systems.
using TGraphNotifyEvent = std::function<void(TFilterGraph* sender)>;
using TOnDSEvent =
    std::function<void(TFilterGraph* sender, std::int32_t event, LONG_PTR param1, LONG_PTR param2)>;
using TOnDSResult = std::function<void(TFilterGraph* sender, HRESULT result)>;
using TOnGraphComplete =
    std::function<void(TFilterGraph* sender, HRESULT result, IBaseFilter* renderer)>;
using TOnGraphBufferingData = std::function<void(TFilterGraph* sender, bool buffering)>;
using TOnGraphDeviceLost =
    std::function<void(TFilterGraph* sender, IUnknown* device, bool removed)>;
using TOnGraphEndOfSegment =
    std::function<void(TFilterGraph* sender, std::int64_t streamTime, std::uint32_t numSegment)>;
using TOnGraphFullscreenLost = std::function<void(TFilterGraph* sender, IBaseFilter* renderer)>;
using TOnGraphOleEvent = std::function<void(TFilterGraph* sender, const std::u16string& string1,
                                            const std::u16string& string2)>;
using TOnGraphOpeningFile = std::function<void(TFilterGraph* sender, bool opening)>;
using TOnGraphSNDDevError = std::function<void(TFilterGraph* sender, _tagSND_DEVICE_ERROR occurWhen,
                                               std::uint32_t errorCode)>;
using TOnGraphStreamControl =
    std::function<void(TFilterGraph* sender, IPin* pinSender, std::uint32_t cookie)>;
using TOnGraphStreamError =
    std::function<void(TFilterGraph* sender, HRESULT operation, std::uint32_t value)>;
using TOnGraphVideoSizeChanged =
    std::function<void(TFilterGraph* sender, std::uint16_t width, std::uint16_t height)>;
using TOnGraphTimeCodeAvailable =
    std::function<void(TFilterGraph* sender, IBaseFilter* from, std::uint32_t deviceId)>;
using TOnGraphEXTDeviceModeChange =
    std::function<void(TFilterGraph* sender, std::uint32_t newMode, std::uint32_t deviceId)>;
using TOnGraphVMRRenderDevice =
    std::function<void(TFilterGraph* sender, std::int32_t renderDevice)>;
using TOnDVDStreamChange = std::function<void(TFilterGraph* sender, std::int32_t stream,
                                              std::int32_t lcid, const std::string& lang)>;
using TOnDVDAudioStreamChange = TOnDVDStreamChange;
using TOnDVDSubpictureStreamChange = TOnDVDStreamChange;
using TOnDVDCurrentTime =
    std::function<void(TFilterGraph* sender, std::int32_t hours, std::int32_t minutes,
                       std::int32_t seconds, std::int32_t frames, std::int32_t frate)>;
using TOnDVDInteger = std::function<void(TFilterGraph* sender, std::int32_t value)>;
using TOnDVDTitleChange = TOnDVDInteger;
using TOnDVDChapterStart = TOnDVDInteger;
using TOnDVDValidUOPSChange = TOnDVDInteger;
using TOnDVDParentalLevelChange = TOnDVDInteger;
using TOnDVDChange =
    std::function<void(TFilterGraph* sender, std::int32_t total, std::int32_t current)>;
using TOnDVDStillOn =
    std::function<void(TFilterGraph* sender, bool noButtonAvailable, std::int32_t seconds)>;
using TOnDVDPlaybackRateChange = std::function<void(TFilterGraph* sender, float rate)>;
using TOnDVDAnglesAvailable = std::function<void(TFilterGraph* sender, bool available)>;
using TOnDVDButtonAutoActivated = std::function<void(TFilterGraph* sender, std::uint32_t button)>;
using TOnDVDCMD = std::function<void(TFilterGraph* sender, std::uint32_t cmdId)>;
using TOnDVDCurrentHMSFTime = std::function<void(
    TFilterGraph* sender, tagDVD_HMSF_TIMECODE hmsfTimeCode, tagDVD_TIMECODE& timeCode)>;
using TOnDVDKaraokeMode = std::function<void(TFilterGraph* sender, bool played)>;

// Every graph event of the component; an empty one is unassigned.
struct TGraphEvents {
  TOnDSEvent OnDSEvent;
  TGraphNotifyEvent OnGraphUserAbort, OnGraphPaletteChanged, OnGraphQualityChange,
      OnGraphClockChanged, OnGraphStepComplete, OnGraphChanged, OnGraphClockUnset, OnDVDStillOff,
      OnDVDChapterAutoStop, OnDVDNoFP_PGC, OnDVDPlaybackStopped, OnDVDPlayPeriodAutoStop,
      OnDVDDiscEjected, OnDVDDiscInserted;
  TGraphNotifyEvent OnDVDDomainFirstPlay, OnDVDDomainVideoManagerMenu, OnDVDDomainVideoTitleSetMenu,
      OnDVDDomainTitle, OnDVDDomainStop;
  TGraphNotifyEvent OnDVDErrorUnexpected, OnDVDErrorCopyProtectFail, OnDVDErrorInvalidDVD1_0Disc,
      OnDVDErrorInvalidDiscRegion, OnDVDErrorLowParentalLevel, OnDVDErrorMacrovisionFail,
      OnDVDErrorIncompatibleSystemAndDecoderRegions, OnDVDErrorIncompatibleDiscAndDecoderRegions;
  TGraphNotifyEvent OnDVDWarningInvalidDVD1_0Disc, OnDVDWarningFormatNotSupported,
      OnDVDWarningIllegalNavCommand, OnDVDWarningOpen, OnDVDWarningSeek, OnDVDWarningRead;
  TOnDSResult OnGraphErrorAbort, OnGraphErrorStillPlaying, OnGraphPaused;
  TOnGraphVMRRenderDevice OnGraphVMRRenderDevice;
  TOnDVDTitleChange OnDVDTitleChange;
  TOnDVDChapterStart OnDVDChapterStart;
  TOnDVDValidUOPSChange OnDVDValidUOPSChange;
  TOnDVDParentalLevelChange OnDVDParentalLevelChange;
  TOnDVDButtonAutoActivated OnDVDButtonAutoActivated;
  TOnDVDCMD OnDVDCMDStart, OnDVDCMDEnd;
  TOnGraphFullscreenLost OnGraphFullscreenLost;
  TOnGraphComplete OnGraphComplete;
  TOnGraphStreamError OnGraphStreamErrorStopped, OnGraphStreamErrorStillPlaying;
  TOnGraphOleEvent OnGraphOleEvent;
  TOnGraphStreamControl OnGraphStreamControlStopped, OnGraphStreamControlStarted;
  TOnGraphTimeCodeAvailable OnGraphTimeCodeAvailable;
  TOnGraphEXTDeviceModeChange OnGraphEXTDeviceModeChange;
  TOnDVDChange OnDVDAngleChange, OnDVDButtonChange;
  TOnGraphSNDDevError OnGraphSNDDevInError, OnGraphSNDDevOutError;
  TOnGraphVideoSizeChanged OnGraphVideoSizeChanged;
  TOnGraphOpeningFile OnGraphOpeningFile;
  TOnGraphBufferingData OnGraphBufferingData;
  TOnGraphEndOfSegment OnGraphEndOfSegment;
  TOnGraphDeviceLost OnGraphDeviceLost;
  TOnDVDAudioStreamChange OnDVDAudioStreamChange;
  TOnDVDSubpictureStreamChange OnDVDSubpictureStreamChange;
  TOnDVDStillOn OnDVDStillOn;
  TOnDVDCurrentTime OnDVDCurrentTime;
  TOnDVDPlaybackRateChange OnDVDPlaybackRateChange;
  TOnDVDAnglesAvailable OnDVDAnglesAvailable;
  TOnDVDCurrentHMSFTime OnDVDCurrentHMSFTime;
  TOnDVDKaraokeMode OnDVDKaraokeMode;
};

}  // namespace varnex
