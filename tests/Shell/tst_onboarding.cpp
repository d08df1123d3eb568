#include "Support/EngineTestSupport.h"

#include "Base/Defaults.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/OvlinButton.h"
#include "Model/AppSettings.h"
#include "Shell/OnboardingView.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace ovlin;

class TestOnboarding : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_config;
    bool m_presented = true;
    QStringList m_signals;

    std::unique_ptr<OnboardingView> makeView()
    {
        auto view = std::make_unique<OnboardingView>(Binding<bool>::of(&m_presented),
                                                     [this](const QString &name) { m_signals << name; });
        view->resize(view->sizeHint());
        view->show();
        return view;
    }

private Q_SLOTS:
    void init()
    {
        Motion::setAnimationsEnabled(false);
        m_config = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config->path()));
        Defaults::resetSharedForTesting();
        enginetest::resetSettings();
        m_presented = true;
        m_signals.clear();
    }

    void pages_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("illustration");
        QTest::addColumn<QString>("cta");
        QTest::addColumn<QString>("ctaLabel");
        QTest::addColumn<bool>("skip");
        auto row = [](const char *name, int page, const QString &title, const QString &illustration, const QString &cta,
                      const QString &ctaLabel,
                      bool skip) { QTest::newRow(name) << page << title << illustration << cta << ctaLabel << skip; };
        row("first", 0, "Hey. I'm Ovlin.", "OvliIllu1", "Continue", "Continue", true);
        row("second", 1, "One habit. Just one.", "OvliIllu5", "Continue", "Continue", true);
        row("last", 2, "Pick a real reward.", "OvliIllu11", "Let's do this", "Get started with Ovlin", false);
    }

    void pages()
    {
        QFETCH(int, page);
        QFETCH(QString, title);
        QFETCH(QString, illustration);
        QFETCH(QString, cta);
        QFETCH(QString, ctaLabel);
        QFETCH(bool, skip);
        auto view = makeView();
        for (int i = 0; i < page; ++i)
            view->ctaButton()->click();
        QCOMPARE(view->currentPage(), page);
        QCOMPARE(view->shownTitle(), title);
        QCOMPARE(view->shownBody(), OnboardingView::pages().at(page).body);
        QCOMPARE(view->shownIllustration(), illustration);
        QCOMPARE(view->ctaButton()->title(), cta);
        QCOMPARE(view->ctaButton()->accessibleName(), ctaLabel);
        QCOMPARE(view->skipButton() != nullptr, skip);
        if (skip) {
            QVERIFY(view->skipButton()->isVisibleTo(view.get()));
            QCOMPARE(view->skipButton()->title(), QStringLiteral("Skip for now"));
            QCOMPARE(view->skipButton()->accessibleName(), QStringLiteral("Skip onboarding"));
        }
        QCOMPARE(view->pageDots()->accessibleName(), QStringLiteral("Page %1 of 3").arg(page + 1));
        // Moving on finishes nothing before the last page.
        QVERIFY(m_presented);
        QVERIFY(m_signals.isEmpty());
        QVERIFY(!AppSettings::shared().hasCompletedOnboarding());
    }

    void finishing_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("bySkip");
        QTest::newRow("skip on the first page") << 0 << true;
        QTest::newRow("skip on the second page") << 1 << true;
        QTest::newRow("button on the last page") << 2 << false;
    }

    void finishing()
    {
        QFETCH(int, page);
        QFETCH(bool, bySkip);
        auto view = makeView();
        for (int i = 0; i < page; ++i)
            view->ctaButton()->click();
        OvlinButton *button = bySkip ? view->skipButton() : view->ctaButton();
        button->click();
        QVERIFY(AppSettings::shared().hasCompletedOnboarding());
        QCOMPARE(Defaults::standard().boolValue(QStringLiteral("hasCompletedOnboarding")), std::optional<bool>(true));
        QCOMPARE(m_signals, QStringList{"onboarding.completed"});
        QVERIFY(!m_presented);
        // A second press while the sheet goes away counts for nothing.
        button->click();
        QCOMPARE(m_signals.size(), 1);
    }

    void sheetSize()
    {
        auto view = makeView();
        QCOMPARE(view->width(), 480);
        const int first = view->heightForWidth(480);
        QVERIFY(first > 232 + 2 * 32);
        view->ctaButton()->click();
        view->ctaButton()->click();
        // Without the skip button the last page is shorter.
        QVERIFY2(view->heightForWidth(480) < first,
                 qPrintable(QString("%1 vs %2").arg(view->heightForWidth(480)).arg(first)));
    }

    void everyPresentationStartsOnTheFirstPage()
    {
        {
            auto view = makeView();
            view->ctaButton()->click();
            QCOMPARE(view->currentPage(), 1);
        }
        auto again = makeView();
        QCOMPARE(again->currentPage(), 0);
    }

    void animatedPageChangesEndOnTheNewPage()
    {
        Motion::setAnimationsEnabled(true);
        auto view = makeView();
        view->ctaButton()->click();
        QCOMPARE(view->currentPage(), 1);
        QCOMPARE(view->shownTitle(), QStringLiteral("One habit. Just one."));
        Motion::setAnimationsEnabled(false);
    }
};

QTEST_MAIN(TestOnboarding)
#include "tst_onboarding.moc"
