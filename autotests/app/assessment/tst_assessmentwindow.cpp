#include "assessmentwindow.h"
#include "resultrecord.h"
#include "cataloguefile.h"
#include "declaredstore.h"
#include "operatortyping.h"
#include "protocolarchive.h"
#include "windowfixture.h"

#include "sheet.h"

#include <QComboBox>
#include <QPrinter>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>

#include <memory>

using namespace Qt::StringLiterals;

class TstAssessmentWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> f;

    AssessmentWindow *openWindow()
    {
        f->click(f->form->control<QPushButton>("AssessmentButton"));
        return f->windows->assessment.assessmentWindow();
    }

    static int rowOf(AssessmentWindow *w, const QString &id)
    {
        for (int r = 0; r < w->table->rowCount(); ++r)
            if (w->table->item(r, AssessmentWindow::CheckColumn)->data(AssessmentWindow::IdRole).toString() == id)
                return r;
        return -1;
    }

    static QString verdictOf(AssessmentWindow *w, const QString &id)
    {
        const int r = rowOf(w, id);
        return r < 0 ? QString() : w->table->item(r, AssessmentWindow::VerdictColumn)->text();
    }

    static QColor colourOf(AssessmentWindow *w, const QString &id)
    {
        const int r = rowOf(w, id);
        return r < 0 ? QColor() : w->table->item(r, AssessmentWindow::VerdictColumn)->background().color();
    }

    // Every text of the pages, blanks taken out: a verdict may wrap anywhere between words.
    static QString packedText(const QList<Sheet> &pages, int page)
    {
        QString all;
        for (const SheetTextOp &op : pages.value(page).texts)
            all += op.lines.join(QString());
        return all.remove(u' ');
    }

    static void type(QLineEdit *edit, const QString &text)
    {
        edit->clear();
        typeText(edit, text);
    }

