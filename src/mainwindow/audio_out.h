#pragma once

// The sound device as the main window uses it. Qt Multimedia lives behind this in a module of its
// own (quillfen_audio_out, beside the program), loaded on the first play: a session that never
// plays neither loads it nor the sound-server client it brings.

#include <QByteArray>

#include <functional>

namespace quillfen {

class AudioOut
{
public:
    virtual ~AudioOut() = default;
    // Whether there is a default output device to play on.
    virtual bool hasDevice() = 0;
    // Plays interleaved 16-bit samples on the default device. False when the device refuses them.
    // `finished` is called, later and once, when they have played to the end or the device went away;
    // never after stop().
    virtual bool start(const QByteArray& pcm, int sampleRate, int channels,
                       std::function<void()> finished) = 0;
    virtual void stop() = 0;
};

// The module's one entry point, found by this name: a new AudioOut, owned by the caller.
using CreateAudioOut = AudioOut* (*)();
inline constexpr char kCreateAudioOut[] = "quillfenCreateAudioOut";
// In a folder of its own below the program directory: a shared object right under /usr/lib/PACKAGE
// would make the package run ldconfig, for a module that no other program may load.
inline constexpr char kAudioOutModule[] = "modules/quillfen_audio_out";

} // namespace quillfen
