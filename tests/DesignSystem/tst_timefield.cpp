#include "DesignSystem/Motion.h"
#include "DesignSystem/OvlinTimeField.h"
#include "DesignSystem/TimePicker.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

using namespace ovlin;
using Field = OvlinTimeField::EditableField;

namespace {

QDateTime at(const QDate &day, int hour, int minute, int second = 0)
{
    return QDateTime(day, QTime(hour, minute, second), Qt::LocalTime);
}

QString hhmm(const QDateTime &moment)
{
    return moment.toLocalTime().toString(QStringLiteral("HH:mm"));
}

const QDate kDay(2024, 5, 14);

// The field inside an active window, next to another input that takes the focus away from it.
struct Window
{
    explicit Window(const QDateTime &selection, int interval = 5)
    {
        auto *layout = new QVBoxLayout(&window);
        field = new OvlinTimeField(selection, interval, 0);
        other = new QLineEdit;
        layout->addWidget(field);
        layout->addWidget(other);
        // The window starts with the focus outside the time field.
        other->setFocus();
        window.show();
        QApplication::setActiveWindow(&window);
        activated = QTest::qWaitForWindowActive(&window);
    }

    void focusOn(Field which)
    {
        (which == Field::hour ? field->hourEdit() : field->minuteEdit())->setFocus(Qt::TabFocusReason);
    }
    void leave() { other->setFocus(Qt::TabFocusReason); }
    QLineEdit *edit(Field which) const { return which == Field::hour ? field->hourEdit() : field->minuteEdit(); }

    QWidget window;
    OvlinTimeField *field = nullptr;
    QLineEdit *other = nullptr;
    bool activated = false;
};

} // namespace

class TestTimeField : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { Motion::setAnimationsEnabled(false); }

    void steps_data();
    void steps();
    void typing_data();
    void typing();
    void typedDigitsWaitForReturnOrLeaving();
    void emptiedFieldRestoresTheTime();
    void movingBetweenFieldsCommitsNothing();
    void daylightSaving_data();
    void daylightSaving();
    void typedHourInDaylightSavingGap();
    void pickerRaisesTheInterval_data();
    void pickerRaisesTheInterval();
};

void TestTimeField::steps_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("interval");
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("expected");

    QTest::newRow("5: 10:07 up") << "10:07" << 5 << "minute+"
                                 << "10:10";
    QTest::newRow("5: 10:07 down") << "10:07" << 5 << "minute-"
                                   << "10:05";
    QTest::newRow("5: 10:05 down") << "10:05" << 5 << "minute-"
                                   << "10:00";
    QTest::newRow("5: 23:55 up wraps to midnight") << "23:55" << 5 << "minute+"
                                                   << "00:00";
    QTest::newRow("5: 00:00 down wraps to 23:55") << "00:00" << 5 << "minute-"
                                                  << "23:55";
    QTest::newRow("7: 10:50 up") << "10:50" << 7 << "minute+"
                                 << "10:56";
    QTest::newRow("7: 10:56 up carries") << "10:56" << 7 << "minute+"
                                         << "11:00";
    QTest::newRow("7: off grid up") << "10:01" << 7 << "minute+"
                                    << "10:07";
    QTest::newRow("1: 10:59 up") << "10:59" << 1 << "minute+"
                                 << "11:00";
    QTest::newRow("1: 10:00 down") << "10:00" << 1 << "minute-"
                                   << "09:59";
    QTest::newRow("0 steps by one") << "10:07" << 0 << "minute+"
                                    << "10:08";
    QTest::newRow("90 behaves like 60") << "10:07" << 90 << "minute+"
                                        << "11:00";
    QTest::newRow("hour 23 up") << "23:17" << 5 << "hour+"
                                << "00:17";
    QTest::newRow("hour 0 down") << "00:17" << 5 << "hour-"
                                 << "23:17";
}

void TestTimeField::steps()
{
    QFETCH(QString, start);
    QFETCH(int, interval);
    QFETCH(QString, step);
    QFETCH(QString, expected);
    const QTime t = QTime::fromString(start, QStringLiteral("HH:mm"));
    OvlinTimeField field(at(kDay, t.hour(), t.minute(), 42), interval, 0);
    field.show();
    QSignalSpy spy(&field, &OvlinTimeField::selectionChanged);
    if (step == "minute+")
        field.incrementMinute();
    else if (step == "minute-")
        field.decrementMinute();
    else if (step == "hour+")
        field.incrementHour();
    else
        field.decrementHour();
    QCOMPARE(hhmm(field.selection()), expected);
    // Same calendar day, seconds zeroed, and with no field focused both texts follow a carry.
    QCOMPARE(field.selection().date(), kDay);
    QCOMPARE(field.selection().time().second(), 0);
    QCOMPARE(field.hourText() + ":" + field.minuteText(), expected);
    QVERIFY(spy.count() >= 1);
    QCOMPARE(spy.last().first().toDateTime(), field.selection());
}

