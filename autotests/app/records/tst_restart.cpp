#include "restartfixture.h"
#include "resultrecord.h"
#include "transformertypes.h"

#include "cataloguefile.h"
#include "errorreport.h"
#include "keyvaluefile.h"
#include "ratedentry.h"
#include "settingsfile.h"
#include "statefile.h"

#include <QDate>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QApplication>
#include <QFileInfo>
#include <QTimer>

namespace {

const QString UnusedRange = QStringLiteral("Не используется");
const QString TypeName = QStringLiteral("ТМ-63/10");

// What a hand edit or an older program left in the state file.
void writeState(const QList<QPair<QString, QString>> &entries)
{
    KeyValueFile(StateFile::path()).writeValues(StateFile::Section, entries);
}

} // namespace

class TstRestart : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void firstStartShowsTheLayoutAndCreatesNoFile();
    void theRecordsFolderIsNamedAtStartUntilThePageChanges();
    void closingWritesTheStateAndNothingElse();
    void thePortOfTheSettingsIsSetAndStaysClosed();
    void storedResultsStayWhenTheTypeIsLoadedAtStart();
    void everyEntryOfTheStateComesBackAsShown();
    void aDeletedTypeLeavesItsNameAndTheLayoutFields();
    void aConclusionComesBackWhole_data();
    void aConclusionComesBackWhole();
    void resultsEmptiedByALaterTestComeBackEmpty();
    void aCurrentRangeWithoutVoltageRangeLeavesTheVoltageUnused();
    void aRangeOutsideItsListFallsBackToTheFirstItem_data();
    void aRangeOutsideItsListFallsBackToTheFirstItem();
    void aTemperatureThatIsNoNumberIsReportedAndStartGoesOn_data();
    void aTemperatureThatIsNoNumberIsReportedAndStartGoesOn();
    void theYearShownIsAlwaysTheCurrentOne();
    void leavingASettingsFieldStoresItsText_data();
    void leavingASettingsFieldStoresItsText();
    void aFirmNameOnTwoLinesComesBackJoinedByOneBlank();
    void aTextTheFilesCannotHoldIsRefusedAndTheStoredOneStays_data();
    void aTextTheFilesCannotHoldIsRefusedAndTheStoredOneStays();
    void aSettingStillBeingTypedAtCloseIsKept_data();
    void aSettingStillBeingTypedAtCloseIsKept();
    void aSettingThatCannotBeWrittenAtCloseLeavesTheStateWritten();
    void theAutoStopTickIsKeptAtEveryClick();
    void aRecordThatCannotBeWrittenIsReportedAndTheWindowGoesOn_data();
    void aRecordThatCannotBeWrittenIsReportedAndTheWindowGoesOn();
    void aStateThatCannotBeWrittenIsReportedAndTheWindowStillCloses();

private:
    std::unique_ptr<RestartFixture> f;
};

void TstRestart::init()
{
    f = std::make_unique<RestartFixture>();
    QVERIFY(f->isValid());
}

void TstRestart::cleanup()
{
    f.reset();
}

void TstRestart::firstStartShowsTheLayoutAndCreatesNoFile()
{
    QVERIFY(f->start());
    TForm1 *w = f->form;
    QCOMPARE(w->control<PageControl>("PageControl1")->activePage(), w->control<QWidget>("Main"));
    QCOMPARE(w->control<RadioGroup>("FasNumber")->itemIndex(), -1);
    QCOMPARE(w->control<RadioGroup>("Material")->itemIndex(), -1);
    QCOMPARE(f->shown("Temperature"), QStringLiteral("25"));
    QCOMPARE(f->shown("Freq2"), QStringLiteral("50"));
    QCOMPARE(w->control<QComboBox>("Name")->count(), 0);
    QCOMPARE(f->shown("Name"), QString());
    QCOMPARE(f->shown("StatusBarMain"), QStringLiteral("0"));
    QCOMPARE(f->shown("YearOfRepair"), QString::number(QDate::currentDate().year()));
    QCOMPARE(f->shown("Conclusion"), QStringLiteral("+"));
    // The title the layout puts there is not a stored title.
    QCOMPARE(f->shown("ChiefName"), QString());
    QVERIFY(w->control<QCheckBox>("cbAutoStop")->isChecked());
    QCOMPARE(f->windows->link.portSettings().portNum, 10);
    QCOMPARE(f->windows->link.portSettings().userBaudrate, 1000000);
    QVERIFY(!f->windows->link.isPortOpen());
    QVERIFY(!f->windows->link.watchdog().isActive());
    for (QPushButton *b : {w->control<QPushButton>("IdleState"), w->control<QPushButton>("ShortState"), w->control<QPushButton>("Transform"), w->control<QPushButton>("Resist"), w->control<QPushButton>("Gauge")})
        QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
    QCOMPARE(f->messageTexts(), QString());
    QCOMPARE(f->files(), QStringList());
}

