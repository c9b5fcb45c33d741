#include "archivewindow.h"
#include "assessmentwindow.h"
#include "historywindow.h"
#include "windowfixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScreen>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

using Opener = std::function<QWidget *(WindowFixture &)>;
Q_DECLARE_METATYPE(Opener)

namespace {

// A workshop laptop: 1366 × 768, of which a taskbar takes up to 40 and a title bar about 30.
const QSize Screen(1366, 768);
constexpr int Taskbar = 40;
constexpr int TitleBar = 30;
constexpr int Borders = 8;

AssessmentWindow *assessment(WindowFixture &f)
{
    f.click(f.form->control<QPushButton>("AssessmentButton"));
    return f.windows->assessment.assessmentWindow();
}

ArchiveWindow *archive(WindowFixture &f)
{
    f.click(f.form->control<QPushButton>("ArchiveButton"));
    return f.windows->archive.archiveWindow();
}

} // namespace

// Every window but the main window and the protocol's preview, whose sizes are given, opens
// within a 1366 × 768 screen, its buttons on it.
class TstWindowSizes : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> f;

private slots:
    void init()
    {
        f = std::make_unique<WindowFixture>();
        QVERIFY(f->isValid());
        QVERIFY(f->startWindow());
    }
    void cleanup() { f.reset(); }

    void theScreenIsALaptops() { QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), Screen); }

    void everyWindowFitsTheScreen_data()
    {
        QTest::addColumn<Opener>("open");
        // "Оценка результатов" opened 1260 × 820, its bottom buttons off the screen.
        QTest::newRow("Оценка результатов") << Opener([](WindowFixture &f) -> QWidget * { return assessment(f); });
        QTest::newRow("Лист оценки") << Opener([](WindowFixture &f) -> QWidget * {
            AssessmentWindow *w = assessment(f);
            w->previewSheets();
            return w->sheetPreview;
        });
        QTest::newRow("Архив протоколов") << Opener([](WindowFixture &f) -> QWidget * { return archive(f); });
        QTest::newRow("Сравнение протоколов") << Opener([](WindowFixture &f) -> QWidget * {
            ArchiveWindow *w = archive(f);
            w->compareWindow->show();
            return w->compareWindow;
        });
        QTest::newRow("Динамика") << Opener([](WindowFixture &f) -> QWidget * {
            auto *history = new HistoryWindow(&f.windows->archive.archive(), archive(f));
            history->show();
            return history;
        });
        QTest::newRow("Калибровка") << Opener([](WindowFixture &f) -> QWidget * {
            f.form5->show();
            return f.form5;
        });
        QTest::newRow("Настройка порта") << Opener([](WindowFixture &f) -> QWidget * {
            f.form2->show();
            return f.form2;
        });
    }
    void everyWindowFitsTheScreen()
    {
        QFETCH(Opener, open);
        QWidget *w = open(*f);
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const QSize room(Screen.width() - Borders, Screen.height() - Taskbar - TitleBar - Borders);
        QVERIFY2(w->width() <= room.width() && w->height() <= room.height(),
                 qPrintable(u"%1 × %2"_s.arg(w->width()).arg(w->height())));
        QVERIFY2(w->minimumSizeHint().boundedTo(room) == w->minimumSizeHint() || !w->layout(),
                 qPrintable(u"least %1 × %2"_s.arg(w->minimumSizeHint().width()).arg(w->minimumSizeHint().height())));
        for (const QPushButton *button : w->findChildren<QPushButton *>()) {
            if (!button->isVisibleTo(w) || button->window() != w)
                continue;
            const QRect at(button->mapTo(w, QPoint(0, 0)), button->size());
            QVERIFY2(w->rect().contains(at), qPrintable(button->text()));
        }
    }
};

// The test runs on an offscreen screen of the laptop's size.
int main(int argc, char *argv[])
{
    const QString config = QDir::temp().filePath(u"bench-screen-1366x768.json"_s);
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(R"({"screens":[{"name":"laptop","x":0,"y":0,"width":1366,"height":768,)"
                      R"("logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})") < 0)
        return 2;
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    QApplication app(argc, argv);
    TstWindowSizes test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windowsizes.moc"
