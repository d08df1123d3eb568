#include "Platform/LoginItem.h"

#include "Base/Log.h"
#include "Base/UserFiles.h"
#include "Base/UserFolders.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace ovlin {

namespace {

// Characters that make an Exec argument need double quotes.
bool needsQuoting(QChar c)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    return reserved.contains(c);
}

} // namespace

LoginItem::LoginItem(QString appId, QString executable) : m_appId(std::move(appId)), m_executable(std::move(executable))
{
    if (m_executable.isEmpty())
        m_executable = QCoreApplication::applicationFilePath();
}

QString LoginItem::entryPath() const
{
    return userFolder(UserFolder::config) + QStringLiteral("/autostart/") + m_appId + QStringLiteral(".desktop");
}

bool LoginItem::isRegistered() const
{
    return QFileInfo(entryPath()).isFile();
}

QString LoginItem::execValue(const QString &program)
{
    // First the argument quoting of the Exec key, then the escapes of any string value.
    QString argument;
    bool quote = false;
    for (const QChar c : program) {
        if (needsQuoting(c))
            quote = true;
        if (c == u'%')
            argument += QStringLiteral("%%"); // not a field code
        else if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            argument += u'\\' + QString(c);
        else
            argument += c;
    }
    if (quote)
        argument = u'"' + argument + u'"';

    QString value;
    for (const QChar c : argument) {
        if (c == u'\\')
            value += QStringLiteral("\\\\");
        else if (c == u'\n')
            value += QStringLiteral("\\n");
        else if (c == u'\t')
            value += QStringLiteral("\\t");
        else if (c == u'\r')
            value += QStringLiteral("\\r");
        else
            value += c;
    }
    return value;
}

QString LoginItem::entryContents() const
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Ovlin\n"
                          "Exec=%1\n"
                          "Icon=%2\n"
                          "Terminal=false\n")
        .arg(execValue(m_executable), m_appId);
}

bool LoginItem::register_()
{
    m_error.clear();
    if (!QFileInfo(m_executable).isAbsolute()) {
        m_error = QStringLiteral("The program path is not absolute: %1").arg(m_executable);
        qCWarning(lcApp).noquote() << "Login item not registered:" << m_error;
        return false;
    }
    const QString path = entryPath();
    const QString folder = QFileInfo(path).absolutePath();
    if (!makePrivateFolder(folder, &m_error)) {
        qCWarning(lcApp).noquote() << "Login item not registered:" << m_error;
        return false;
    }
    const QFileDevice::Permissions mode =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    if (!saveFileAtomically(path, entryContents().toUtf8(), mode, &m_error)) {
        qCWarning(lcApp).noquote() << "Login item not registered:" << path << m_error;
        return false;
    }
    return true;
}

bool LoginItem::unregister()
{
    m_error.clear();
    const QString path = entryPath();
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    QFile file(path);
    if (!file.remove()) {
        m_error = file.errorString();
        qCWarning(lcApp).noquote() << "Login item not unregistered:" << path << m_error;
        return false;
    }
    return true;
}

} // namespace ovlin