// Records passed over in the program's folder are not lost silently: the status bar names
// the folder used, once, where the port's state stands after the first page change.
void TstRestart::theRecordsFolderIsNamedAtStartUntilThePageChanges()
{
    const QString notice = QStringLiteral("Записи ведутся в папке /home/u/.local/share/transformer-bench");
    setRecordsDirectoryForTests(f->recordsFolder(), notice);
    QVERIFY(f->start());
    QCOMPARE(f->shown("StatusBarMain"), notice);
    QCOMPARE(f->messageTexts(), QString());
    QTest::mouseClick(f->form->control<PageControl>("PageControl1")->tabButton(5), Qt::LeftButton);
    QCOMPARE(f->form->control<PageControl>("PageControl1")->activePage(), f->form->control<QWidget>("sTabSheet6"));
    QCOMPARE(f->shown("StatusBarMain"), QString());
}

void TstRestart::closingWritesTheStateAndNothingElse()
{
    QVERIFY(f->start());
    QVERIFY(f->close());
    QCOMPARE(f->files(), QStringList{StateFile::FileName});
    QCOMPARE(f->messageTexts(), QString());
}

void TstRestart::thePortOfTheSettingsIsSetAndStaysClosed()
{
    SettingsFile::writePort(7, 115200);
    QVERIFY(f->start());
    QCOMPARE(f->windows->link.portSettings().portNum, 7);
    QCOMPARE(f->windows->link.portSettings().userBaudrate, 115200);
    QVERIFY(!f->windows->link.isPortOpen());
}

void TstRestart::storedResultsStayWhenTheTypeIsLoadedAtStart()
{
    QCOMPARE(CatalogueFile::saveType(TypeName, tm63()), CatalogueFile::SaveResult::Saved);
    QVERIFY(f->start());
    QVERIFY(f->choose(f->form->control<QComboBox>("Name"), TypeName));
    TForm1 *w = f->form;
    w->results().set(ResultId::Uab00, QStringLiteral("400.0"));
    w->results().set(ResultId::Pkz10, QStringLiteral("1234.6"));
    w->results().set(Results::transformCell(1, 0), QStringLiteral("25.01"));
    w->results().set(ResultId::Group, QStringLiteral("11"));
    w->results().set(Results::resistenceCell(1, 2), QStringLiteral("12.3"));
    w->control<QLineEdit>("RepairNumber")->setText(QStringLiteral("4711"));
    w->control<QPlainTextEdit>("Conclusion")->setPlainText(QStringLiteral("Годен"));
    w->control<QLineEdit>("RHigh15")->setText(QStringLiteral("500"));
    QVERIFY(f->restart());

    w = f->form;
    QCOMPARE(f->shown("Name"), TypeName);
    QCOMPARE(f->shown("Unom"), QStringLiteral("400"));
    QCOMPARE(f->shown("Unom2"), QStringLiteral("10000"));
    QCOMPARE(f->shown("Inom2"), QStringLiteral("3.64"));
    QCOMPARE(f->shown("Freq2"), QStringLiteral("60"));
    QCOMPARE(w->control<RadioGroup>("Material")->itemIndex(), 1);
    QCOMPARE(w->control<RadioGroup>("FasNumber")->itemIndex(), 0);
    QCOMPARE(f->shown("Circuit"), QStringLiteral("U / Uo - 0"));
    QCOMPARE(f->shown("Uab00"), QStringLiteral("400.0"));
    QCOMPARE(f->shown("Pkz10"), QStringLiteral("1234.6"));
    QCOMPARE(w->control<StringGrid>("TransformGrid")->cell(1, 0), QStringLiteral("25.01"));
    QCOMPARE(f->shown("Group"), QStringLiteral("11"));
    QCOMPARE(w->control<StringGrid>("ResistenceGrid")->cell(1, 2), QStringLiteral("12.3"));
    QCOMPARE(f->shown("RepairNumber"), QStringLiteral("4711"));
    QCOMPARE(f->shown("Conclusion"), QStringLiteral("Годен"));
    QCOMPARE(f->shown("RHigh15"), QStringLiteral("500"));
    QCOMPARE(w->control<QComboBox>("Name")->findText(TypeName), 0);
    QCOMPARE(f->messageTexts(), QString());
}

