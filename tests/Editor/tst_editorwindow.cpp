// The reminder editor's window on an X server with a window manager (tests/with-display x11-wm), clicked
// through the X server as a user clicks: from step to step the sheet keeps its top edge and the footer's
// main button stays under the pointer.
#include "DesignSystem/Motion.h"
#include "DesignSystem/OvlinButton.h"
#include "Editor/ReminderFormFooter.h"
#include "Editor/ReminderFormView.h"
#include "Editor/ReminderFormViewModel.h"
#include "EditorTestSupport.h"
#include "Shell/SheetDialog.h"
#include "Support/DesktopTestSupport.h"

#include <QScreen>
#include <QStyleHints>
#include <QWindow>
#include <QtTest>

using namespace ovlin;
using desktoptest::xdotool;

namespace {

// Where the X server has the window now.
QRect serverGeometry(const QWidget *window)
{
    QString out;
    if (!xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::number(window->winId())},
                 &out))
        return {};
    QMap<QString, int> values;
    for (const QString &line : out.split(QLatin1Char('\n')))
        values.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1).toInt());
    return {values.value(QStringLiteral("X")), values.value(QStringLiteral("Y")), values.value(QStringLiteral("WIDTH")),
            values.value(QStringLiteral("HEIGHT"))};
}

QString text(const QRect &r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// The first step whose rectangle differs from step 1's in `part`, as "step 3: <rect> after <rect>".
template <typename Part> QString firstChange(const QList<QRect> &rects, Part part)
{
    for (qsizetype i = 1; i < rects.size(); ++i)
        if (part(rects.at(i)) != part(rects.first()))
            return QStringLiteral("step %1: %2 after %3").arg(i + 1).arg(text(rects.at(i)), text(rects.first()));
    return {};
}

} // namespace

class TestEditorWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        Motion::setAnimationsEnabled(false);
        m_store = editortest::openStore();
    }

    void stepsKeepTheSheetInPlace_data()
    {
        QTest::addColumn<bool>("combined");
        QTest::addColumn<bool>("windowAtTheBottom");
        QTest::newRow("shorter steps") << false << false;
        QTest::newRow("taller step with the window at the screen's bottom") << true << true;
    }

    void stepsKeepTheSheetInPlace()
    {
        QFETCH(bool, combined);
        QFETCH(bool, windowAtTheBottom);
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QWidget window;
        window.resize(900, 560);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        if (windowAtTheBottom) {
            QTRY_VERIFY(window.windowHandle()->frameMargins().top() > 0);
            window.move(window.x(), available.bottom() + 1 - window.frameGeometry().height());
            QTRY_COMPARE(window.frameGeometry().bottom(), available.bottom());
        }

        auto *form = new ReminderFormView;
        form->setModelContext(m_store->mainContext());
        form->viewModel()->setTitle(QStringLiteral("Walk"));
        if (combined)
            form->viewModel()->setScheduleType(ScheduleType::combined);
        QPointer<SheetDialog> sheet = new SheetDialog(form, &window);
        form->setDismiss([sheet] {
            if (sheet)
                sheet->closeSheet();
        });
        sheet->present();
        QVERIFY(QTest::qWaitForWindowExposed(sheet));
        // Clicked only once the window manager has taken the sheet in and given it the keyboard.
        QVERIFY(desktoptest::waitForKeyboard(sheet));

        QList<QRect> sheets;
        QList<QRect> buttons;
        for (int step = 1; step <= ReminderFormView::totalSteps; ++step) {
            QTRY_COMPARE(form->stepNumber(), step);
            // Settled: the X server has the size asked for.
            QTRY_COMPARE(serverGeometry(sheet).size(), sheet->size());
            QWidget *main = step < ReminderFormView::totalSteps ? static_cast<QWidget *>(form->footer()->nextButton())
                                                                : form->footer()->saveButton();
            sheets.append(sheet->frameGeometry());
            buttons.append(QRect(main->mapToGlobal(QPoint()), main->size()));
            QVERIFY2(available.contains(sheets.last()), qPrintable(text(sheets.last())));
            if (step == ReminderFormView::totalSteps)
                break;
            const QPoint at = buttons.last().center();
            // At a user's pace: a click within the double-click time of the last one does not press again.
            QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval());
            QVERIFY(xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                             QStringLiteral("click"), QStringLiteral("1")}));
        }
        // The top edge first: a sheet that moves up to make room is another fault than one that shrinks.
        QCOMPARE(firstChange(sheets, [](const QRect &r) { return r.top(); }), QString());
        QCOMPARE(firstChange(buttons, [](const QRect &r) { return r; }), QString());
        sheet->closeSheet();
    }

private:
    std::unique_ptr<StoreContainer> m_store;
};

QTEST_MAIN(TestEditorWindow)
#include "tst_editorwindow.moc"
