#pragma once

#include <QString>

namespace ovlin {

// Starts Ovlin when the user logs in, through an XDG autostart entry
// ($XDG_CONFIG_HOME/autostart/<app id>.desktop). Registering and unregistering are idempotent.
class LoginItem
{
public:
    // `executable` must be an absolute path; by default the running program.
    explicit LoginItem(QString appId = QStringLiteral(OVLIN_APP_ID), QString executable = {});

    QString entryPath() const;
    QString executable() const { return m_executable; }
    bool isRegistered() const;

    // Writes the entry atomically. False, with errorString() set, when it could not be written.
    bool register_();
    // Removes the entry; true when there is none afterwards.
    bool unregister();
    QString errorString() const { return m_error; }

    // The whole entry as written by register_().
    QString entryContents() const;
    // `program` as the value of an Exec key: quoted and escaped by the desktop-entry rules when needed.
    static QString execValue(const QString &program);

private:
    QString m_appId;
    QString m_executable;
    QString m_error;
};

} // namespace ovlin
