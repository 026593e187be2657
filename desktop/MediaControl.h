// What the desktop's media controls may read from the viewer and ask of it: the small
// interface between the MPRIS service and the main window. Every call is made on the UI
// thread.
#pragma once

#include <cstdint>
#include <string>

namespace kirvano {

struct MediaState {
    enum class Status { Stopped, Playing, Paused };
    Status status = Status::Stopped;
    bool hasRecording = false;
    std::string recordingName; // the front movie's file name; names the track
    std::string title;         // as the recording list shows it
    std::string startTime;     // "YYYY-MM-DDTHH:MM:SS" on the recorder's clock; empty if unknown
    std::int64_t positionUs = 0;
    std::int64_t lengthUs = 0;
    double volume = 1.0; // 0..1
    double rate = 1.0;
    bool canGoNext = false;
    bool canGoPrevious = false;
    bool canPlay = false;
    bool canPause = false;
    bool canSeek = false;
    bool operator==(const MediaState&) const = default;
};

class MediaControl {
public:
    virtual ~MediaControl() = default;
    virtual MediaState State() = 0;
    // Each runs as the matching button would, with its guards; a refused request does nothing.
    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void PlayPause() = 0;
    virtual void Stop() = 0;
    virtual void Next() = 0;
    virtual void Previous() = 0;
    virtual void SeekTo(std::int64_t positionUs) = 0;
    virtual void SetVolume(double volume) = 0;
    virtual void Raise() = 0;
    virtual void Quit() = 0;
};

} // namespace kirvano
