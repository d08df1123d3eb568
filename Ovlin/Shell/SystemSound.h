#pragma once

#include <QString>

#include <memory>

namespace ovlin {

// A short event sound that can be started and stopped.
class SystemSound
{
public:
    virtual ~SystemSound() = default;
    virtual QString name() const = 0;
    virtual void play() = 0;
    virtual void stop() = 0;
};

// The sounds of the desktop, by name. A missing sound or no audio device is not an error: nothing plays.
class SoundLibrary
{
public:
    virtual ~SoundLibrary() = default;

    // The desktop's sounds through libcanberra, created on first use.
    static SoundLibrary &shared();

    // The sound called `name` ("Glass", "Basso", "Ping", "Pop"), or null when the desktop has none.
    virtual std::shared_ptr<SystemSound> soundNamed(const QString &name) = 0;
    // The desktop's alert sound.
    virtual void alertBeep() = 0;
};

// Plays event sounds of the freedesktop sound theme through libcanberra.
class CanberraSoundLibrary : public SoundLibrary
{
public:
    CanberraSoundLibrary();
    ~CanberraSoundLibrary() override;
    CanberraSoundLibrary(const CanberraSoundLibrary &) = delete;
    CanberraSoundLibrary &operator=(const CanberraSoundLibrary &) = delete;

    std::shared_ptr<SystemSound> soundNamed(const QString &name) override;
    void alertBeep() override;

    // The theme's event sound that stands for `name`; empty for a name we do not know.
    static QString eventId(const QString &name);
    // The file of an event sound in the installed freedesktop theme; empty when it is not installed.
    static QString soundFile(const QString &eventId);

    struct Context;

private:
    std::shared_ptr<Context> m_context;
};

} // namespace ovlin
