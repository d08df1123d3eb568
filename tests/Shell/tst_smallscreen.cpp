// Ovlin on a screen smaller than its window's usual size: an 800x600 X server with a window manager
// (tests/with-display x11-wm, WITH_DISPLAY_SCREEN=800x600), whose title bar is known only once the
// window is mapped.
#include "Shell/ShellTestSupport.h"

#include "Base/Clock.h"
#include "Base/Defaults.h"
#include "DesignSystem/Motion.h"
#include "Shell/AppDelegate.h"
#include "Shell/OvlinApp.h"

#include <QScreen>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>

using namespace ovlin;
using namespace shelltest;

namespace {
// How long the window manager may take to frame and place the window on a loaded machine; the waits
// end as soon as it has.
constexpr int kSettle = 30000;
} // namespace

class TestSmallScreen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        Motion::setAnimationsEnabled(false);
        Clock::setNow(enginetest::at(QDate(2026, 6, 10), 14, 0));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        Defaults::resetSharedForTesting();
        enginetest::resetSettings({{QStringLiteral("hasCompletedOnboarding"), true}});
    }

    void windowOpensInsideTheScreenWithItsTitleBar()
    {
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY2(available.height() < OvlinApp::idealHeight + 40,
                 "the screen is meant to be smaller than the window with its title bar");
        OvlinApp app(std::make_unique<AppDelegate>(enginetest::openStore(), fakeServices(std::make_shared<Journal>())));
        app.start();
        ContentView *window = app.mainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window, kSettle));
        QWindow *handle = window->windowHandle();
        QTRY_VERIFY_WITH_TIMEOUT(handle->frameMargins().top() > 0, kSettle);
        QTRY_VERIFY2_WITH_TIMEOUT(available.contains(handle->frameGeometry()),
                                  qPrintable(QStringLiteral("frame %1,%2 %3x%4")
                                                 .arg(handle->frameGeometry().x())
                                                 .arg(handle->frameGeometry().y())
                                                 .arg(handle->frameGeometry().width())
                                                 .arg(handle->frameGeometry().height())),
                                  kSettle);
        // As large as the screen allows, never below the minimum.
        QTRY_COMPARE_WITH_TIMEOUT(handle->frameGeometry().height(), available.height(), kSettle);
        QVERIFY(window->width() >= OvlinApp::minimumWidth && window->height() >= OvlinApp::minimumHeight);
    }

private:
    QTemporaryDir m_config;
};

QTEST_MAIN(TestSmallScreen)
#include "tst_smallscreen.moc"
