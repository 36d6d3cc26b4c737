// Wave output: the waveOut* calls with the Windows names, structures and semantics, and the
// backends that play what is written.
//
// There is one output device (device 0, also reachable as WAVE_MAPPER). Several handles may be
// open on it at once; each plays its own queue of buffers. A buffer written while another of
// the same handle plays starts when that one ends. A buffer flagged WHDR_BEGINLOOP|WHDR_ENDLOOP
// plays dwLoops times (0xFFFFFFFF: until reset). When a buffer has played, at the time its
// length implies on the platform clock (the virtual one when that is on), it is marked WHDR_DONE
// and MM_WOM_DONE (wParam the handle, lParam the header) is posted to the window given with
// CALLBACK_WINDOW. waveOutReset marks every queued buffer done at once and posts MM_WOM_DONE
// for each. MM_WOM_OPEN and MM_WOM_CLOSE are posted on open and close.
//
// The volume is the device's, shared by every handle and kept across opens, as a pair of 16-bit
// levels (left in the low word, right in the high word; a mono device uses the left level). It
// starts at full volume, and a change applies to the samples played from then on.
//
// Backends (chosen at the first open, like the display's): null plays nothing but keeps the
// times; capture keeps what was played (see WaveCapture below); SDL2 plays through the sound
// card. SKV_WAVE=null|capture|sdl chooses; otherwise SDL2 when the display is SDL2, else null.
// With SKV_WAVE=capture and SKV_WAVE_FILE=<path>, the capture is also written as a WAV file
// (see docs/sound.md) each time the last handle closes.
#pragma once

#include <string>
#include <vector>

#include "platform/win32.h"
#include "platform/winuser.h"

extern "C" {

typedef struct HWAVEOUT__* HWAVEOUT;
typedef HWAVEOUT* LPHWAVEOUT;

#define WAVE_MAPPER ((UINT)-1)
#define WAVE_FORMAT_PCM 1
#define WAVE_FORMAT_QUERY 0x00000001u
#define CALLBACK_NULL 0x00000000u
#define CALLBACK_WINDOW 0x00010000u
#define CALLBACK_TYPEMASK 0x00070000u

#define MM_WOM_OPEN 0x3BB
#define MM_WOM_CLOSE 0x3BC
#define MM_WOM_DONE 0x3BD

#define MMSYSERR_NOERROR 0
#define MMSYSERR_ERROR 1
#define MMSYSERR_BADDEVICEID 2
#define MMSYSERR_ALLOCATED 4
#define MMSYSERR_INVALHANDLE 5
#define MMSYSERR_NODRIVER 6
#define MMSYSERR_NOMEM 7
#define MMSYSERR_NOTSUPPORTED 8
#define MMSYSERR_BADERRNUM 9
#define MMSYSERR_INVALFLAG 10
#define MMSYSERR_INVALPARAM 11
#define WAVERR_BADFORMAT 32
#define WAVERR_STILLPLAYING 33
#define WAVERR_UNPREPARED 34
#define MAXERRORLENGTH 256

#define WHDR_DONE 0x00000001u
#define WHDR_PREPARED 0x00000002u
#define WHDR_BEGINLOOP 0x00000004u
#define WHDR_ENDLOOP 0x00000008u
#define WHDR_INQUEUE 0x00000010u

// 18 bytes, packed as the Windows headers pack it; stored forms copy it as it is in memory.
#pragma pack(push, 1)
typedef struct tWAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
} WAVEFORMATEX, *LPWAVEFORMATEX;
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX must be 18 bytes");
typedef const WAVEFORMATEX* LPCWAVEFORMATEX;

typedef struct wavehdr_tag {
    LPSTR lpData;
    DWORD dwBufferLength;
    DWORD dwBytesRecorded;
    DWORD_PTR dwUser;
    DWORD dwFlags;
    DWORD dwLoops;
    struct wavehdr_tag* lpNext;
    DWORD_PTR reserved;
} WAVEHDR, *LPWAVEHDR;

