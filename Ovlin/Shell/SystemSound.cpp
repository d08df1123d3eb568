#include "Shell/SystemSound.h"

#include "Base/Log.h"
#include "Base/MainThread.h"

#include <QStandardPaths>

#include <canberra.h>

namespace ovlin {

// One libcanberra context for every sound; opened on the first play.
struct CanberraSoundLibrary::Context
{
    ca_context *context = nullptr;
    bool failed = false;
    uint32_t nextId = 1;

    ~Context()
    {
        if (context)
            ca_context_destroy(context);
    }

    ca_context *get()
    {
        if (context || failed)
            return context;
        if (ca_context_create(&context) != CA_SUCCESS) {
            context = nullptr;
            failed = true;
            qCDebug(lcApp) << "No sound: libcanberra has no context";
            return nullptr;
        }
        ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "Ovlin", CA_PROP_APPLICATION_ID, OVLIN_APP_ID,
                                nullptr);
        return context;
    }

    bool play(uint32_t id, const QString &eventId)
    {
        ca_context *c = get();
        if (!c)
            return false;
        const int result = ca_context_play(c, id, CA_PROP_EVENT_ID, eventId.toUtf8().constData(),
                                           CA_PROP_EVENT_DESCRIPTION, "Sound preview", nullptr);
        if (result != CA_SUCCESS)
            qCDebug(lcApp) << "Sound" << eventId << "not played:" << ca_strerror(result);
        return result == CA_SUCCESS;
    }

    void cancel(uint32_t id)
    {
        if (context)
            ca_context_cancel(context, id);
    }
};

namespace {

class CanberraSound final : public SystemSound
{
public:
    CanberraSound(std::shared_ptr<CanberraSoundLibrary::Context> context, QString name, QString eventId)
        : m_context(std::move(context)), m_name(std::move(name)), m_eventId(std::move(eventId)),
          m_id(m_context->nextId++)
    {
    }
    ~CanberraSound() override = default;

    QString name() const override { return m_name; }
    void play() override
    {
        OVLIN_ASSERT_MAIN_THREAD();
        m_context->play(m_id, m_eventId);
    }
    void stop() override
    {
        OVLIN_ASSERT_MAIN_THREAD();
        m_context->cancel(m_id);
    }

private:
    std::shared_ptr<CanberraSoundLibrary::Context> m_context;
    QString m_name;
    QString m_eventId;
    uint32_t m_id;
};

} // namespace

SoundLibrary &SoundLibrary::shared()
{
    static CanberraSoundLibrary *library = new CanberraSoundLibrary;
    return *library;
}

CanberraSoundLibrary::CanberraSoundLibrary() : m_context(std::make_shared<Context>())
{
}

CanberraSoundLibrary::~CanberraSoundLibrary() = default;

QString CanberraSoundLibrary::eventId(const QString &name)
{
    if (name == QLatin1String("Glass"))
        return QStringLiteral("complete");
    if (name == QLatin1String("Basso"))
        return QStringLiteral("dialog-warning");
    if (name == QLatin1String("Ping"))
        return QStringLiteral("message-new-instant");
    if (name == QLatin1String("Pop"))
        return QStringLiteral("message");
    return {};
}

QString CanberraSoundLibrary::soundFile(const QString &eventId)
{
    if (eventId.isEmpty())
        return {};
    for (const char *suffix : {".oga", ".ogg", ".wav"}) {
        const QString found =
            QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                   QStringLiteral("sounds/freedesktop/stereo/") + eventId + QLatin1String(suffix));
        if (!found.isEmpty())
            return found;
    }
    return {};
}

std::shared_ptr<SystemSound> CanberraSoundLibrary::soundNamed(const QString &name)
{
    OVLIN_ASSERT_MAIN_THREAD();
    const QString id = eventId(name);
    if (soundFile(id).isEmpty())
        return nullptr;
    return std::make_shared<CanberraSound>(m_context, name, id);
}

void CanberraSoundLibrary::alertBeep()
{
    OVLIN_ASSERT_MAIN_THREAD();
    // Not cancellable, so it gets an identifier of its own.
    m_context->play(0, QStringLiteral("bell"));
}

} // namespace ovlin