private slots:
    void init()
    {
        f = std::make_unique<WindowFixture>();
        QVERIFY(f->isValid());
        QVERIFY(f->startWindow());
    }
    void cleanup() { f.reset(); }

    void theButtonStandsBesideTheArchiveAndMovesNothing()
    {
        TForm1 *form = f->form;
        QCOMPARE(form->control<QPushButton>("AssessmentButton")->text(), u"Оценка результатов"_s);
        QCOMPARE(form->control<QPushButton>("AssessmentButton")->parentWidget(), form->control<QPushButton>("ArchiveButton")->parentWidget());
        QCOMPARE(form->control<QPushButton>("ArchiveButton")->geometry(), QRect(344, 507, 289, 19));
        QCOMPARE(form->control<QPushButton>("Previw")->geometry(), QRect(344, 480, 289, 25));
        QWidget *page = form->control<QWidget>("sTabSheet6");
        f->showPageOf(page);
        QVERIFY2(page->rect().contains(form->control<QPushButton>("AssessmentButton")->geometry()),
                 qPrintable(QStringLiteral("%1 x %2").arg(page->width()).arg(page->height())));
        for (QWidget *w : page->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (w != form->control<QPushButton>("AssessmentButton") && w->isVisibleTo(page)
                && QByteArray(w->metaObject()->className()) != "QFrame")
                QVERIFY2(!w->geometry().intersects(form->control<QPushButton>("AssessmentButton")->geometry()), qPrintable(w->objectName()));
        }
        QCOMPARE(form->control(u"AssessmentButton"_s), form->control<QPushButton>("AssessmentButton"));
    }

    void verdictsFollowTheResultsInWordsAndColour()
    {
        AssessmentWindow *w = openWindow();
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QCOMPARE(verdictOf(w, u"losses.p0"_s), u"не оценивается: нет измерения"_s);

        f->form->results().set(ResultId::Pxx00, u"  600.0"_s);
        QTRY_COMPARE(verdictOf(w, u"losses.p0"_s), u"не оценивается: нет паспортного значения P0"_s);
        type(w->p0Edit, u"500"_s);
        QCOMPARE(verdictOf(w, u"losses.p0"_s), u"не соответствует"_s);
        QCOMPARE(colourOf(w, u"losses.p0"_s), AssessmentWindow::verdictColour(Verdict::Fails));
        const int r = rowOf(w, u"losses.p0"_s);
        QCOMPARE(w->table->item(r, AssessmentWindow::DeviationColumn)->text(), u"+20.00 %"_s);
        QVERIFY(w->table->item(r, AssessmentWindow::LimitColumn)->text().contains(u"+15 %"_s));
        QVERIFY(w->table->item(r, AssessmentWindow::SourceColumn)->text().contains(u"IEC 60076-1"_s));

        // A new no-load result reaches the open window without a touch; P0 within its +15 %
        // conforms once the total is known to be within its +10 %.
        f->form->results().set(ResultId::Pxx00, u"  570.0"_s);
        QTRY_COMPARE(verdictOf(w, u"losses.p0"_s), u"не оценивается: полные потери не оценены (нет измерения)"_s);
        type(w->pkEdit, u"3000"_s);
        f->form->results().set(ResultId::Pkz12, u"  3000"_s);
        QTRY_COMPARE(verdictOf(w, u"losses.p0"_s), u"соответствует"_s);
        QCOMPARE(colourOf(w, u"losses.p0"_s), AssessmentWindow::verdictColour(Verdict::Complies));
        QVERIFY(w->summary->text().contains(u"соответствует - 3"_s));
    }

    void declaredValuesAreKeptWithTheTypeAndTheSerialNumber()
    {
        QCOMPARE(CatalogueFile::saveType(u"ТМ-250"_s, TransformerType()), CatalogueFile::SaveResult::Saved);
        f->form->control<QComboBox>("Name")->setEditText(u"ТМ-250"_s);
        f->form->control<QLineEdit>("RepairNumber")->setText(u"4711"_s);
        f->form->control<QLineEdit>("ProtocolNumber")->setText(u"12"_s);
        AssessmentWindow *w = openWindow();
        QVERIFY(w);
        QCOMPARE(w->title->text(), u"Тип: ТМ-250    Заводской №: 4711    Протокол №: 12"_s);
        type(w->ukEdit, u"4,5"_s);
        type(w->r60Edits[0], u"900"_s);
        type(w->r60TemperatureEdit, u"20"_s);
        type(w->insulationTemperatureEdit, u"30"_s);
        w->oilCombo->setCurrentIndex(2);
        type(w->tapStepEdit, u"2.5x"_s);
        QVERIFY(w->inputProblems->text().contains(u"«2.5x»"_s));
        f->form->control<QLineEdit>("RHigh60")->setText(u"299"_s);
        QTRY_COMPARE(verdictOf(w, u"insulation.factory.0"_s), u"не соответствует"_s);
        QTest::mouseClick(w->saveButton, Qt::LeftButton);
        QVERIFY(f->prompts.messages.isEmpty());

        QCOMPARE(DeclaredStore::loadType(u"ТМ-250"_s).uk, std::optional<double>(4.5));
        QCOMPARE(DeclaredStore::loadSerial(u"4711"_s).r60[0], std::optional<double>(900));
        QCOMPARE(DeclaredStore::loadTest(u"4711"_s, u"12"_s).declared.oil, OilState::InService);

        // Another transformer shows its own (none), and back again.
        f->form->control<QLineEdit>("RepairNumber")->setText(u"4712"_s);
        QTRY_COMPARE(w->r60Edits[0]->text(), QString());
        QCOMPARE(w->ukEdit->text(), u"4.5"_s);
        f->form->control<QLineEdit>("RepairNumber")->setText(u"4711"_s);
        QTRY_COMPARE(w->r60Edits[0]->text(), u"900"_s);
        QCOMPARE(w->insulationTemperatureEdit->text(), u"30"_s);

        // A new protocol number of the same transformer keeps what was typed for the test
        // until that number has values of its own.
        f->form->control<QLineEdit>("ProtocolNumber")->setText(u"13"_s);
        QTRY_COMPARE(w->title->text(), u"Тип: ТМ-250    Заводской №: 4711    Протокол №: 13"_s);
        QCOMPARE(w->insulationTemperatureEdit->text(), u"30"_s);
        QCOMPARE(w->oilCombo->currentIndex(), 2);
        DeclaredStore::saveTest(u"4711"_s, u"14"_s, {{15.0, OilState::BeforeFilling}, {}});
        f->form->control<QLineEdit>("ProtocolNumber")->setText(u"14"_s);
        QTRY_COMPARE(w->insulationTemperatureEdit->text(), u"15"_s);
        QCOMPARE(w->oilCombo->currentIndex(), 1);
    }

    void theOilsProtectionIsDeclaredWithTheTypeAndChangedPerTest()
    {
        QCOMPARE(CatalogueFile::saveType(u"ТМГ-250"_s, TransformerType()), CatalogueFile::SaveResult::Saved);
        f->form->control<QComboBox>("Name")->setEditText(u"ТМГ-250"_s);
        f->form->control<QLineEdit>("RepairNumber")->setText(u"5001"_s);
        f->form->control<QLineEdit>("ProtocolNumber")->setText(u"3"_s);
        f->form->control<QLineEdit>("WaterContent")->setText(u"25"_s);
        AssessmentWindow *w = openWindow();
        QVERIFY(w);
        w->oilCombo->setCurrentIndex(2);
        QCOMPARE(verdictOf(w, u"oil.water"_s), u"не оценивается: не указана защита масла (герметичное исполнение или нет)"_s);
        w->oilProtectionCombo->setCurrentIndex(int(OilProtection::Sealed));
        QCOMPARE(verdictOf(w, u"oil.water"_s), u"не оценивается: в нормах нет предела для герметичного исполнения"_s);
        w->testProtectionCombo->setCurrentIndex(int(OilProtection::Open));
        QCOMPARE(verdictOf(w, u"oil.water"_s), u"соответствует"_s);
        QTest::mouseClick(w->saveButton, Qt::LeftButton);
        QVERIFY(f->prompts.messages.isEmpty());
        QCOMPARE(DeclaredStore::loadType(u"ТМГ-250"_s).oilProtection, OilProtection::Sealed);
        QCOMPARE(DeclaredStore::loadTest(u"5001"_s, u"3"_s).declared.oilProtection, OilProtection::Open);

        f->form->control<QLineEdit>("ProtocolNumber")->setText(u"4"_s);
        DeclaredStore::saveTest(u"5001"_s, u"4"_s, {{20.0, OilState::InService}, {}});
        f->form->control<QLineEdit>("ProtocolNumber")->setText(u"4"_s);
        QTRY_COMPARE(w->title->text(), u"Тип: ТМГ-250    Заводской №: 5001    Протокол №: 4"_s);
        QCOMPARE(w->oilProtectionCombo->currentIndex(), int(OilProtection::Sealed));
        QCOMPARE(w->testProtectionCombo->currentIndex(), int(OilProtection::Unknown));
    }

    void aDecisionIsDroppedWhenItsValueChangesAndTheRowSaysSo()
    {
        f->form->control<QLineEdit>("RepairNumber")->setText(u"78"_s);
        f->form->results().set(ResultId::Pxx00, u"600"_s);
        AssessmentWindow *w = openWindow();
        QVERIFY(w);
        type(w->p0Edit, u"500"_s);
        w->table->selectRow(rowOf(w, u"losses.p0"_s));
        w->overrideVerdict->setCurrentIndex(0);
        type(w->overrideReason, u"допуск по договору"_s);
        QTest::mouseClick(w->overrideButton, Qt::LeftButton);
        QCOMPARE(verdictOf(w, u"losses.p0"_s), u"соответствует (вручную: допуск по договору; программа: не соответствует)"_s);

        f->form->results().set(ResultId::Pxx00, u"640"_s);
        QTRY_COMPARE(verdictOf(w, u"losses.p0"_s),
                     u"не соответствует (решение инженера «соответствует: допуск по договору» снято: изменились значения, "
                     "на которых оно принято)"_s);
        QVERIFY(DeclaredStore::loadTest(u"78"_s, QString()).overrides.isEmpty());
        // Back to the old value, the decision stays dropped: the engineer decides again.
        f->form->results().set(ResultId::Pxx00, u"600"_s);
        QTRY_VERIFY(w->rows().size() > 0 && !verdictOf(w, u"losses.p0"_s).contains(u"вручную"_s));
        QCOMPARE(verdictOf(w, u"losses.p0"_s).left(16), u"не соответствует"_s);
    }

    void aTemperatureOutsideItsRangeIsRefusedWhereTyped()
    {
        f->form->control<QLineEdit>("RepairNumber")->setText(u"79"_s);
        f->form->control<QLineEdit>("RHigh60")->setText(u"500"_s);
        AssessmentWindow *w = openWindow();
        QVERIFY(w);
        type(w->r60Edits[0], u"1000"_s);
        type(w->insulationTemperatureEdit, u"20"_s);
        type(w->r60TemperatureEdit, u"-235"_s);
        QVERIFY2(w->inputProblems->text().contains(u"температуры вне -60…150 °C не учитываются: «-235»"_s),
                 qPrintable(w->inputProblems->text()));
        QCOMPARE(verdictOf(w, u"insulation.factory.0"_s),
                 u"не оценивается: температура заводского измерения -235 °C вне -60…150 °C"_s);
        QTest::mouseClick(w->saveButton, Qt::LeftButton);
        QCOMPARE(f->prompts.messages.size(), 1);
        QVERIFY(f->prompts.messages[0].text.startsWith(u"Не сохранено: температура вне"_s));
        QVERIFY(!DeclaredStore::loadSerial(u"79"_s).r60[0]);
    }

    void whatCannotBeSavedIsSaid()
    {
        f->form->control<QComboBox>("Name")->setEditText(u"ТМ-999"_s);
        AssessmentWindow *w = openWindow();
        QVERIFY(w);
        type(w->p0Edit, u"500"_s);
        QTest::mouseClick(w->saveButton, Qt::LeftButton);
        QCOMPARE(f->prompts.messages.size(), 1);
        QCOMPARE(f->prompts.messages[0].caption, u"Оценка результатов"_s);
        QVERIFY(f->prompts.messages[0].text.contains(u"тип «ТМ-999» не сохранён в каталоге"_s));
        QVERIFY(f->prompts.messages[0].text.contains(u"введите заводской №"_s));
        QVERIFY(!QFile::exists(DeclaredStore::path()));
    }

    void anEngineersVerdictNeedsAReasonAndShowsAsManual()
    {
        f->form->control<QLineEdit>("RepairNumber")->setText(u"77"_s);
        f->form->results().set(ResultId::Pxx00, u"600"_s);
        AssessmentWindow *w = openWindow();
        QVERIFY(w);
        type(w->p0Edit, u"500"_s);
        w->table->selectRow(rowOf(w, u"losses.p0"_s));
        w->overrideVerdict->setCurrentIndex(0);
        QTest::mouseClick(w->overrideButton, Qt::LeftButton);
        QCOMPARE(f->prompts.messages.size(), 1);
        QCOMPARE(f->prompts.messages[0].text, u"Укажите причину решения инженера."_s);
        QCOMPARE(verdictOf(w, u"losses.p0"_s), u"не соответствует"_s);

        type(w->overrideReason, u"допуск по договору"_s);
        QTest::mouseClick(w->overrideButton, Qt::LeftButton);
        QCOMPARE(verdictOf(w, u"losses.p0"_s),
                 u"соответствует (вручную: допуск по договору; программа: не соответствует)"_s);
        QCOMPARE(DeclaredStore::loadTest(u"77"_s, QString()).overrides.value(u"losses.p0"_s).reason,
                 u"допуск по договору"_s);

        w->table->selectRow(rowOf(w, u"losses.p0"_s));
        QTest::mouseClick(w->removeOverrideButton, Qt::LeftButton);
        QCOMPARE(verdictOf(w, u"losses.p0"_s), u"не соответствует"_s);
        QVERIFY(DeclaredStore::loadTest(u"77"_s, QString()).overrides.isEmpty());
    }

    void aBrokenNormsCopyIsRefusedOnceInWords()
    {
        QFile broken(f->filePath(NormsFileName));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("[resistance.phases]\r\n");
        broken.close();
        AssessmentWindow *w = openWindow();
        QVERIFY(w);
        QCOMPARE(f->prompts.messages.size(), 1);
        QVERIFY(f->prompts.messages[0].text.contains(u"не принят"_s));
        QVERIFY(w->normsLine->text().contains(u"Внимание"_s));
        QVERIFY(!w->normsCopyButton->isEnabled());
        w->hide();
        openWindow();
        QCOMPARE(f->prompts.messages.size(), 1);
    }

    void aChangedNormsCopyIsReadAtTheNextShowAndOnlyThen()
    {
        AssessmentWindow *w = openWindow();
        QVERIFY(w);
        QVERIFY(w->normsLine->text().contains(u"поставляемые с программой"_s));
        QTest::mouseClick(w->normsCopyButton, Qt::LeftButton);
        w->hide();
        openWindow();
        QVERIFY(w->normsLine->text().contains(u"файл мастерской"_s));
        // The same copy again: nothing read, nothing said twice.
        w->hide();
        openWindow();
        QCOMPARE(f->prompts.messages.size(), 1);
    }

    void theSheetListsEveryVerdictOnPagesOfItsOwn()
    {
        f->form->control<QLineEdit>("ProtocolNumber")->setText(u"12"_s);
        f->form->control<QLineEdit>("RepairNumber")->setText(u"4711"_s);
        f->form->results().set(ResultId::Pxx00, u"600"_s);
        AssessmentWindow *w = openWindow();
        QVERIFY(w);
        type(w->p0Edit, u"500"_s);
        // A long reason makes its verdict the tallest cell of its row, every line of it printed.
        w->table->selectRow(rowOf(w, u"losses.p0"_s));
        type(w->overrideReason, u"потери приняты по протоколу заводских испытаний № 118 от 12.03.2019 с согласия заказчика"_s);
        QTest::mouseClick(w->overrideButton, Qt::LeftButton);
        const QList<Sheet> pages = w->sheets();
        QVERIFY(pages.size() >= 2); // some forty rows do not fit one landscape page
        QString all;
        for (int p = 0; p < pages.size(); ++p) {
            QCOMPARE(pages[p].orientation, QPageLayout::Landscape);
            QVERIFY2(packedText(pages, p).contains(u"ПроверкаИзмерено"_s), qPrintable(QString::number(p)));
            QVERIFY(packedText(pages, p).contains(u"Лист"_s + QString::number(p + 1) + u"из"_s + QString::number(pages.size())));
            all += packedText(pages, p);
        }
        QVERIFY(packedText(pages, 0).contains(u"Оценкарезультатовиспытанийкпротоколу№12"_s));
        for (const AssessmentRow &row : w->rows())
            QVERIFY2(all.contains(row.verdictLine().remove(u' ')), qPrintable(row.id));
        QVERIFY(all.contains(u"+20.00%"_s));
    }

    void theSheetGoesToPdfAndToOnePrintJob()
    {
        f->form->control<QLineEdit>("ProtocolNumber")->setText(u"12"_s);
        AssessmentWindow *w = openWindow();
        QVERIFY(w);
        const QString pdf = f->filePath(u"sheet.pdf"_s);
        f->prompts.fileAnswers = {pdf};
        QTest::mouseClick(w->pdfButton, Qt::LeftButton);
        QCOMPARE(f->prompts.fileDialogs.size(), 1);
        QCOMPARE(f->prompts.fileDialogs[0].request.proposedName, u"Оценка к протоколу 12.pdf"_s);
        QFile written(pdf);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QVERIFY(written.read(4) == "%PDF");

        const QString printed = f->filePath(u"printed.pdf"_s);
        f->prompts.onPrinterSetUp = [&](QPrinter *printer) {
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(printed);
            return true;
        };
        QTest::mouseClick(w->printButton, Qt::LeftButton);
        QCOMPARE(f->prompts.printSetups, 1);
        QFile job(printed);
        QVERIFY(job.open(QIODevice::ReadOnly));
        const QByteArray bytes = job.readAll();
        QVERIFY(bytes.startsWith("%PDF"));
        QCOMPARE(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r"), qsizetype(w->sheets().size()));
        QVERIFY(f->prompts.messages.isEmpty());
    }

    // The previous protocol of the serial number from the archive: a ratio 1.6 % off it
    // conforms, "близко к пределу" beside the verdict in the window and on the sheet.
    void aChangeNearItsLimitIsNotedBesideTheVerdict()
    {
        ArchiveRecord previous;
        previous.protocolNumber = u"11"_s;
        previous.serialNumber = u"4711"_s;
        previous.type = u"ТМ-250"_s;
        previous.moment = QDateTime(QDate(2025, 2, 3), QTime(10, 0));
        previous.results = {{u"TransformGrid10"_s, u"25.00"_s}, {u"RHigh60"_s, u"4000"_s}};
        QVERIFY(f->windows->archive.archive().store(previous).ok());
        DeclaredStore::TestRecord test;
        test.declared.insulationTemperature = 30;
        DeclaredStore::saveTest(u"4711"_s, u"11"_s, test);
        f->form->control<QLineEdit>("RepairNumber")->setText(u"4711"_s);
        f->form->control<QLineEdit>("ProtocolNumber")->setText(u"12"_s);
        f->form->results().set(Results::ratio(0, 0), u"24.60"_s);
        f->form->results().set(ResultId::RHigh60, u"2000"_s);
        AssessmentWindow *w = openWindow();
        QVERIFY(w);
        type(w->insulationTemperatureEdit, u"20"_s);
        const QString noted = u"соответствует; близко к пределу: изменение занимает 80 % допуска ±2 %"_s;
        QTRY_COMPARE(verdictOf(w, u"ratio.previous.0"_s), noted);
        QCOMPARE(colourOf(w, u"ratio.previous.0"_s), AssessmentWindow::verdictColour(Verdict::Complies));
        QVERIFY(packedText(w->sheets(), 0).contains(QString(noted).remove(u' ')));
        // 4000 MΩ at 30 °C is 6000 at 20 °C: 2000 is a third of it.
        QCOMPARE(verdictOf(w, u"insulation.previous.0"_s), u"не соответствует"_s);
    }

    void theWorkshopCopyIsMadeFromTheWindow()
    {
        AssessmentWindow *w = openWindow();
        QVERIFY(w);
        QVERIFY(w->normsLine->text().contains(u"поставляемые с программой"_s));
        QCOMPARE(w->normsTable->rowCount(), NormsTable::ids().size());
        const int r60 = int(NormsTable::ids().indexOf(u"insulation.r60"_s));
        QCOMPARE(w->normsTable->item(r60, 0)->text(), u"Сопротивление изоляции R60, наименьшее"_s);
        QVERIFY(w->normsTable->item(r60, 2)->text().startsWith(u"маслонаполненные до 35 кВ"_s));
        QCOMPARE(w->normsTable->item(r60, 4)->text(), u"уточнить"_s);
        QTest::mouseClick(w->normsCopyButton, Qt::LeftButton);
        QVERIFY(QFile::exists(f->filePath(NormsFileName)));
        QVERIFY(!w->normsCopyButton->isEnabled());
        QCOMPARE(f->prompts.messages.size(), 1);
    }
};

QTEST_MAIN(TstAssessmentWindow)
#include "tst_assessmentwindow.moc"