SKV_PLATFORM_API UINT waveOutGetNumDevs(void);
// Formats played: PCM, 1 or 2 channels, 8 or 16 bits, 1000 to 192000 samples per second, with
// consistent block align and average rate; anything else is WAVERR_BADFORMAT.
SKV_PLATFORM_API MMRESULT waveOutOpen(LPHWAVEOUT handle, UINT deviceId, LPCWAVEFORMATEX format,
                                      DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
SKV_PLATFORM_API MMRESULT waveOutClose(HWAVEOUT handle);
SKV_PLATFORM_API MMRESULT waveOutPrepareHeader(HWAVEOUT handle, LPWAVEHDR header, UINT size);
SKV_PLATFORM_API MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, LPWAVEHDR header, UINT size);
SKV_PLATFORM_API MMRESULT waveOutWrite(HWAVEOUT handle, LPWAVEHDR header, UINT size);
SKV_PLATFORM_API MMRESULT waveOutReset(HWAVEOUT handle);
// A null handle (device 0) reads or sets the device's volume without opening it.
SKV_PLATFORM_API MMRESULT waveOutGetVolume(HWAVEOUT handle, DWORD* volume);
SKV_PLATFORM_API MMRESULT waveOutSetVolume(HWAVEOUT handle, DWORD volume);
SKV_PLATFORM_API MMRESULT waveOutGetErrorTextA(MMRESULT error, LPSTR text, UINT size);

// ---- multimedia timers ----------------------------------------------------------------------
// timeSetEvent calls `callback` (or, with TIME_CALLBACK_EVENT_SET, sets the event it names) `delay`
// milliseconds from now on the platform clock, once (TIME_ONESHOT) or every `delay` milliseconds
// (TIME_PERIODIC), always on the one timer thread, which is created at the first use and lives with
// the process. On the virtual clock that thread takes part like any other, so callbacks come at
// exactly their times. A periodic timer's next time counts from the time it was due, not from when
// its callback ended; one that fell more than a period behind (a slow callback on the real clock)
// comes once, at once, rather than in a burst. The resolution is accepted and not used. Answers the
// timer's identifier (never 0), or 0 for a delay of 0 or a missing callback.
//
// timeKillEvent stops a timer: its callback is not called again. Called from another thread
// while that timer's callback runs, it returns once the callback has returned, so that the
// caller may free what the callback uses; from inside the callback it returns at once.
typedef void(CALLBACK* LPTIMECALLBACK)(UINT timerId, UINT message, DWORD_PTR user, DWORD_PTR dw1,
                                       DWORD_PTR dw2);
#define TIME_ONESHOT 0x0000u
#define TIME_PERIODIC 0x0001u
#define TIME_CALLBACK_FUNCTION 0x0000u
#define TIME_CALLBACK_EVENT_SET 0x0010u
#define TIME_KILL_SYNCHRONOUS 0x0100u
SKV_PLATFORM_API MMRESULT timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK callback,
                                       DWORD_PTR user, UINT flags);
SKV_PLATFORM_API MMRESULT timeKillEvent(UINT timerId);

} // extern "C"

#define waveOutGetErrorText waveOutGetErrorTextA

namespace skv::platform {

enum class WaveBackend { Null, Capture, Sdl };

// Chooses the backend for handles opened from now on (handles already open keep theirs). False,
// with the reason in `error`, when SDL2 cannot start its audio; the backend is then null.
SKV_PLATFORM_API bool selectWaveOutput(WaveBackend backend, std::string* error = nullptr);
// The backend new handles get, chosen by the default rule above if none is yet.
SKV_PLATFORM_API WaveBackend currentWaveOutput();

// One buffer as the capture backend played it: the samples that were heard, with the volume of
// each moment applied, from when it started (milliseconds on the platform clock) until it ended
// or was reset. A looping buffer holds every pass it made.
struct PlayedWave {
    uint64_t startMs = 0;
    WAVEFORMATEX format{};
    std::vector<uint8_t> samples;
    // The system's own sound (MessageBeep's tone), not the program's: kept, but left out of the
    // WAV file, which holds what the program played.
    bool system = false;
};

// Everything the capture backend has played, in play order, up to now.
SKV_PLATFORM_API std::vector<PlayedWave> waveCapture();
SKV_PLATFORM_API void clearWaveCapture();
// Writes the capture as a WAV file (docs/sound.md): the buffers of the first one's format in
// play order, and a chunk of their start times. False, with the reason in `error`, when nothing
// was captured or the file cannot be written.
SKV_PLATFORM_API bool saveWaveCapture(const std::string& path, std::string* error = nullptr);

} // namespace skv::platform