void TestTimeField::typing_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("expected");

    QTest::newRow("95 clamps to 23 at once") << int(Field::hour) << "95"
                                             << "23"
                                             << "23:40";
    QTest::newRow("75 clamps to 59 at once") << int(Field::minute) << "75"
                                             << "75"
                                             << "10:59";
    QTest::newRow("third digit dropped") << int(Field::hour) << "123"
                                         << "12"
                                         << "12:40";
    QTest::newRow("letters and signs dropped") << int(Field::hour) << "a-0b8"
                                               << "08"
                                               << "08:40";
    QTest::newRow("colon dropped") << int(Field::minute) << "0:7"
                                   << "07"
                                   << "10:07";
    QTest::newRow("one digit waits") << int(Field::hour) << "9"
                                     << "9"
                                     << "10:40";
}

void TestTimeField::typing()
{
    QFETCH(int, field);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, expected);
    Window w(at(kDay, 10, 40));
    QVERIFY(w.activated);
    const auto which = Field(field);
    w.focusOn(which);
    QCOMPARE(w.field->focusedField(), std::optional<Field>(which));
    QLineEdit *edit = w.edit(which);
    edit->selectAll();
    QTest::keyClicks(edit, typed);
    QCOMPARE(hhmm(w.field->selection()), expected);
    // The field shows the clamped value it committed ("75" only until the commit rewrites it).
    if (which == Field::minute && typed == "75")
        shown = QStringLiteral("59");
    QCOMPARE(edit->text(), shown);
    QCOMPARE(w.field->focusedField(), std::optional<Field>(which));
}

void TestTimeField::typedDigitsWaitForReturnOrLeaving()
{
    Window w(at(kDay, 10, 40));
    QVERIFY(w.activated);
    w.focusOn(Field::hour);
    w.field->hourEdit()->selectAll();
    QTest::keyClicks(w.field->hourEdit(), QStringLiteral("9"));
    QCOMPARE(hhmm(w.field->selection()), QStringLiteral("10:40"));
    QTest::keyClick(w.field->hourEdit(), Qt::Key_Return);
    QCOMPARE(hhmm(w.field->selection()), QStringLiteral("09:40"));
    QCOMPARE(w.field->hourText(), QStringLiteral("09"));

    w.field->hourEdit()->selectAll();
    QTest::keyClicks(w.field->hourEdit(), QStringLiteral("7"));
    QCOMPARE(hhmm(w.field->selection()), QStringLiteral("09:40"));
    w.leave();
    QCOMPARE(w.field->focusedField(), std::nullopt);
    QCOMPARE(hhmm(w.field->selection()), QStringLiteral("07:40"));
    QCOMPARE(w.field->hourText(), QStringLiteral("07"));
}

void TestTimeField::emptiedFieldRestoresTheTime()
{
    Window w(at(kDay, 10, 40));
    QVERIFY(w.activated);
    w.focusOn(Field::hour);
    w.field->hourEdit()->selectAll();
    QTest::keyClick(w.field->hourEdit(), Qt::Key_Backspace);
    QCOMPARE(w.field->hourText(), QString());
    w.leave();
    QCOMPARE(w.field->hourText(), QStringLiteral("10"));
    QCOMPARE(hhmm(w.field->selection()), QStringLiteral("10:40"));
}

void TestTimeField::movingBetweenFieldsCommitsNothing()
{
    Window w(at(kDay, 10, 40, 12));
    QVERIFY(w.activated);
    QSignalSpy spy(w.field, &OvlinTimeField::selectionChanged);
    w.focusOn(Field::hour);
    w.field->hourEdit()->selectAll();
    QTest::keyClicks(w.field->hourEdit(), QStringLiteral("9"));
    QTest::keyClick(w.field->hourEdit(), Qt::Key_Tab);
    QCOMPARE(w.field->focusedField(), std::optional<Field>(Field::minute));
    QCOMPARE(spy.count(), 0);
    QCOMPARE(w.field->hourText(), QStringLiteral("9"));
    w.field->minuteEdit()->selectAll();
    QTest::keyClicks(w.field->minuteEdit(), QStringLiteral("3"));
    w.focusOn(Field::hour);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(w.field->selection().time(), QTime(10, 40, 12));

    // Leaving the control commits both, hour first, and rewrites both texts.
    w.leave();
    QCOMPARE(hhmm(w.field->selection()), QStringLiteral("09:03"));
    QCOMPARE(w.field->hourText(), QStringLiteral("09"));
    QCOMPARE(w.field->minuteText(), QStringLiteral("03"));
}