// Each entry gets a text of its own; the coefficients hold texts their resistances would
// not give, so recomputing them on restore would show.
void TstRestart::everyEntryOfTheStateComesBackAsShown()
{
    QVERIFY(f->start());
    TForm1 *w = f->form;
    QHash<QString, QString> given;
    int n = 100;
    for (const StateKey &k : StateFile::keys()) {
        const QString text = QString::number(n++);
        switch (k.kind) {
        case StateKey::Kind::Text: {
            QWidget *c = w->findChild<QWidget *>(k.control);
            QVERIFY2(c, qPrintable(k.control));
            if (c == w->control<QComboBox>("Name"))
                w->control<QComboBox>("Name")->setEditText(QStringLiteral("Нет в каталоге"));
            else if (qobject_cast<QLabel *>(c))
                w->results().set(*Results::byKey(k.key), text);
            else if (auto *e = qobject_cast<QLineEdit *>(c))
                e->setText(text);
            else if (auto *m = qobject_cast<QPlainTextEdit *>(c))
                m->setPlainText(text);
            given.insert(k.control, f->shown(k.control));
            break;
        }
        case StateKey::Kind::GridCell:
            w->results().set(*Results::byKey(k.key), text);
            break;
        case StateKey::Kind::ListIndex:
            break;
        }
    }
    w->control<QComboBox>("cbCurrent")->setCurrentIndex(4);
    w->control<QComboBox>("cbVoltage")->setCurrentIndex(2);
    QVERIFY(f->restart());

    w = f->form;
    n = 100;
    for (const StateKey &k : StateFile::keys()) {
        const QString text = QString::number(n++);
        if (k.kind == StateKey::Kind::Text)
            QCOMPARE(f->shown(k.control), given.value(k.control));
        else if (k.kind == StateKey::Kind::GridCell)
            QCOMPARE(w->findChild<StringGrid *>(k.control)->cell(k.column, k.row), text);
    }
    QCOMPARE(f->shown("cbCurrent"), QStringLiteral("150А/5А"));
    QCOMPARE(f->windows->link.Scaling.CurrentRatio, 30);
    QCOMPARE(f->windows->link.Scaling.CurrentDigits, 1);
    QCOMPARE(f->shown("cbVoltage"), QStringLiteral("35кВ/100В"));
    QCOMPARE(f->windows->link.Scaling.VoltageRatio, 350);
    QCOMPARE(double(f->windows->rated.Rated.WindingTemperature), f->shown("Temperature").toDouble());
    QCOMPARE(f->messageTexts(), QString());
}

void TstRestart::aDeletedTypeLeavesItsNameAndTheLayoutFields()
{
    const QString other = QStringLiteral("ОМ-1,25");
    QCOMPARE(CatalogueFile::saveType(TypeName, tm63()), CatalogueFile::SaveResult::Saved);
    QCOMPARE(CatalogueFile::saveType(other, tm63()), CatalogueFile::SaveResult::Saved);
    QVERIFY(f->start());
    QVERIFY(f->choose(f->form->control<QComboBox>("Name"), TypeName));
    QVERIFY(f->close());
    CatalogueFile::deleteType(TypeName);
    QVERIFY(f->start());

    TForm1 *w = f->form;
    QCOMPARE(f->shown("Name"), TypeName);
    for (const char *field : {"Unom", "Unom2", "Inom", "Inom2", "Pnom", "TransformerWeight", "Circuit"})
        QVERIFY2(f->shown(field).isEmpty(), field);
    QCOMPARE(f->shown("Freq2"), QStringLiteral("50"));
    QCOMPARE(w->control<RadioGroup>("Material")->itemIndex(), -1);
    QCOMPARE(w->control<RadioGroup>("FasNumber")->itemIndex(), -1);
    QCOMPARE(w->control<QComboBox>("Name")->count(), 1);
    QCOMPARE(w->control<QComboBox>("Name")->itemText(0), other);
}

