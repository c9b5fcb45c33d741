#include "Unit4.h"
#include "namedchild.h"
#include "resultrecord.h"
#include "archivelistmodel.h"
#include "archivewindow.h"
#include "keyvaluefile.h"
#include "pgcluster.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QToolButton>

#include <memory>

using namespace Qt::StringLiterals;

// Protocols printed through the program's windows while the archive server is down
// reach it once each when it is back.
class TstProtocolArchivingPg : public QObject {
    Q_OBJECT
private:
    PgCluster m_cluster;

    // The protocol numbers on the server, each with how often it is there.
    QMap<QString, int> protocolsOnServer(const ArchiveSettings &settings)
    {
        QMap<QString, int> found;
        const QString name = u"server-reader"_s;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, name);
            db.setHostName(settings.host);
            db.setPort(settings.port);
            db.setDatabaseName(settings.database);
            db.setUserName(settings.user);
            if (db.open()) {
                QSqlQuery query(db);
                query.exec(u"SELECT protocol_number FROM revisions"_s);
                while (query.next())
                    found[query.value(0).toString()] += 1;
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        return found;
    }

private slots:
    void initTestCase()
    {
        bool skip = false;
        const QString error = m_cluster.start(&skip);
        if (skip)
            QSKIP(qPrintable(error));
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
    void cleanupTestCase() { m_cluster.stop(); }

    void protocolsPrintedWhileTheServerIsDownReachItOnceEach()
    {
        QString error;
        const ArchiveSettings settings = m_cluster.createDatabase(&error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        WindowFixture f;
        QVERIFY(f.isValid());
        KeyValueFile ini(f.filePath(u"varnek.ini"_s));
        ini.writeValues(ArchiveSettings::Section, {{"Driver", "PostgreSQL"}, {"Host", settings.host},
                                                   {"Port", QString::number(settings.port)},
                                                   {"Database", settings.database}, {"User", settings.user}});
        QVERIFY(m_cluster.stop().isEmpty());
        QVERIFY(f.startWindow());
        f.form4->printer().setOutputFormat(QPrinter::PdfFormat);
        f.form4->printer().setOutputFileName(f.filePath(u"printer.pdf"_s));
        int pagesPrinted = 0;
        connect(f.form4, &TForm4::pagePrinted, this, [&pagesPrinted] { ++pagesPrinted; });

        constexpr int Protocols = 20;
        for (int i = 1; i <= Protocols; ++i) {
            TForm1 *w = f.form;
            w->control<QLineEdit>("ProtocolNumber")->setText(QString::number(i));
            w->control<QComboBox>("Name")->setEditText(u"ТМ-250/10"_s);
            w->control<QLineEdit>("RepairNumber")->setText(QString::number(4700 + i));
            w->control<QPlainTextEdit>("Firm")->setPlainText(u"ООО Ромашка"_s);
            w->results().set(ResultId::Pxx00, u"1240"_s);
            f.click(w->control<QPushButton>("Previw"));
            // Page 1 is laid out in a step of its own after the click.
            QCoreApplication::processEvents();
            QVERIFY(f.form4->isVisible());
            QTest::mouseClick(namedChild<QToolButton>(f.form4, u"QRPrint"_s), Qt::LeftButton);
        }
        QCOMPARE(pagesPrinted, 2 * Protocols);
        QVERIFY(f.prompts.messages.isEmpty()); // a queued record is no failure

        QVERIFY(m_cluster.startServer().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(protocolsOnServer(settings).size(), Protocols, 30000);
        const QMap<QString, int> found = protocolsOnServer(settings);
        for (int i = 1; i <= Protocols; ++i)
            QCOMPARE(found.value(QString::number(i)), 1);

        // The first protocol after the server's return is stored, not skipped.
        f.form->control<QLineEdit>("ProtocolNumber")->setText(u"21"_s);
        f.click(f.form->control<QPushButton>("Previw"));
        QTest::mouseClick(namedChild<QToolButton>(f.form4, u"QRPrint"_s), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(protocolsOnServer(settings).value(u"21"_s), 1, 15000);
        QVERIFY(f.prompts.messages.isEmpty());
    }

    // "Перенести на сервер" copies the chosen file with a progress dialog and says what it did.
    void moveToServerCopiesTheFileAndSummarises()
    {
        QString error;
        const ArchiveSettings settings = m_cluster.createDatabase(&error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        WindowFixture f; // records folder and recorded prompts
        {
            ProtocolArchive local(ArchiveSettings::sqliteDefault());
            for (int i = 1; i <= 3; ++i) {
                ArchiveRecord record;
                record.protocolNumber = QString::number(i);
                record.serialNumber = u"5500"_s;
                record.type = u"ТМ-400/10"_s;
                QVERIFY(local.store(record).ok());
            }
        }
        ProtocolArchive archive(settings);
        archive.enableOutbox(f.filePath(u"varnek-outbox.db"_s));
        ArchiveWindow window(&archive);
        window.show();
        QVERIFY(window.moveButton->isVisible());
        QCOMPARE(window.moveButton->text(), u"Перенести на сервер"_s);
        QSignalSpy finished(&window, &ArchiveWindow::transferFinished);
        for (const QString &expected : {u"Перенесено на сервер: 3. Уже были на сервере: 0."_s,
                                        u"Перенесено на сервер: 0. Уже были на сервере: 3."_s}) {
            f.prompts.fileAnswers = {f.filePath(u"varnek.db"_s)};
            f.prompts.messages.clear();
            QTest::mouseClick(window.moveButton, Qt::LeftButton);
            QVERIFY(!window.moveButton->isEnabled()); // one copy at a time
            QVERIFY(finished.wait(30000));
            QVERIFY2(finished.last().at(0).toString().contains(expected), qPrintable(finished.last().at(0).toString()));
            QCOMPARE(f.prompts.messages.size(), 1);
            QCOMPARE(f.prompts.messages[0].icon, PromptIcon::Information);
            QVERIFY(window.moveButton->isEnabled());
        }
        QCOMPARE(protocolsOnServer(settings), (QMap<QString, int>{{u"1"_s, 1}, {u"2"_s, 1}, {u"3"_s, 1}}));
        QTRY_COMPARE_WITH_TIMEOUT(window.model->rowCount(), 3, 15000);
    }
};

QTEST_MAIN(TstProtocolArchivingPg)
#include "tst_protocolarchiving_pg.moc"