void TestTimeField::daylightSaving_data()
{
    QTest::addColumn<QDate>("day");
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("startOffset");
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("expectedOffset");

    // Stockholm springs forward on 31 March 2024 (02:00 -> 03:00) and falls back on 27 October 2024
    // (03:00 -> 02:00).
    const QDate spring(2024, 3, 31);
    const QDate autumn(2024, 10, 27);
    QTest::newRow("hour into the gap") << spring << "01:30" << 3600 << "hour+"
                                       << "03:00" << 7200;
    QTest::newRow("hour down into the gap") << spring << "03:30" << 7200 << "hour-"
                                            << "03:00" << 7200;
    QTest::newRow("minute carry into the gap") << spring << "01:55" << 3600 << "minute+"
                                               << "03:00" << 7200;
    QTest::newRow("hour into the repeated hour") << autumn << "01:30" << 7200 << "hour+"
                                                 << "02:30" << 7200;
    QTest::newRow("hour back into the repeated hour") << autumn << "03:30" << 3600 << "hour-"
                                                      << "02:30" << 7200;
    QTest::newRow("minute carry into the repeated hour") << autumn << "01:55" << 7200 << "minute+"
                                                         << "02:00" << 7200;
}

void TestTimeField::daylightSaving()
{
    QFETCH(QDate, day);
    QFETCH(QString, start);
    QFETCH(int, startOffset);
    QFETCH(QString, step);
    QFETCH(QString, expected);
    QFETCH(int, expectedOffset);
    const QTime t = QTime::fromString(start, QStringLiteral("HH:mm"));
    const QDateTime begin = at(day, t.hour(), t.minute());
    QCOMPARE(begin.offsetFromUtc(), startOffset);
    OvlinTimeField field(begin, 5, 0);
    field.show();
    if (step == "hour+")
        field.incrementHour();
    else if (step == "hour-")
        field.decrementHour();
    else
        field.incrementMinute();
    QCOMPARE(hhmm(field.selection()), expected);
    QCOMPARE(field.selection().toLocalTime().date(), day);
    QCOMPARE(field.selection().offsetFromUtc(), expectedOffset);
    QCOMPARE(field.hourText() + ":" + field.minuteText(), expected);
}

void TestTimeField::typedHourInDaylightSavingGap()
{
    Window w(at(QDate(2024, 3, 31), 1, 30));
    QVERIFY(w.activated);
    w.focusOn(Field::hour);
    w.field->hourEdit()->selectAll();
    QTest::keyClicks(w.field->hourEdit(), QStringLiteral("02"));
    // 02:30 does not exist that day: the next time that does is taken. The focused field keeps what was
    // typed, and the minute field keeps its text while a field has focus.
    QCOMPARE(hhmm(w.field->selection()), QStringLiteral("03:00"));
    QCOMPARE(w.field->hourText() + ":" + w.field->minuteText(), QStringLiteral("02:30"));
    // Leaving commits both texts again: hour 02 gives 03:00, then minute 30 gives 03:30.
    w.leave();
    QCOMPARE(hhmm(w.field->selection()), QStringLiteral("03:30"));
    QCOMPARE(w.field->hourText() + ":" + w.field->minuteText(), QStringLiteral("03:30"));
}

void TestTimeField::pickerRaisesTheInterval_data()
{
    QTest::addColumn<int>("interval");
    QTest::addColumn<QString>("expected");
    QTest::newRow("0") << 0 << "10:08";
    QTest::newRow("-3") << -3 << "10:08";
    QTest::newRow("5") << 5 << "10:10";
}

void TestTimeField::pickerRaisesTheInterval()
{
    QFETCH(int, interval);
    QFETCH(QString, expected);
    TimePicker picker(at(kDay, 10, 7), QStringLiteral("Reminder time"), interval);
    picker.show();
    QSignalSpy spy(&picker, &TimePicker::selectionChanged);
    QCOMPARE(picker.timeField()->minuteInterval(), std::max(1, interval));
    picker.timeField()->incrementMinute();
    QCOMPARE(hhmm(picker.selection()), expected);
    QCOMPARE(spy.count(), 1);
}

QTEST_MAIN(TestTimeField)
#include "tst_timefield.moc"