void TstRestart::aConclusionComesBackWhole_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("two lines") << QStringLiteral("Трансформатор годен\nк эксплуатации");
    QTest::newRow("empty line inside and a break at the end")
        << QStringLiteral("Первая\n\nТретья\n");
    QTest::newRow("quotes and backslashes")
        << QStringLiteral("\"C:\\temp\\\" и 'кавычки'\n\\n не перевод строки");
    QTest::newRow("blanks around the lines") << QStringLiteral("  с отступом  \n  вторая  ");
    QTest::newRow("one line with blanks around") << QStringLiteral("  одна строка  ");
    QTest::newRow("letters outside the code page") << QStringLiteral("变压器 ✓\nΩ ok");
    QTest::newRow("longer than one value")
        << QString(1500, QChar(u'а')) + u'\n' + QString(1500, QChar(u'б'));
}

void TstRestart::aConclusionComesBackWhole()
{
    QFETCH(QString, text);
    QVERIFY(f->start());
    f->form->control<QPlainTextEdit>("Conclusion")->setPlainText(text);
    QVERIFY(f->restart());
    QCOMPARE(f->shown("Conclusion"), text);
    // What a reader of the one key sees: the first line.
    QCOMPARE(KeyValueFile(StateFile::path()).readString(StateFile::Section, StateFile::ConclusionKey),
             KeyValueFile::valueAsReadBack(text));
}

// Three phases measured and stored, then a one-phase test empties some fields: the
// next start must not bring the older values back.
void TstRestart::resultsEmptiedByALaterTestComeBackEmpty()
{
    const char *phases[] = {"Ubc00", "Uca00", "Ib00", "Ic00", "Ubc10", "Uca10", "Ib10", "Ic10",
                            "Ukz101", "Ukz102", "Pkz11", "Pkz12"};
    QVERIFY(f->start());
    for (const char *name : phases)
        f->form->results().set(*Results::byKey(QLatin1String(name)), QStringLiteral("1.23"));
    f->form->results().set(Results::resistenceCell(1, 1), QStringLiteral("7.5"));
    QVERIFY(f->restart());
    QCOMPARE(f->shown("Ubc00"), QStringLiteral("1.23"));

    for (const char *name : phases)
        f->form->results().clear(*Results::byKey(QLatin1String(name)));
    f->form->results().set(Results::resistenceCell(1, 1), QString());
    f->form->control<QPlainTextEdit>("Conclusion")->clear();
    QVERIFY(f->restart());
    for (const char *name : phases)
        QVERIFY2(f->shown(name).isEmpty(), name);
    QVERIFY(f->form->control<StringGrid>("ResistenceGrid")->cell(1, 1).isEmpty());
    QVERIFY(f->shown("Conclusion").isEmpty());
}

void TstRestart::aCurrentRangeWithoutVoltageRangeLeavesTheVoltageUnused()
{
    writeState({{QStringLiteral("CurrentInd"), QStringLiteral("3")}});
    QVERIFY(f->start());
    QCOMPARE(f->shown("cbCurrent"), QStringLiteral("100А/5А"));
    QCOMPARE(f->windows->link.Scaling.CurrentRatio, 20);
    QCOMPARE(f->windows->link.Scaling.CurrentDigits, 1);
    QCOMPARE(f->shown("cbVoltage"), UnusedRange);
    QCOMPARE(f->windows->link.Scaling.VoltageRatio, 1);
}

void TstRestart::aRangeOutsideItsListFallsBackToTheFirstItem_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("current one beyond") << "CurrentInd" << "10";
    QTest::newRow("current far beyond in hex") << "CurrentInd" << "0x40";
    QTest::newRow("current none selected") << "CurrentInd" << "-1";
    QTest::newRow("current a word") << "CurrentInd" << "три";
    QTest::newRow("voltage one beyond") << "VoltageInd" << "3";
    QTest::newRow("voltage negative") << "VoltageInd" << "-7";
}

