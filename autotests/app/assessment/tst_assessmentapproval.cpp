#include "archivewindow.h"
#include "archivelistmodel.h"
#include "assessmentwindow.h"
#include "protocolarchive.h"
#include "resultrecord.h"
#include "namedchild.h"
#include "windowfixture.h"

#include "sheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTableWidget>
#include <QToolButton>

#include <memory>

using namespace Qt::StringLiterals;

// The judgement kept with a printed protocol, and "Утвердить", through the real windows.
class TstAssessmentApproval : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> f;
    int m_files = 0;

    ProtocolArchive &archive() { return f->windows->archive.archive(); }

    void fill(const QString &losses)
    {
        TForm1 *w = f->form;
        w->control<QLineEdit>("ProtocolNumber")->setText(u"12"_s);
        w->control<QComboBox>("Name")->setEditText(u"ТМ-250/10"_s);
        w->control<QLineEdit>("RepairNumber")->setText(u"4711"_s);
        w->control<QLineEdit>("Chief")->setText(u"Петров П.П."_s);
        w->results().set(ResultId::Pxx00, losses);
    }

    // "Протокол", then "PDF" in the preview: the protocol is produced and archived.
    void produce()
    {
        f->click(f->form->control<QPushButton>("Previw"));
        QCoreApplication::processEvents();
        QVERIFY(f->form4->isVisible());
        const QString name = f->filePath(u"out%1.pdf"_s.arg(++m_files));
        f->prompts.fileAnswers = {name};
        QTest::mouseClick(namedChild<QToolButton>(f->form4, u"QRSavePdf"_s), Qt::LeftButton);
        QVERIFY(QFile::exists(name));
    }

    AssessmentWindow *openAssessment()
    {
        f->click(f->form->control<QPushButton>("AssessmentButton"));
        AssessmentWindow *w = f->windows->assessment.assessmentWindow();
        return w && QTest::qWaitForWindowExposed(w) ? w : nullptr;
    }

    static QString packedText(const QList<Sheet> &pages)
    {
        QString all;
        for (const Sheet &page : pages)
            for (const SheetTextOp &op : page.texts)
                all += op.lines.join(QString());
        return all.remove(u' ');
    }

