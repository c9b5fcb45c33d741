#include "screenpacer.h"

#include <QTest>

// Each step: a change at a time, or the scheduled write done at a time.
struct PacerStep {
    char what;     // 'c' change, 'w' write
    qint64 at;     // ms
    qint64 answer; // for 'c': what changed() returns
};
Q_DECLARE_METATYPE(QList<PacerStep>)

class TstScreenPacer : public QObject {
    Q_OBJECT
private slots:
    void changesAreWrittenAtMostOncePerInterval_data();
    void changesAreWrittenAtMostOncePerInterval();
    void noChangeWaitsLongerThanOneInterval();
};

void TstScreenPacer::changesAreWrittenAtMostOncePerInterval_data()
{
    QTest::addColumn<QList<PacerStep>>("steps");
    QTest::newRow("first change is written at once") << QList<PacerStep>{{'c', 1000, 0}};
    QTest::newRow("a change soon after a write waits for the rest of the interval")
        << QList<PacerStep>{{'c', 1000, 0}, {'w', 1000, 0}, {'c', 1010, 23}, {'c', 1020, -1},
                            {'c', 1032, -1}, {'w', 1033, 0}, {'c', 1034, 32}};
    QTest::newRow("a change after a quiet spell is written at once")
        << QList<PacerStep>{{'c', 1000, 0}, {'w', 1000, 0}, {'c', 1033, 0}, {'w', 1033, 0},
                            {'c', 5000, 0}};
    QTest::newRow("a clock that goes back does not hold changes back")
        << QList<PacerStep>{{'c', 1000, 0}, {'w', 1000, 0}, {'c', 500, 0}};
}

void TstScreenPacer::changesAreWrittenAtMostOncePerInterval()
{
    QFETCH(QList<PacerStep>, steps);
    ScreenPacer pacer(33);
    for (const PacerStep &s : steps) {
        if (s.what == 'w')
            pacer.written(s.at);
        else
            QCOMPARE(pacer.changed(s.at), s.answer);
    }
}

// A stream of packets 0.6 ms apart for a second: writes are spaced by the interval and
// no decoded change waits for more than one interval.
void TstScreenPacer::noChangeWaitsLongerThanOneInterval()
{
    ScreenPacer pacer(33);
    qint64 due = -1;    // when the scheduled write happens
    qint64 oldest = -1; // the oldest change not yet written
    qint64 lastWrite = -1000;
    int writes = 0;
    for (qint64 us = 0; us < 1000000; us += 580) {
        const qint64 now = us / 1000;
        if (due >= 0 && now >= due) {
            QVERIFY(due - oldest <= 33);
            QVERIFY(due - lastWrite >= 33);
            pacer.written(due);
            lastWrite = due;
            ++writes;
            due = oldest = -1;
        }
        if (oldest < 0)
            oldest = now;
        const qint64 wait = pacer.changed(now);
        if (wait == 0) {
            QVERIFY(now - lastWrite >= 33);
            pacer.written(now);
            lastWrite = now;
            ++writes;
            oldest = -1;
        } else if (wait > 0) {
            due = now + wait;
        }
    }
    QVERIFY2(writes >= 29 && writes <= 31, qPrintable(QString::number(writes)));
}

QTEST_APPLESS_MAIN(TstScreenPacer)
#include "tst_screenpacer.moc"