// The ratios divide every reading: a range without an item would leave them unset.
void TstRestart::aRangeOutsideItsListFallsBackToTheFirstItem()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    writeState({{key, value}});
    QVERIFY(f->start());
    QCOMPARE(f->form->control<QComboBox>("cbCurrent")->currentIndex(), 0);
    QCOMPARE(f->form->control<QComboBox>("cbVoltage")->currentIndex(), 0);
    QCOMPARE(f->shown("cbCurrent"), UnusedRange);
    QCOMPARE(f->shown("cbVoltage"), UnusedRange);
    QCOMPARE(f->windows->link.Scaling.CurrentRatio, 1);
    QCOMPARE(f->windows->link.Scaling.VoltageRatio, 1);

    // Stored back as an item of the list.
    QVERIFY(f->close());
    QCOMPARE(KeyValueFile(StateFile::path()).readString(StateFile::Section, key), QStringLiteral("0"));
}

void TstRestart::aTemperatureThatIsNoNumberIsReportedAndStartGoesOn_data()
{
    QTest::addColumn<QString>("stored");
    QTest::newRow("empty") << QString();
    QTest::newRow("a word") << QStringLiteral("двадцать");
}

void TstRestart::aTemperatureThatIsNoNumberIsReportedAndStartGoesOn()
{
    QFETCH(QString, stored);
    QCOMPARE(CatalogueFile::saveType(TypeName, tm63()), CatalogueFile::SaveResult::Saved);
    writeState({{QStringLiteral("Name"), TypeName},
                {QStringLiteral("Temperature"), stored},
                {QStringLiteral("Uab00"), QStringLiteral("400.0")}});
    QVERIFY(f->start());

    QCOMPARE(f->prompts.messages.size(), 1);
    const RecordingPrompts::Message &m = f->prompts.messages.first();
    QCOMPARE(m.caption, InputErrorCaption);
    QCOMPARE(m.text, QStringLiteral("Набор символов '") + stored
                         + QStringLiteral("' в поле 'Температура', не является числом."));
    QCOMPARE(m.icon, PromptIcon::Error);
    QCOMPARE(f->shown("Temperature"), stored);
    QCOMPARE(f->shown("Uab00"), QStringLiteral("400.0"));
    QCOMPARE(f->shown("Unom"), QStringLiteral("400"));
}

void TstRestart::theYearShownIsAlwaysTheCurrentOne()
{
    const QString thisYear = QString::number(QDate::currentDate().year());
    QVERIFY(f->start());
    f->typeInto(f->form->control<QLineEdit>("YearOfRepair"), QStringLiteral("1999"), f->form->control<QLineEdit>("RepairNumber"));
    QCOMPARE(f->shown("YearOfRepair"), QStringLiteral("1999"));
    QVERIFY(f->close());
    writeState({{QStringLiteral("YearOfRepair"), QStringLiteral("1999")}});
    QVERIFY(f->start());
    QCOMPARE(f->shown("YearOfRepair"), thisYear);
}

