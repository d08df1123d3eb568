#pragma once

#include "Base/Clock.h"
#include "Base/Days.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/ThemeFonts.h"
#include "Model/Enums.h"
#include "Model/Milestone.h"
#include "Model/MilestoneLog.h"
#include "Platform/Store.h"
#include "Rewards/ImageFileChooser.h"

#include <QBuffer>
#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QString>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

#include <memory>
#include <optional>

// Shared helpers of the rewards tests. They run under TZ=Europe/Berlin.
namespace rewardstest {

using namespace ovlin;

// The moment every rewards test pins the clock to.
inline const QDateTime testNow = QDateTime(QDate(2026, 6, 10), QTime(14, 30));

// Widget tests draw without animation and with the bundled fonts.
inline void prepareWidgets()
{
    Motion::setAnimationsEnabled(false);
    ThemeFonts::ensureLoaded();
}

// A store file in a temporary folder (a real SQLite file), reopened on demand to see what reached disk.
class FileStore
{
public:
    FileStore() { open(); }

    StoreContext *context() const { return m_container ? m_container->mainContext() : nullptr; }
    QString path() const { return m_dir.filePath(QStringLiteral("Rewards.store")); }
    QString folder() const { return m_dir.path(); }

    // Closes the store and opens the file again: only saved changes survive.
    void reopen()
    {
        m_container.reset();
        open();
    }

private:
    void open()
    {
        QString error;
        m_container = StoreContainer::open(path(), &error);
        if (!m_container)
            qWarning() << "store did not open:" << error;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<StoreContainer> m_container;
};

struct MilestoneSpec
{
    QString name = QStringLiteral("Burger run");
    QString reward = QStringLiteral("Burger run");
    qint64 requireDays = 10;
    double requirePercent = 0.8;
    std::optional<QString> linkedCategoryRaw = std::nullopt;
    QDateTime startDate = QDateTime(QDate(2026, 3, 1), QTime(9, 0));
    QString statusRaw = QStringLiteral("active");
    std::optional<QByteArray> thumbnailData = std::nullopt;
};

inline std::shared_ptr<Milestone> makeMilestone(StoreContext *context, const MilestoneSpec &spec = {})
{
    auto milestone = Milestone::create(QUuid::createUuid(), spec.name, spec.reward, spec.requireDays,
                                       spec.requirePercent, std::nullopt, spec.startDate, MilestoneStatus::active);
    milestone->setLinkedCategoryRaw(spec.linkedCategoryRaw);
    milestone->setStatusRaw(spec.statusRaw);
    milestone->setThumbnailData(spec.thumbnailData);
    if (context)
        context->insert(milestone);
    return milestone;
}

// Day logs that met the threshold on the `count` days before `today` (and today as well when asked).
inline void addMetDays(const std::shared_ptr<Milestone> &milestone, int count, const QDateTime &today,
                       bool includingToday = false)
{
    const QDateTime start = Days::startOfDay(today);
    if (includingToday)
        MilestoneLog::create(QUuid::createUuid(), milestone, start, 1.0, true);
    for (int i = 1; i <= count; ++i)
        MilestoneLog::create(QUuid::createUuid(), milestone, Days::addDays(start, -i), 0.9, true);
}

// An image of the given size, encoded in `format`: a gradient with a few shapes, so JPEG has work to do.
inline QByteArray encodedImage(const QSize &size, const char *format, bool alpha = false)
{
    QImage image(size, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    image.fill(alpha ? QColor(0, 0, 0, 0) : QColor(0x40, 0x80, 0xC0));
    {
        QPainter p(&image);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xF0, 0xA0, 0x30));
        p.drawEllipse(QRect(QPoint(0, 0), size / 2));
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return file.write(bytes) == bytes.size();
}

inline QSize imageSize(const QByteArray &bytes)
{
    QImage image;
    image.loadFromData(bytes);
    return image.size();
}

inline QByteArray imageFormat(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader::imageFormat(&buffer);
}

// Answers the editor's question for an image file with a fixed path (or a cancel), counting the questions.
class FakeChooser final : public ImageFileChooser
{
public:
    explicit FakeChooser(std::optional<QString> path = std::nullopt) : answer(std::move(path)) {}
    std::optional<QString> chooseImageFile(QWidget *) override
    {
        ++asked;
        return answer;
    }

    std::optional<QString> answer;
    int asked = 0;
};

} // namespace rewardstest
