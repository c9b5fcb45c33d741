#include "aboutwindow.h"
#include "archivewindow.h"
#include "helpwindow.h"
#include "historywindow.h"
#include "programversion.h"
#include "namedchild.h"
#include "windowfixture.h"

#include <QAbstractButton>
#include <QDialog>
#include <QDir>
#include <QPointer>
#include <QPushButton>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>

#include <memory>

// F1 from every window to its section of the manual built into the program, the window
// "О программе" from there, and the keys of the preview, the archive and the dialogs.
class TstHelp : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void everySectionF1OpensIsInTheManual();
    void f1OpensTheManualAtTheSectionOfTheWindow_data();
    void f1OpensTheManualAtTheSectionOfTheWindow();
    void f1OverAModalDialogOpensAManualThatCanBeRead();
    void aboutTellsVersionQtRecordsArchiveAndLicence();
    void previewKeysPrintSaveThePdfAndClose_data();
    void previewKeysPrintSaveThePdfAndClose();
    void escapeClosesTheDialogs_data();
    void escapeClosesTheDialogs();
    void ctrlFGoesToTheArchiveSearch();
    void escapeInADialogOverAWindowClosesOnlyTheDialog_data();
    void escapeInADialogOverAWindowClosesOnlyTheDialog();
    void tabGoesThroughTheControlsInTheirOrder_data();
    void tabGoesThroughTheControlsInTheirOrder();

private:
    QWidget *windowNamed(const QString &name);
    // Shown, active and with the keyboard: a key goes where it would for the operator.
    bool activate(QWidget *window);

    std::unique_ptr<WindowFixture> f;
};

void TstHelp::init()
{
    f = std::make_unique<WindowFixture>();
    QVERIFY(f->isValid());
    QVERIFY(f->startWindow());
}

void TstHelp::cleanup()
{
    f.reset();
}

QWidget *TstHelp::windowNamed(const QString &name)
{
    if (name == QLatin1String("Form2"))
        return f->form2;
    if (name == QLatin1String("Form4"))
        return f->form4;
    if (name == QLatin1String("ArchiveWindow")) {
        f->windows->archive.ArchiveButtonClick();
        return f->windows->archive.archiveWindow();
    }
    return f->form;
}