private slots:
    void init()
    {
        f = std::make_unique<WindowFixture>();
        QVERIFY(f->isValid());
        QVERIFY(f->startWindow());
    }
    void cleanup() { f.reset(); }

    // The protocol is stored with the judgement the window shows; "Утвердить" needs it
    // stored, approves it in the chief's name, and the sheet and the archive copy say so;
    // a withdrawal needs a reason; a changed protocol printed again is a new, unapproved revision.
    void approvalThroughTheWindows()
    {
        fill(u"  600.0"_s);
        AssessmentWindow *w = openAssessment();
        QVERIFY(w);
        QVERIFY(!w->storedRevision());
        QVERIFY(!w->approveButton->isEnabled());

        produce();
        QTRY_VERIFY(w->storedRevision());
        const ArchiveRecord stored = *w->storedRevision();
        QVERIFY(stored.judgement.judged);
        QCOMPARE(stored.judgement.rows.size(), w->rows().size());
        for (int i = 0; i < w->rows().size(); ++i) {
            QCOMPARE(stored.judgement.rows[i].id, w->rows()[i].id);
            QCOMPARE(stored.judgement.rows[i].verdictLine, w->rows()[i].verdictLine());
        }
        QVERIFY(!stored.judgement.normsDigest.isEmpty());
        QVERIFY(!stored.judgement.programVersion.isEmpty());
        // What the judgement read beyond the results travels with it.
        QCOMPARE(stored.judgement.input.value(u"ProtocolNumber"_s), u"12"_s);

        QCOMPARE(w->approverEdit->text(), u"Петров П.П."_s);
        QVERIFY(w->approveButton->isEnabled());
        QVERIFY(!w->withdrawButton->isEnabled());
        QTest::mouseClick(w->approveButton, Qt::LeftButton);
        QVERIFY(f->prompts.messages.isEmpty());
        QVERIFY(w->approvalLabel->text().contains(u"Утверждено: Петров П.П."_s));
        QVERIFY(!w->approveButton->isEnabled());
        QVERIFY(packedText(w->sheets()).contains(u"Утверждено:ПетровП.П."_s));
        const std::optional<ArchiveRecord> approved = archive().record(stored.id);
        QVERIFY(approved);
        QCOMPARE(approved->approvals.size(), 1);
        QCOMPARE(approved->approvals.first().person, u"Петров П.П."_s);

        f->windows->archive.openArchivedRecord(stored.id);
        QVERIFY(f->form4->windowTitle().contains(u"архивная копия, редакция 1"_s));
        QVERIFY(f->form4->windowTitle().contains(u"Утверждено: Петров П.П."_s));

        // Withdrawn with a reason only; the reason is kept.
        QVERIFY(!w->withdrawButton->isEnabled());
        w->withdrawReasonEdit->setText(u"не тот паспорт"_s);
        QVERIFY(w->withdrawButton->isEnabled());
        QTest::mouseClick(w->withdrawButton, Qt::LeftButton);
        QVERIFY(w->approvalLabel->text().contains(u"Утверждение снято"_s));
        QVERIFY(w->approveButton->isEnabled());
        QCOMPARE(archive().record(stored.id)->approvals.last().reason, u"не тот паспорт"_s);

        // Approved again by a name typed, then the protocol changes and is printed again.
        w->approverEdit->setText(u"Сидоров С.С."_s);
        QTest::mouseClick(w->approveButton, Qt::LeftButton);
        f->form->results().set(ResultId::Pxx00, u"  650.0"_s);
        produce();
        QTRY_COMPARE(w->storedRevision()->revision, 2);
        QVERIFY(w->approvalLabel->text().contains(u"Не утверждено"_s));
        QVERIFY(w->approveButton->isEnabled());
        const std::optional<ArchiveRecord> first = archive().record(stored.id);
        QCOMPARE(approvalInForce(first->approvals)->person, u"Сидоров С.С."_s);
        QCOMPARE(first->results, stored.results);
    }

    // The archive window lists the verdict and the approval, keeps only the records that
    // want attention when asked, and shows a record's judgement as stored.
    void theArchiveWindowShowsAndFiltersTheVerdicts()
    {
        fill(u"  600.0"_s);
        produce();
        ArchiveRecord unjudged = sampleUnjudged();
        QVERIFY(archive().store(unjudged).ok());

        f->click(f->form->control<QPushButton>("ArchiveButton"));
        ArchiveWindow *a = f->windows->archive.archiveWindow();
        QVERIFY(a && QTest::qWaitForWindowExposed(a));
        QTRY_COMPARE(a->model->rowCount(), 2);
        QStringList verdicts;
        for (int r = 0; r < a->model->rowCount(); ++r)
            verdicts.append(a->model->index(r, ArchiveListModel::VerdictColumn).data().toString());
        QVERIFY(verdicts.contains(u"не оценивалось"_s));
        const qint64 judgedId = *archive().latestRevisionId(u"12"_s, u"4711"_s);
        const std::optional<ArchiveRecord> judged = archive().record(judgedId);
        const int failing = judged->judgement.count(StoredVerdict::Fails);
        const int analysis = judged->judgement.count(StoredVerdict::NeedsAnalysis);
        a->attentionCheck->setChecked(true);
        QTRY_COMPARE(a->model->rowCount(), failing + analysis > 0 ? 1 : 0);
        a->attentionCheck->setChecked(false);
        QTRY_COMPARE(a->model->rowCount(), 2);

        for (int r = 0; r < a->model->rowCount(); ++r)
            if (a->model->idAt(r) == judgedId)
                a->selectRows({r});
        QVERIFY(a->judgementButton->isEnabled());
        QTest::mouseClick(a->judgementButton, Qt::LeftButton);
        ArchivedJudgementWindow *view = f->windows->assessment.archivedWindow();
        QVERIFY(view && view->isVisible());
        QCOMPARE(view->table->rowCount(), judged->judgement.rows.size());
        QCOMPARE(view->table->editTriggers(), QAbstractItemView::NoEditTriggers);
        for (int r = 0; r < view->table->rowCount(); ++r)
            QCOMPARE(view->table->item(r, ArchivedJudgementWindow::VerdictColumn)->text(),
                     judged->judgement.rows[r].verdictLine);
        // Nothing changed since: today's judgement is the stored one.
        QVERIFY2(view->summary->text().contains(u"не отличается"_s), qPrintable(view->summary->text()));
    }

private:
    static ArchiveRecord sampleUnjudged()
    {
        ArchiveRecord record;
        record.moment = QDateTime(QDate(2025, 2, 1), QTime(10, 0), Qt::UTC);
        record.protocolNumber = u"5"_s;
        record.serialNumber = u"77"_s;
        record.type = u"ТМ-400"_s;
        record.results = {{u"Pxx00"_s, u"1240.5"_s}};
        return record;
    }
};

QTEST_MAIN(TstAssessmentApproval)
#include "tst_assessmentapproval.moc"
