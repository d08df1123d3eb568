// ovlin-gallery: renders every registered design-system page offscreen and writes one PNG per page.
//   ovlin-gallery <output folder> [--scale N] [--only NAME...]
// Exits non-zero when a page could not be written or anything logged a warning.
#include "GalleryPage.h"
#include "GalleryRegistry.h"

#include "DesignSystem/Motion.h"
#include "DesignSystem/OvlinStyle.h"
#include "DesignSystem/ThemeFonts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <memory>

namespace {
// Any warning while rendering is a fault the gallery reports (the offscreen platform's notes about what
// it cannot do excepted).
int g_warnings = 0;
QtMessageHandler g_previousHandler = nullptr;

void countWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg && !message.startsWith(QLatin1String("This plugin does not support")))
        ++g_warnings;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}
void settle()
{
    for (int turn = 0; turn < 6; ++turn) {
        QApplication::sendPostedEvents();
        QApplication::processEvents();
    }
}

} // namespace

int main(int argc, char *argv[])
{
    // Pages build real screens that read and write settings: keep them away from the user's own files,
    // before anything can cache a path.
    const QTemporaryDir sandbox;
    if (!sandbox.isValid())
        return 1;
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
        qputenv(name, QFile::encodeName(sandbox.path() + QLatin1Char('/') + QLatin1String(name)));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream err(stderr);

    QStringList args = QApplication::arguments().mid(1);
    QString outDir;
    double scale = 2;
    QStringList only;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--scale") && i + 1 < args.size())
            scale = std::max(1.0, args[++i].toDouble());
        else if (args[i] == QLatin1String("--only") && i + 1 < args.size())
            only << args[++i];
        else if (outDir.isEmpty())
            outDir = args[i];
    }
    if (outDir.isEmpty()) {
        err << "usage: ovlin-gallery <output folder> [--scale N] [--only NAME...]\n";
        return 2;
    }
    if (!QDir().mkpath(outDir)) {
        err << "cannot create " << outDir << "\n";
        return 1;
    }

    g_previousHandler = qInstallMessageHandler(countWarnings);
    ovlin::Motion::setAnimationsEnabled(false);
    ovlin::ThemeFonts::ensureLoaded();
    ovlin::OvlinStyle::applyToApplication();

    int written = 0;
    for (const auto &page : ovlin::gallery::pages()) {
        if (!only.isEmpty() && !only.contains(page.name))
            continue;
        std::unique_ptr<QWidget> widget(page.build());
        widget->setAttribute(Qt::WA_DontShowOnScreen);
        widget->show();
        // Not adjustSize(): that keeps a window within part of the (small) offscreen screen.
        QSize wanted = widget->sizeHint().expandedTo(widget->minimumSizeHint());
        if (widget->hasHeightForWidth())
            wanted.setHeight(std::max(wanted.height(), widget->heightForWidth(wanted.width())));
        widget->resize(wanted);
        // Queued rebuilds, the showing of new rows and the layouts they start each take a turn of the
        // event loop: let them all settle, or a page is drawn half laid out.
        settle();
        ovlin::gallery::applyPendingFocus(widget.get());
        settle();
        const QSize size = widget->size();
        QImage image(size * scale, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::transparent);
        widget->render(&image);
        const QString file = QDir(outDir).filePath(page.name + QStringLiteral(".png"));
        if (!image.save(file)) {
            err << "cannot write " << file << "\n";
            return 1;
        }
        ++written;
    }
    QTextStream(stdout) << "wrote " << written << " page(s) to " << outDir << "\n";
    if (g_warnings > 0) {
        err << g_warnings << " warning(s) while rendering\n";
        return 3;
    }
    return written > 0 ? 0 : 1;
}
