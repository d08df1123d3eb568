#include "Rewards/ImageFileChooser.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMimeDatabase>
#include <QPointer>

namespace ovlin {

std::shared_ptr<ImageFileChooser> ImageFileChooser::fileDialog()
{
    return std::make_shared<FileDialogImageChooser>();
}

QStringList ImageFileChooser::mimeTypes()
{
    return {QStringLiteral("image/jpeg"), QStringLiteral("image/png"), QStringLiteral("image/heic"),
            QStringLiteral("image/webp")};
}

QString ImageFileChooser::nameFilter()
{
    static const QString filter = [] {
        const QMimeDatabase database;
        QStringList patterns;
        for (const QString &name : mimeTypes()) {
            const QMimeType type = database.mimeTypeForName(name);
            for (const QString &pattern : type.globPatterns()) {
                if (!patterns.contains(pattern))
                    patterns << pattern;
            }
        }
        // Without a MIME database the usual extensions still work.
        for (const char *pattern : {"*.jpg", "*.jpeg", "*.png", "*.heic", "*.webp"}) {
            if (!patterns.contains(QLatin1String(pattern)))
                patterns << QLatin1String(pattern);
        }
        return QCoreApplication::translate("ImageFileChooser", "Images (%1)").arg(patterns.join(QLatin1Char(' ')));
    }();
    return filter;
}

std::optional<QString> FileDialogImageChooser::chooseImageFile(QWidget *parent)
{
    // On the heap and watched: the parent may go away while the dialog runs its own event loop.
    QPointer<QFileDialog> dialog = new QFileDialog(parent);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilter(nameFilter());
    const int response = dialog->exec();
    if (!dialog)
        return std::nullopt;
    const QStringList files = dialog->selectedFiles();
    delete dialog.data();
    if (response != QDialog::Accepted || files.isEmpty())
        return std::nullopt;
    return files.constFirst();
}

} // namespace ovlin