void TstRestart::leavingASettingsFieldStoresItsText_data()
{
    QTest::addColumn<QString>("field");
    for (const char *name : {"Investigator", "Chief", "ChiefName", "OilAnalysis", "ElectricStrength",
                             "WaterContent", "MechanicalImpurities", "WeightedCoalContent", "Color",
                             "AcidNumber", "ReactionAqueousExtract", "FlashTemperature"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TstRestart::leavingASettingsFieldStoresItsText()
{
    QFETCH(QString, field);
    const QString text = QStringLiteral("Петров П. П., № 5");
    QVERIFY(f->start());
    auto *edit = f->form->findChild<QLineEdit *>(field);
    QVERIFY(edit);
    f->typeInto(edit, text, f->form->control<QLineEdit>("ProtocolNumber"));
    QVERIFY(f->restart());
    QCOMPARE(f->shown(field), text);
    QCOMPARE(f->messageTexts(), QString());
}

void TstRestart::aFirmNameOnTwoLinesComesBackJoinedByOneBlank()
{
    QVERIFY(f->start());
    f->typeInto(f->form->control<QPlainTextEdit>("Firm"), QStringLiteral("ООО «Энергоремонт»\nг. Самара"), f->form->control<QLineEdit>("ProtocolNumber"));
    QVERIFY(f->restart());
    QCOMPARE(f->shown("Firm"), QStringLiteral("ООО «Энергоремонт» г. Самара"));
}

void TstRestart::aSettingStillBeingTypedAtCloseIsKept_data()
{
    QTest::addColumn<QString>("field");
    QTest::newRow("tester") << QStringLiteral("Investigator");
    QTest::newRow("firm") << QStringLiteral("Firm");
}

// The operator types a name and closes the window without leaving the field first.
void TstRestart::aSettingStillBeingTypedAtCloseIsKept()
{
    QFETCH(QString, field);
    const QString text = QStringLiteral("Сидоров С. С.");
    QVERIFY(f->start());
    QWidget *edit = f->form->findChild<QWidget *>(field);
    f->showPageOf(edit);
    edit->setFocus(Qt::MouseFocusReason);
    typeText(edit, text);
    QVERIFY(f->restart());
    QCOMPARE(f->shown(field), text);
    QCOMPARE(f->messageTexts(), QString());
}

void TstRestart::aSettingThatCannotBeWrittenAtCloseLeavesTheStateWritten()
{
    QVERIFY(QDir().mkdir(f->filePath(SettingsFile::FileName)));
    QVERIFY(f->start());
    f->form->results().set(ResultId::Uab00, QStringLiteral("400.0"));
    f->showPageOf(f->form->control<QLineEdit>("Chief"));
    f->form->control<QLineEdit>("Chief")->setFocus(Qt::MouseFocusReason);
    typeText(f->form->control<QLineEdit>("Chief"), QStringLiteral("Кузнецов"));
    QVERIFY(f->restart());
    QCOMPARE(f->messageTexts(),
             ErrorReportCaption + QStringLiteral(": Unable to write to ") + f->filePath(SettingsFile::FileName));
    QCOMPARE(f->shown("Uab00"), QStringLiteral("400.0"));
}

void TstRestart::aTextTheFilesCannotHoldIsRefusedAndTheStoredOneStays_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("next");
    QTest::newRow("settings, oil analysis") << "ElectricStrength" << "WaterContent";
    QTest::newRow("settings, firm memo") << "Firm" << "Rem";
    QTest::newRow("state, absorption coefficient") << "KabsHigh" << "Uhigh";
    QTest::newRow("catalogue, weight") << "TransformerWeight" << "Pnom";
}

// Leaving the field refuses the text in the input-error box, takes the operator back to
// it with the text selected, and neither the field's own writer, the catalogue's
// "Сохранить" nor the close writes it: the next start shows the value stored before.
void TstRestart::aTextTheFilesCannotHoldIsRefusedAndTheStoredOneStays()
{
    QFETCH(QString, field);
    QFETCH(QString, next);
    const QString good = QStringLiteral("3 Ом·м");
    const QString bad = QStringLiteral("3 Ω·м");
    QVERIFY(f->start());
    f->typeInto(f->form->control<QComboBox>("Name")->lineEdit(), TypeName, f->form->control<QLineEdit>("Unom"));
    f->typeInto(f->form->findChild<QWidget *>(field), good, f->form->findChild<QWidget *>(next));
    f->click(f->form->control<QPushButton>("sButton6"));
    QVERIFY(f->restart());
    QCOMPARE(f->shown(field), good);

    QWidget *edit = f->form->findChild<QWidget *>(field);
    f->typeInto(edit, bad, f->form->findChild<QWidget *>(next));
    QCOMPARE(f->prompts.messages.size(), 1);
    QCOMPARE(f->prompts.messages[0].caption, InputErrorCaption);
    QCOMPARE(f->prompts.messages[0].icon, PromptIcon::Error);
    QCOMPARE(f->prompts.messages[0].text,
             QStringLiteral("Текст '3 Ω·м' нельзя сохранить: в кодировке Windows-1251 нет знаков 'Ω' (U+03A9)."));
    QTRY_COMPARE(QApplication::focusWidget(), edit);
    auto *line = qobject_cast<QLineEdit *>(edit);
    const QString selected = line ? line->selectedText()
                                  : qobject_cast<QPlainTextEdit *>(edit)->textCursor().selectedText();
    QCOMPARE(selected, bad);

    f->click(f->form->control<QPushButton>("sButton6"));
    QVERIFY(f->restart());
    QCOMPARE(f->shown(field), good);
    for (const auto &m : f->prompts.messages)
        QCOMPARE(m.caption, InputErrorCaption);
}

void TstRestart::theAutoStopTickIsKeptAtEveryClick()
{
    QVERIFY(f->start());
    f->click(f->form->control<QCheckBox>("cbAutoStop"));
    QVERIFY(!f->form->control<QCheckBox>("cbAutoStop")->isChecked());
    QVERIFY(f->restart());
    QVERIFY(!f->form->control<QCheckBox>("cbAutoStop")->isChecked());
    f->click(f->form->control<QCheckBox>("cbAutoStop"));
    QVERIFY(f->restart());
    QVERIFY(f->form->control<QCheckBox>("cbAutoStop")->isChecked());
}

enum class Edit { LeaveInvestigator, LeaveFirm, ClickAutoStop, SaveType };

void TstRestart::aRecordThatCannotBeWrittenIsReportedAndTheWindowGoesOn_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("edit");
    QTest::newRow("leaving the tester") << SettingsFile::FileName << int(Edit::LeaveInvestigator);
    QTest::newRow("leaving the firm") << SettingsFile::FileName << int(Edit::LeaveFirm);
    QTest::newRow("auto-stop") << SettingsFile::FileName << int(Edit::ClickAutoStop);
    QTest::newRow("saving a type") << CatalogueFile::FileName << int(Edit::SaveType);
}

// Run as root, a read-only folder would still be written; a folder in the file's place
// cannot be written by anyone.
void TstRestart::aRecordThatCannotBeWrittenIsReportedAndTheWindowGoesOn()
{
    QFETCH(QString, file);
    QFETCH(int, edit);
    const QString text = QStringLiteral("Сидоров");
    QVERIFY(QDir().mkdir(f->filePath(file)));
    QVERIFY(f->start());
    TForm1 *w = f->form;
    switch (Edit(edit)) {
    case Edit::LeaveInvestigator:
        f->typeInto(w->control<QLineEdit>("Investigator"), text, w->control<QLineEdit>("ProtocolNumber"));
        QCOMPARE(f->shown("Investigator"), text);
        break;
    case Edit::LeaveFirm:
        f->typeInto(w->control<QPlainTextEdit>("Firm"), text, w->control<QLineEdit>("ProtocolNumber"));
        QCOMPARE(f->shown("Firm"), text);
        break;
    case Edit::ClickAutoStop:
        f->click(w->control<QCheckBox>("cbAutoStop"));
        break;
    case Edit::SaveType:
        w->control<QComboBox>("Name")->lineEdit()->setFocus(Qt::MouseFocusReason);
        typeText(w->control<QComboBox>("Name")->lineEdit(), text);
        f->click(w->control<QPushButton>("sButton6"));
        QCOMPARE(f->shown("Name"), text);
        QCOMPARE(w->control<QComboBox>("Name")->count(), 0);
        break;
    }
    QCOMPARE(f->messageTexts(), ErrorReportCaption + QStringLiteral(": Unable to write to ") + f->filePath(file));
    QVERIFY(w->isVisible());
}

void TstRestart::aStateThatCannotBeWrittenIsReportedAndTheWindowStillCloses()
{
    QVERIFY(QDir().mkdir(f->filePath(StateFile::FileName)));
    QVERIFY(f->start());
    QCOMPARE(f->messageTexts(), QString());
    f->form->results().set(ResultId::Uab00, QStringLiteral("400.0"));
    QVERIFY(f->close());

    QCOMPARE(f->prompts.messages.size(), 1);
    QCOMPARE(f->prompts.messages.first().caption, ErrorReportCaption);
    QCOMPARE(f->prompts.messages.first().text,
             QStringLiteral("Unable to write to ") + f->filePath(StateFile::FileName));
    QCOMPARE(f->prompts.messages.first().icon, PromptIcon::Error);
    QVERIFY(QFileInfo(f->filePath(StateFile::FileName)).isDir());
}

QTEST_MAIN(TstRestart)
#include "tst_restart.moc"
