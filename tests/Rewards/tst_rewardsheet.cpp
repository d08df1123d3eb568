// The reward editor sheet through its controls: what it shows when creating and editing, the save button's
// state, steps and threshold labels, the category menu, picking and removing a picture through an injected
// chooser (real files in a temporary folder), saving, cancelling, closing and the analytics signal.
#include "Support/RewardsTestSupport.h"

#include "DesignSystem/OvlinButton.h"
#include "DesignSystem/OvlinMenuField.h"
#include "DesignSystem/OvlinSliderControl.h"
#include "DesignSystem/OvlinStepperField.h"
#include "DesignSystem/OvlinText.h"
#include "Rewards/MilestoneFormView.h"
#include "Rewards/MilestoneFormViewModel.h"
#include "ScreenParts/RewardImage.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QtTest>

#include <cmath>

using namespace ovlin;
using namespace rewardstest;

namespace {

// The start of an ISO media file: its "ftyp" box (major brand, minor version, compatible brands), with a
// 64-bit size if asked, then an empty data box.
QByteArray isoMedia(const QByteArray &major, const QList<QByteArray> &compatible, bool largeSize = false,
                    const QByteArray &minorVersion = QByteArray(4, '\0'))
{
    QByteArray brands = major + minorVersion;
    for (const QByteArray &brand : compatible)
        brands += brand;
    QByteArray box;
    if (largeSize) {
        box = QByteArray("\0\0\0\1ftyp", 8);
        const quint64 size = 16 + brands.size();
        for (int shift = 56; shift >= 0; shift -= 8)
            box.append(char(size >> shift));
    } else {
        const quint32 size = 8 + brands.size();
        for (int shift = 24; shift >= 0; shift -= 8)
            box.append(char(size >> shift));
        box += "ftyp";
    }
    return box + brands + QByteArray("\0\0\0\x08mdat", 8);
}

// A 1 x 1 GIF: Qt reads GIF, so only the type check keeps it out.
const QByteArray tinyGif =
    QByteArray::fromHex("47494638396101000100800000ffffff00000021f90401000000002c00000000010001000002024401003b");

} // namespace

class TestRewardSheet : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FileStore> m_store;
    QStringList m_signals;
    QTemporaryDir m_files;

    std::unique_ptr<MilestoneFormView> sheet(const std::shared_ptr<Milestone> &milestone,
                                             std::shared_ptr<ImageFileChooser> chooser = nullptr)
    {
        auto view = std::make_unique<MilestoneFormView>(milestone);
        view->setEnvironmentContext(m_store->context());
        view->setSignalSender([this](const QString &name) { m_signals.append(name); });
        if (chooser)
            view->setImageChooser(std::move(chooser));
        view->show();
        QCoreApplication::processEvents();
        return view;
    }

    std::shared_ptr<Milestone> storedReward(const MilestoneSpec &spec = {})
    {
        const auto milestone = makeMilestone(m_store->context(), spec);
        if (!m_store->context()->save())
            qWarning() << "could not save the reward";
        return milestone;
    }

    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_files.filePath(name);
        writeFile(path, bytes);
        return path;
    }