bool TstHelp::activate(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

// A renamed heading would leave F1 at the top of the manual without a word.
void TstHelp::everySectionF1OpensIsInTheManual()
{
    QFile manual(QStringLiteral(":/manual/manual.html"));
    QVERIFY(manual.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(manual.readAll());
    QVERIFY(html.contains(QStringLiteral("Руководство оператора")));
    const QStringList names{"Main", "Idle", "Chort", "Transformations", "Resistence", "sTabSheet6", "Form2",
                            "Form4", "Form5", "ArchiveWindow", "ArchiveCompareWindow", "HistoryWindow",
                            "AssessmentWindow", "AboutWindow", "HelpWindow", "Form1"};
    for (const QString &name : names) {
        QWidget probe;
        probe.setObjectName(name);
        const QString section = HelpController::sectionFor(&probe);
        QVERIFY2(!section.isEmpty(), qPrintable(name));
        QVERIFY2(html.contains(QStringLiteral("<a name=\"%1\"></a>").arg(section)), qPrintable(section));
    }
}

void TstHelp::f1OpensTheManualAtTheSectionOfTheWindow_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("section");
    QTest::newRow("main window, page Трансформатор") << "Form1" << 0 << "Pnom" << "catalogue";
    QTest::newRow("main window, page Холостой ход, focus in the left column")
        << "Form1" << 1 << "Temperature" << "idle";
    QTest::newRow("main window, page Омическое сопротивление, no focus") << "Form1" << 4 << "" << "resistance";
    QTest::newRow("main window, page Протокол") << "Form1" << 5 << "ProtocolNumber" << "protocol-page";
    QTest::newRow("port settings") << "Form2" << -1 << "" << "port";
    QTest::newRow("protocol preview") << "Form4" << -1 << "" << "preview";
    QTest::newRow("archive") << "ArchiveWindow" << -1 << "ArchiveFilter" << "archive";
}

void TstHelp::f1OpensTheManualAtTheSectionOfTheWindow()
{
    QFETCH(QString, window);
    QFETCH(int, page);
    QFETCH(QString, focus);
    QFETCH(QString, section);
    QWidget *w = windowNamed(window);
    QVERIFY(w);
    if (page >= 0) {
        auto *pages = f->form->control<PageControl>("PageControl1");
        pages->setActivePage(pages->page(page)); // by the program: no port, no checks
    }
    QVERIFY(activate(w));
    QWidget *target = w;
    if (!focus.isEmpty()) {
        target = w->findChild<QWidget *>(focus);
        QVERIFY(target);
        target->setFocus();
        QTRY_VERIFY(target->hasFocus());
    }

    QTest::keyClick(target, Qt::Key_F1);

    HelpWindow *help = f->windows->help.helpWindow();
    QVERIFY(help);
    QTRY_VERIFY(help->isVisible());
    QCOMPARE(help->section(), section);
    QCOMPARE(namedChild<QTextBrowser>(help, QStringLiteral("HelpBrowser"))->source().fragment(), section);
    QVERIFY(namedChild<QTextBrowser>(help, QStringLiteral("HelpBrowser"))->document()->toPlainText().contains(QStringLiteral("Руководство оператора")));
    // At the section, not at the top.
    QTRY_VERIFY(namedChild<QTextBrowser>(help, QStringLiteral("HelpBrowser"))->verticalScrollBar()->value() > 0);
}

// A modal dialog blocks every window but its own children.
void TstHelp::f1OverAModalDialogOpensAManualThatCanBeRead()
{
    f->form5->setWindowModality(Qt::ApplicationModal);
    QVERIFY(activate(f->form5));
    QCOMPARE(QApplication::activeModalWidget(), f->form5);

    QTest::keyClick(f->form5, Qt::Key_F1);

    auto *help = f->form5->findChild<HelpWindow *>();
    QVERIFY(help);
    QVERIFY(help->isVisible());
    QCOMPARE(help->section(), QStringLiteral("calibration"));
    QVERIFY(help->isWindow());
    f->form5->hide();
}

void TstHelp::aboutTellsVersionQtRecordsArchiveAndLicence()
{
    HelpWindow *help = f->windows->help.showHelp(QString());
    QVERIFY(activate(help));
    namedChild<QPushButton>(help, QStringLiteral("AboutButton"))->click();
    auto *about = help->findChild<AboutWindow *>();
    QVERIFY(about);
    QVERIFY(about->isVisible());
    QCOMPARE(about->windowTitle(), QStringLiteral("О программе"));
    QVERIFY(namedChild<QLabel>(about, QStringLiteral("AboutVersion"))->text().contains(programVersionNumber()));
    QVERIFY(namedChild<QLabel>(about, QStringLiteral("AboutVersion"))->text().contains(programCommit()));
    QVERIFY(namedChild<QLabel>(about, QStringLiteral("AboutQt"))->text().startsWith(QString::fromLatin1(qVersion())));
    QCOMPARE(namedChild<QLabel>(about, QStringLiteral("AboutRecords"))->text(), QDir::toNativeSeparators(f->recordsFolder()));
    QCOMPARE(namedChild<QLabel>(about, QStringLiteral("AboutArchive"))->text(),
             QStringLiteral("файл ") + QDir::toNativeSeparators(f->filePath(QStringLiteral("varnek.db"))));
    QVERIFY(namedChild<QLabel>(about, QStringLiteral("AboutWaiting"))->text().startsWith(QStringLiteral("нет")));
    QVERIFY(namedChild<QPlainTextEdit>(about, QStringLiteral("AboutLicence"))->toPlainText().contains(QStringLiteral("Copyright: 2026 Transformer bench project")));

    QVERIFY(activate(about));
    QTest::keyClick(about, Qt::Key_Escape);
    QTRY_VERIFY(!about->isVisible());
}

void TstHelp::previewKeysPrintSaveThePdfAndClose_data()
{
    QTest::addColumn<QKeyCombination>("keys");
    QTest::addColumn<QString>("button");
    QTest::newRow("Ctrl+P Печать") << QKeyCombination(Qt::ControlModifier, Qt::Key_P) << "QRPrint";
    QTest::newRow("Ctrl+S Сохранить в PDF") << QKeyCombination(Qt::ControlModifier, Qt::Key_S) << "QRSavePdf";
}

void TstHelp::previewKeysPrintSaveThePdfAndClose()
{
    QFETCH(QKeyCombination, keys);
    QFETCH(QString, button);
    QVERIFY(activate(f->form4));
    auto *pressed = f->form4->findChild<QToolButton *>(button);
    QVERIFY(pressed);
    const QStringList others{"QROpen", "QRSave", "QRPrint", "QRSetup", "QRSavePdf"};
    QList<std::shared_ptr<QSignalSpy>> spies;
    for (const QString &name : others) {
        auto *b = f->form4->findChild<QToolButton *>(name);
        // Only the click is looked at: no printer, no file dialog.
        QObject::disconnect(b, &QToolButton::clicked, f->form4, nullptr);
        spies.append(std::make_shared<QSignalSpy>(b, &QToolButton::clicked));
    }

    QTest::keyClick(f->form4, keys.key(), keys.keyboardModifiers());

    for (int i = 0; i < others.size(); ++i)
        QCOMPARE(spies[i]->count(), others[i] == button ? 1 : 0);

    QTest::keyClick(f->form4, Qt::Key_Escape);
    QTRY_VERIFY(!f->form4->isVisible());
}

void TstHelp::escapeClosesTheDialogs_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("Настройки порта") << "Form2";
    QTest::newRow("Юстировка стенда") << "Form5";
    QTest::newRow("Сравнение протоколов") << "ArchiveCompareWindow";
    QTest::newRow("справка") << "HelpWindow";
}

