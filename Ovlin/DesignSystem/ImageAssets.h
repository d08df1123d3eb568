#pragma once

#include <QIcon>
#include <QPixmap>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;

namespace ovlin {

// Ovlin's own artwork under Assets/images, by the names the screens use: "OvlinLogo", "OvlinThumb",
// "HeaderCard", "OvliIllu1", "OvliIllu5", "OvliIllu11", and the application icon. An unknown name draws a
// visible placeholder and logs once.
struct ImageAssets
{
    static bool contains(const QString &name);
    static QStringList names();
    static QString resourcePath(const QString &name);
    // The artwork's own size in logical pixels (its aspect ratio).
    static QSizeF naturalSize(const QString &name);

    // Draws the image into `rect`: Qt::IgnoreAspectRatio stretches it, KeepAspectRatio fits it and
    // KeepAspectRatioByExpanding fills it (cropped to `rect`); `alignment` places a fitted image.
    static void paint(QPainter &p, const QRectF &rect, const QString &name,
                      Qt::AspectRatioMode mode = Qt::KeepAspectRatio, Qt::Alignment alignment = Qt::AlignCenter);
    static QPixmap pixmap(const QString &name, const QSize &size, double devicePixelRatio = 1);

    static QString appIconName() { return QStringLiteral("org.ovlin.Ovlin"); }
    // The application icon (the installed theme icon when there is one, else the built-in artwork).
    static QIcon appIcon();
};

} // namespace ovlin