private Q_SLOTS:
    void initTestCase() { prepareWidgets(); }

    void init()
    {
        Clock::setNow(testNow);
        m_store = std::make_unique<FileStore>();
        m_signals.clear();
    }

    void cleanup()
    {
        m_store.reset();
        Clock::useSystemTime();
    }

    void newSheet()
    {
        const auto view = sheet(nullptr);
        QVERIFY(!view->isEditing());
        QCOMPARE(view->titleText(), QStringLiteral("New reward"));
        QCOMPARE(view->nameField()->text(), QString());
        QCOMPARE(view->daysStepper()->valueText(), QStringLiteral("10 days"));
        QCOMPARE(view->thresholdSlider()->slider()->value(), 6);
        QCOMPARE(view->thresholdValueLabel(), QStringLiteral("80%"));
        QCOMPARE(view->thresholdSubtitleText()->text(), QStringLiteral("80% completion required"));
        QCOMPARE(view->categoryMenu()->displayedTitle(), QStringLiteral("All habits"));
        QVERIFY(!view->previewShowsPicture());
        QCOMPARE(view->imageButton()->title(), QStringLiteral("Choose image"));
        QVERIFY(!view->removeButton()->isVisible());
        QCOMPARE(view->saveButton()->title(), QStringLiteral("Save reward"));
        QVERIFY(!view->saveButton()->isEnabled());
        QVERIFY(!view->saveButton()->isDisabled()); // blocked by the platform state, not its own look
    }

    void editSheet()
    {
        const auto milestone = storedReward({.name = QStringLiteral("Spa day"),
                                             .requireDays = 1,
                                             .requirePercent = 0.65,
                                             .linkedCategoryRaw = QStringLiteral("meditation"),
                                             .thumbnailData = encodedImage(QSize(60, 60), "JPEG")});
        const auto view = sheet(milestone);
        QVERIFY(view->isEditing());
        QCOMPARE(view->titleText(), QStringLiteral("Edit reward"));
        QCOMPARE(view->saveButton()->title(), QStringLiteral("Save changes"));
        QCOMPARE(view->nameField()->text(), QStringLiteral("Spa day"));
        QCOMPARE(view->daysStepper()->valueText(), QStringLiteral("1 day"));
        QVERIFY(!view->daysStepper()->canDecrement());
        QCOMPARE(view->thresholdValueLabel(), QStringLiteral("65%"));
        QCOMPARE(view->categoryMenu()->displayedTitle(), QStringLiteral("Meditation"));
        QVERIFY(view->previewShowsPicture());
        QCOMPARE(view->imageButton()->title(), QStringLiteral("Change image"));
        QVERIFY(view->removeButton()->isVisible());
        QVERIFY(view->saveButton()->isEnabled());
    }

    void theContextArrivesWhenShown()
    {
        MilestoneFormView view(nullptr);
        view.setEnvironmentContext(m_store->context());
        QVERIFY(view.viewModel()->modelContext() != m_store->context());
        QVERIFY(view.viewModel()->modelContext() != nullptr); // its placeholder
        view.show();
        QCOMPARE(view.viewModel()->modelContext(), m_store->context());
    }

    void typingEnablesSave_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("nothing") << QString() << false;
        QTest::newRow("blanks") << QStringLiteral("     ") << false;
        QTest::newRow("a letter after blanks") << QStringLiteral("   x") << true;
        QTest::newRow("a word") << QStringLiteral("Burger") << true;
    }

    void typingEnablesSave()
    {
        QFETCH(QString, typed);
        QFETCH(bool, enabled);
        const auto view = sheet(nullptr);
        QTest::keyClicks(view->nameField(), typed);
        QCOMPARE(view->viewModel()->name(), typed);
        QCOMPARE(view->saveButton()->isEnabled(), enabled);
        // A disabled save button cannot be pressed.
        QTest::mouseClick(view->saveButton(), Qt::LeftButton);
        QCOMPARE(view->isVisible(), !enabled);
        QCOMPARE(m_store->context()->fetchCount<Milestone>(), enabled ? 1 : 0);
    }

    void stepperBounds_data()
    {
        QTest::addColumn<qint64>("days");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("minus");
        QTest::addColumn<bool>("plus");
        QTest::newRow("1") << qint64(1) << "1 day" << false << true;
        QTest::newRow("2") << qint64(2) << "2 days" << true << true;
        QTest::newRow("364") << qint64(364) << "364 days" << true << true;
        QTest::newRow("365") << qint64(365) << "365 days" << true << false;
    }

    void stepperBounds()
    {
        QFETCH(qint64, days);
        QFETCH(QString, text);
        QFETCH(bool, minus);
        QFETCH(bool, plus);
        const auto view = sheet(nullptr);
        view->viewModel()->setRequireDays(days);
        QCOMPARE(view->daysStepper()->valueText(), text);
        QCOMPARE(view->daysStepper()->canDecrement(), minus);
        QCOMPARE(view->daysStepper()->canIncrement(), plus);
        QCOMPARE(view->daysStepper()->accessibleName(), QStringLiteral("Required days: %1").arg(days));
        if (plus) {
            QTest::mouseClick(view->daysStepper()->incrementButton(), Qt::LeftButton);
            QCOMPARE(view->viewModel()->requireDays(), days + 1);
        }
    }

    void wholePercentCutsTowardZero_data()
    {
        QTest::addColumn<double>("fraction");
        QTest::addColumn<int>("percent");
        QTest::newRow("0.8") << 0.8 << 80;
        QTest::newRow("0.999") << 0.999 << 99;
        QTest::newRow("0.57 (56.99999... as a product)") << 0.57 << 57;
        QTest::newRow("0.29 (28.99999... as a product)") << 0.29 << 29;
        QTest::newRow("1.0") << 1.0 << 100;
        QTest::newRow("0") << 0.0 << 0;
        QTest::newRow("not a number") << std::nan("") << 0;
        QTest::newRow("infinite") << HUGE_VAL << 0;
        QTest::newRow("far too large") << 1e300 << 1000000000;
    }

    void wholePercentCutsTowardZero()
    {
        QFETCH(double, fraction);
        QFETCH(int, percent);
        QCOMPARE(MilestoneFormView::wholePercent(fraction), percent);
    }

    // Only JPEG, PNG, HEIC and WebP files are taken, told by their bytes, whatever their names say.
    void pickingAPicture_data()
    {
        QTest::addColumn<QString>("name"); // empty: the dialog is cancelled
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("outcome"); // kept, shrunk (stored as JPEG) or asRead
        QTest::addColumn<QSize>("storedSize");
        const QSize none;
        QTest::newRow("cancelled") << "" << QByteArray() << "kept" << none;
        QTest::newRow("4000 x 3000 JPEG")
            << "photo.jpg" << encodedImage(QSize(4000, 3000), "JPEG") << "shrunk" << QSize(512, 384);
        QTest::newRow("PNG") << "drawing.png" << encodedImage(QSize(300, 600), "PNG", true) << "shrunk"
                             << QSize(256, 512);
        QTest::newRow("WebP") << "photo.webp" << encodedImage(QSize(200, 100), "WEBP") << "shrunk" << QSize(200, 100);
        QTest::newRow("JPEG named .txt") << "notes.txt" << encodedImage(QSize(40, 30), "JPEG") << "shrunk"
                                         << QSize(40, 30);
        // Qt on Debian decodes no HEIC: such files are kept as they were read.
        QTest::newRow("HEIC") << "photo.heic" << isoMedia("heic", {"mif1", "heic"}) << "asRead" << none;
        QTest::newRow("HEIC, range extensions")
            << "photo.heic" << isoMedia("heix", {"mif1", "heix"}) << "asRead" << none;
        QTest::newRow("HEIF naming HEIC as compatible")
            << "photo.heif" << isoMedia("mif1", {"mif1", "miaf", "heic"}) << "asRead" << none;
        QTest::newRow("HEIC brand after a 64-bit box size")
            << "photo.heic" << isoMedia("mif1", {"heic"}, true) << "asRead" << none;
        QTest::newRow("truncated JPEG") << "cut.jpg" << encodedImage(QSize(400, 300), "JPEG").left(40) << "asRead"
                                        << none;
        QTest::newRow("AVIF named .heic")
            << "photo.heic" << isoMedia("avif", {"mif1", "miaf", "avif"}) << "kept" << none;
        QTest::newRow("HEIF without HEVC") << "photo.heif" << isoMedia("mif1", {"mif1", "miaf"}) << "kept" << none;
        QTest::newRow("MP4 video named .heic") << "clip.heic" << isoMedia("isom", {"isom", "mp41"}) << "kept" << none;
        QTest::newRow("HEIC brand only as the minor version")
            << "photo.heic" << isoMedia("mif1", {}, false, "heic") << "kept" << none;
        QTest::newRow("text named .png") << "picture.png" << QByteArray("just some words") << "kept" << none;
        QTest::newRow("empty file") << "empty.jpg" << QByteArray() << "kept" << none;
        QTest::newRow("GIF") << "anim.gif" << tinyGif << "kept" << none;
        QTest::newRow("GIF named .jpg") << "anim.jpg" << tinyGif << "kept" << none;
        QTest::newRow("BMP") << "paint.bmp" << encodedImage(QSize(20, 20), "BMP") << "kept" << none;
        QTest::newRow("6,000,000-byte JPEG")
            << "large.jpg" << QByteArray("\xFF\xD8\xFF").leftJustified(6000000, 'x') << "kept" << none;
        QTest::newRow("missing file") << "nowhere.jpg" << QByteArray() << "kept" << none;
    }

    void pickingAPicture()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, outcome);
        QFETCH(QSize, storedSize);
        std::optional<QString> path;
        if (!name.isEmpty())
            path =
                QTest::currentDataTag() == QLatin1String("missing file") ? m_files.filePath(name) : file(name, bytes);

        const QByteArray before = encodedImage(QSize(30, 30), "JPEG");
        const auto chooser = std::make_shared<FakeChooser>(path);
        const auto view = sheet(storedReward({.thumbnailData = before}), chooser);
        QTest::mouseClick(view->imageButton(), Qt::LeftButton);
        QCOMPARE(chooser->asked, 1);

        const auto held = view->viewModel()->thumbnailData();
        QVERIFY(held.has_value());
        if (outcome == QLatin1String("kept")) {
            QCOMPARE(*held, before);
        } else if (outcome == QLatin1String("shrunk")) {
            QCOMPARE(imageFormat(*held), QByteArray("jpeg"));
            QCOMPARE(imageSize(*held), storedSize);
            QVERIFY(view->previewShowsPicture());
        } else {
            QCOMPARE(*held, bytes); // kept as read, shown as the trophy
            QVERIFY(!view->previewShowsPicture());
        }
        QCOMPARE(view->imageButton()->title(), QStringLiteral("Change image"));
        QVERIFY(view->removeButton()->isVisible());
    }

    void pickingIntoANewReward()
    {
        const auto chooser =
            std::make_shared<FakeChooser>(file(QStringLiteral("photo.jpg"), encodedImage(QSize(1200, 900), "JPEG")));
        const auto view = sheet(nullptr, chooser);
        QTest::mouseClick(view->imageButton(), Qt::LeftButton);
        QCOMPARE(view->imageButton()->title(), QStringLiteral("Change image"));
        QVERIFY(view->removeButton()->isVisible());
        QTest::keyClicks(view->nameField(), QStringLiteral("Trip"));
        QTest::mouseClick(view->saveButton(), Qt::LeftButton);
        m_store->reopen();
        const auto saved = m_store->context()->fetch<Milestone>();
        QCOMPARE(saved.size(), 1);
        QCOMPARE(imageSize(saved.first()->thumbnailData().value_or(QByteArray())), QSize(512, 384));
    }

    void removingThePicture_data()
    {
        QTest::addColumn<bool>("save");
        QTest::newRow("then Cancel") << false;
        QTest::newRow("then save") << true;
    }

    void removingThePicture()
    {
        QFETCH(bool, save);
        const QByteArray picture = encodedImage(QSize(30, 30), "JPEG");
        const auto view = sheet(storedReward({.thumbnailData = picture}));
        QTest::mouseClick(view->removeButton(), Qt::LeftButton);
        QCOMPARE(view->viewModel()->thumbnailData(), std::nullopt);
        QVERIFY(!view->removeButton()->isVisible());
        QCOMPARE(view->imageButton()->title(), QStringLiteral("Choose image"));
        QVERIFY(!view->previewShowsPicture());
        QTest::mouseClick(save ? view->saveButton() : view->cancelButton(), Qt::LeftButton);
        QVERIFY(!view->isVisible());
        m_store->reopen();
        QCOMPARE(m_store->context()->fetch<Milestone>().first()->thumbnailData(),
                 save ? std::nullopt : std::optional<QByteArray>(picture));
    }

    void waysOut_data()
    {
        QTest::addColumn<bool>("editing");
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("written");
        QTest::addColumn<int>("signalCount");
        QTest::newRow("new: save") << false << "save" << int(QDialog::Accepted) << true << 1;
        QTest::newRow("new: Cancel") << false << "cancel" << int(QDialog::Rejected) << false << 0;
        QTest::newRow("new: close") << false << "close" << int(QDialog::Rejected) << false << 0;
        QTest::newRow("new: Escape") << false << "escape" << int(QDialog::Rejected) << false << 0;
        QTest::newRow("edit: save") << true << "save" << int(QDialog::Accepted) << true << 0;
        QTest::newRow("edit: Cancel") << true << "cancel" << int(QDialog::Rejected) << false << 0;
        QTest::newRow("edit: close") << true << "close" << int(QDialog::Rejected) << false << 0;
    }

    void waysOut()
    {
        QFETCH(bool, editing);
        QFETCH(QString, control);
        QFETCH(int, result);
        QFETCH(bool, written);
        QFETCH(int, signalCount);
        const auto existing = editing ? storedReward() : nullptr;
        const auto view = sheet(existing);
        view->nameField()->selectAll();
        QTest::keyClicks(view->nameField(), QStringLiteral("Cinema night"));
        if (control == QLatin1String("save"))
            QTest::mouseClick(view->saveButton(), Qt::LeftButton);
        else if (control == QLatin1String("cancel"))
            QTest::mouseClick(view->cancelButton(), Qt::LeftButton);
        else if (control == QLatin1String("close"))
            QTest::mouseClick(view->closeButton(), Qt::LeftButton);
        else
            QTest::keyClick(view.get(), Qt::Key_Escape);
        QVERIFY(!view->isVisible());
        QCOMPARE(view->result(), result);
        QCOMPARE(m_signals.size(), signalCount);
        if (signalCount > 0)
            QCOMPARE(m_signals, QStringList{QStringLiteral("milestone.created")});

        m_store->reopen();
        const auto saved = m_store->context()->fetch<Milestone>();
        QCOMPARE(saved.size(), editing || written ? 1 : 0);
        if (!saved.isEmpty())
            QCOMPARE(saved.first()->name(), written ? QStringLiteral("Cinema night") : QStringLiteral("Burger run"));
    }

    // The chooser runs its own event loop; if the sheet goes away meanwhile nothing may touch it.
    void sheetClosedWhileChoosing()
    {
        class ClosingChooser final : public ImageFileChooser
        {
        public:
            std::optional<QString> chooseImageFile(QWidget *parent) override
            {
                delete parent;
                return path;
            }
            QString path;
        };
        auto chooser = std::make_shared<ClosingChooser>();
        chooser->path = file(QStringLiteral("photo.png"), encodedImage(QSize(50, 50), "PNG"));
        auto *view = new MilestoneFormView(nullptr);
        view->setEnvironmentContext(m_store->context());
        view->setImageChooser(chooser);
        const QPointer<MilestoneFormView> watched(view);
        view->pickRewardImage();
        QVERIFY(!watched);
    }
};

QTEST_MAIN(TestRewardSheet)
#include "tst_rewardsheet.moc"