void TstHelp::escapeClosesTheDialogs()
{
    QFETCH(QString, window);
    QWidget *w = nullptr;
    if (window == QLatin1String("Form2"))
        w = f->form2;
    else if (window == QLatin1String("Form5"))
        w = f->form5;
    else if (window == QLatin1String("HelpWindow"))
        w = f->windows->help.showHelp(QString());
    else
        w = windowNamed(QStringLiteral("ArchiveWindow"))->findChild<ArchiveCompareWindow *>();
    QVERIFY(w);
    QVERIFY(activate(w));

    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : w, Qt::Key_Escape);

    QTRY_VERIFY(!w->isVisible());
    QVERIFY(f->prompts.messages.isEmpty());
}

void TstHelp::ctrlFGoesToTheArchiveSearch()
{
    auto *archive = qobject_cast<ArchiveWindow *>(windowNamed(QStringLiteral("ArchiveWindow")));
    QVERIFY(archive);
    QVERIFY(activate(archive));
    archive->filterEdit->setText(QStringLiteral("ТМ-250"));
    archive->table->setFocus();
    QTRY_VERIFY(archive->table->hasFocus());

    QTest::keyClick(archive->table, Qt::Key_F, Qt::ControlModifier);

    QTRY_VERIFY(archive->filterEdit->hasFocus());
    QCOMPARE(archive->filterEdit->selectedText(), QStringLiteral("ТМ-250"));
}

void TstHelp::escapeInADialogOverAWindowClosesOnlyTheDialog_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("a file dialog over the preview (modal, as all of its dialogs)") << "Form4";
    QTest::newRow("О программе over the manual") << "HelpWindow";
}

// The window's own Esc must not take the key from a dialog it owns.
void TstHelp::escapeInADialogOverAWindowClosesOnlyTheDialog()
{
    QFETCH(QString, window);
    QWidget *w = window == QLatin1String("Form4") ? static_cast<QWidget *>(f->form4)
                                                   : f->windows->help.showHelp(QString());
    QVERIFY(activate(w));
    QDialog *dialog = window == QLatin1String("Form4") ? new QDialog(w) : f->windows->help.showAbout(w);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (window == QLatin1String("Form4"))
        dialog->setWindowModality(Qt::ApplicationModal);
    QPointer<QDialog> alive(dialog);
    dialog->show();

    QTest::keyClick(dialog, Qt::Key_Escape);

    QTRY_VERIFY(alive.isNull() || !alive->isVisible());
    QVERIFY(w->isVisible());
}

QTEST_MAIN(TstHelp)
// A form makes its controls in the order it lists them, which sets where Tab goes: the manual's
// page comes before the buttons above it.
void TstHelp::tabGoesThroughTheControlsInTheirOrder_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("справка") << "HelpWindow"
                             << QStringList{"HelpBrowser", "HelpBack", "HelpForward", "HelpContents", "AboutButton"};
    QTest::newRow("О программе") << "AboutWindow" << QStringList{"AboutLicence", "Закрыть"};
    QTest::newRow("Динамика") << "HistoryWindow"
                              << QStringList{"HistoryQuantity", "HistoryChart", "HistoryPng", "HistoryPdf",
                                             "HistorySheetPrint", "HistorySheetPdf"};
    QTest::newRow("Протокол") << "Form4"
                              << QStringList{"QROpen", "QRSave", "QRPrint", "QRSetup", "QRFitToText", "FitToWidth",
                                             "FitToPage", "Previous", "Next", "QRSavePdf", "QRPreview1", "QRPreview2"};
}

// From the control a shown window gives the keyboard to, once round its focus chain.
void TstHelp::tabGoesThroughTheControlsInTheirOrder()
{
    QFETCH(QString, window);
    QFETCH(QStringList, order);
    std::unique_ptr<QWidget> own;
    QWidget *w = nullptr;
    if (window == QLatin1String("HelpWindow"))
        w = f->windows->help.showHelp(QString());
    else if (window == QLatin1String("AboutWindow"))
        own.reset(w = f->windows->help.showAbout(nullptr));
    else if (window == QLatin1String("HistoryWindow"))
        own.reset(w = new HistoryWindow(nullptr));
    else
        w = windowNamed(window);
    QVERIFY(w);
    QVERIFY(activate(w));
    QWidget *first = QApplication::focusWidget();
    QVERIFY(first);

    QStringList stops;
    QWidget *next = first;
    do {
        const auto *button = qobject_cast<const QAbstractButton *>(next);
        const QString name = next->objectName().isEmpty() && button ? button->text() : next->objectName();
        // A chart view's own parts have no names of ours.
        if (w->isAncestorOf(next) && (next->focusPolicy() & Qt::TabFocus) && !name.isEmpty())
            stops << name;
        next = next->nextInFocusChain();
    } while (next != first);
    QCOMPARE(stops, order);
}

#include "tst_help.moc"
