#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QWidget;

namespace ovlin {

// Asks the user for one image file. The editor calls it modally and carries on with the answer; tests
// give the editor their own chooser.
class ImageFileChooser
{
public:
    virtual ~ImageFileChooser() = default;
    // The chosen file's path, or none when the user cancelled.
    virtual std::optional<QString> chooseImageFile(QWidget *parent) = 0;

    // The chooser the application uses: the file dialog.
    static std::shared_ptr<ImageFileChooser> fileDialog();
    // The offered types, in order: JPEG, PNG, HEIC, WebP.
    static QStringList mimeTypes();
    // One filter of every file name pattern of the offered types.
    static QString nameFilter();
};

// One image file chosen in a QFileDialog: files only, no multiple selection.
class FileDialogImageChooser final : public ImageFileChooser
{
public:
    std::optional<QString> chooseImageFile(QWidget *parent) override;
};

} // namespace ovlin
