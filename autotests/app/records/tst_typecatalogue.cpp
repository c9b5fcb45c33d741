#include "restartfixture.h"
#include "resultrecord.h"
#include "transformertypes.h"

#include "cataloguefile.h"
#include "keyvaluefile.h"
#include "ratedentry.h"

#include <QApplication>
#include <QFile>

namespace {

const QString Fit = QStringLiteral("Трансформатор годен к эксплуатации");
const QString Tm40 = QStringLiteral("ТМ-40");
const QString Om125 = QStringLiteral("ОМ-1,25");

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TstTypeCatalogue : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void typingANewNameEmptiesThePageAtTheFirstKeystrokeAndSaveKeepsWhatFollows();
    void choosingATypeFromTheListLoadsAllTenValuesAndEmptiesTheResults();
    void typingThePrefixOfAStoredNameLoadsNothing();
    void theLoadedTypeChosenAgainOrEnteredKeepsTheResults();
    void noSelectionIsStoredAsMinusOneAndLoadedAsNone_data();
    void noSelectionIsStoredAsMinusOneAndLoadedAsNone();
    void deletingEmptiesTheTypeFieldsAndKeepsTheRest_data();
    void deletingEmptiesTheTypeFieldsAndKeepsTheRest();
    void aNameThatCannotBeASectionIsRefusedAndNothingWritten_data();
    void aNameThatCannotBeASectionIsRefusedAndNothingWritten();

private:
    void showType(const TransformerType &t);
    void compareShown(const TransformerType &t);
    void fillResults();
    QStringList listed() const;

    std::unique_ptr<RestartFixture> f;
};

void TstTypeCatalogue::init()
{
    f = std::make_unique<RestartFixture>();
    QVERIFY(f->isValid());
}

void TstTypeCatalogue::cleanup()
{
    f.reset();
}

// As the operator fills the page: typing into the fields, a scheme and the two choices
// picked with the mouse.
void TstTypeCatalogue::showType(const TransformerType &t)
{
    TForm1 *w = f->form;
    const std::pair<QLineEdit *, QString> fields[] = {
        {w->control<QLineEdit>("Unom"), t.unom}, {w->control<QLineEdit>("Unom2"), t.unom2}, {w->control<QLineEdit>("Inom"), t.inom}, {w->control<QLineEdit>("Inom2"), t.inom2},
        {w->control<QLineEdit>("Pnom"), t.pnom}, {w->control<QLineEdit>("Freq2"), t.freq2}, {w->control<QLineEdit>("TransformerWeight"), t.transformerWeight}};
    for (const auto &[edit, text] : fields)
        f->typeInto(edit, text, w->control<QComboBox>("Circuit"));
    QVERIFY(f->choose(w->control<QComboBox>("Circuit"), t.circuit));
    f->click(w->control<RadioGroup>("Material"), t.material);
    f->click(w->control<RadioGroup>("FasNumber"), t.fasNumber);
}

void TstTypeCatalogue::compareShown(const TransformerType &t)
{
    QCOMPARE(f->shown("Unom"), t.unom);
    QCOMPARE(f->shown("Unom2"), t.unom2);
    QCOMPARE(f->shown("Inom"), t.inom);
    QCOMPARE(f->shown("Inom2"), t.inom2);
    QCOMPARE(f->shown("Pnom"), t.pnom);
    QCOMPARE(f->shown("Freq2"), t.freq2);
    QCOMPARE(f->form->control<RadioGroup>("Material")->itemIndex(), t.material);
    QCOMPARE(f->form->control<RadioGroup>("FasNumber")->itemIndex(), t.fasNumber);
    QCOMPARE(f->shown("TransformerWeight"), t.transformerWeight);
    QCOMPARE(f->shown("Circuit"), t.circuit);
}

// As the tests of the bench leave them.
void TstTypeCatalogue::fillResults()
{
    TForm1 *w = f->form;
    w->results().set(ResultId::Uab00, QStringLiteral("400.0"));
    w->results().set(ResultId::Pkz12, QStringLiteral("1234.6"));
    w->results().set(Results::transformCell(2, 1), QStringLiteral("25.01"));
    w->results().set(Results::resistenceCell(1, 0), QStringLiteral("12.3"));
    w->control<QLineEdit>("RepairNumber")->setText(QStringLiteral("4711"));
    w->control<QPlainTextEdit>("Conclusion")->setPlainText(QStringLiteral("Не годен"));
}

QStringList TstTypeCatalogue::listed() const
{
    QStringList items;
    for (int i = 0; i < f->form->control<QComboBox>("Name")->count(); ++i)
        items << f->form->control<QComboBox>("Name")->itemText(i);
    return items;
}

void TstTypeCatalogue::typingANewNameEmptiesThePageAtTheFirstKeystrokeAndSaveKeepsWhatFollows()
{
    const QString name = QStringLiteral("ТМГ-100/10");
    QCOMPARE(CatalogueFile::saveType(Om125, om125()), CatalogueFile::SaveResult::Saved);
    QVERIFY(f->start());
    TForm1 *w = f->form;
    QVERIFY(f->choose(w->control<QComboBox>("Name"), Om125));
    fillResults();

    QLineEdit *nameEdit = w->control<QComboBox>("Name")->lineEdit();
    nameEdit->setFocus(Qt::MouseFocusReason);
    nameEdit->selectAll();
    typeText(nameEdit, name.left(1));
    QCOMPARE(f->shown("Name"), name.left(1));
    for (const char *field : {"Unom", "Unom2", "Inom", "Inom2", "Pnom", "TransformerWeight", "Circuit",
                              "Uab00", "Pkz12", "RepairNumber"})
        QVERIFY2(f->shown(field).isEmpty(), field);
    QCOMPARE(f->shown("Freq2"), QStringLiteral("50"));
    QVERIFY(w->control<StringGrid>("TransformGrid")->cell(2, 1).isEmpty());
    QVERIFY(w->control<StringGrid>("ResistenceGrid")->cell(1, 0).isEmpty());
    QCOMPARE(f->shown("Conclusion"), Fit);

    typeText(nameEdit, name.mid(1));
    QCOMPARE(f->shown("Name"), name);
    TransformerType typed = tm40();
    showType(typed);
    f->click(w->control<QPushButton>("sButton6"));

    QCOMPARE(listed(), (QStringList{Om125, name}));
    QCOMPARE(f->shown("Name"), name);
    compareShown(typed);
    QCOMPARE(f->messageTexts(), QString());

    // The next start loads it through the name kept in the state.
    QVERIFY(f->restart());
    QCOMPARE(f->shown("Name"), name);
    compareShown(typed);
}

void TstTypeCatalogue::choosingATypeFromTheListLoadsAllTenValuesAndEmptiesTheResults()
{
    QCOMPARE(CatalogueFile::saveType(Tm40, tm40()), CatalogueFile::SaveResult::Saved);
    QCOMPARE(CatalogueFile::saveType(Om125, om125()), CatalogueFile::SaveResult::Saved);
    QVERIFY(f->start());
    QCOMPARE(listed(), (QStringList{Tm40, Om125}));
    QVERIFY(f->choose(f->form->control<QComboBox>("Name"), Tm40));
    compareShown(tm40());
    fillResults();

    QVERIFY(f->choose(f->form->control<QComboBox>("Name"), Om125));
    QCOMPARE(f->shown("Name"), Om125);
    compareShown(om125());
    for (const char *field : {"Uab00", "Pkz12", "RepairNumber"})
        QVERIFY2(f->shown(field).isEmpty(), field);
    QVERIFY(f->form->control<StringGrid>("TransformGrid")->cell(2, 1).isEmpty());
    QVERIFY(f->form->control<StringGrid>("ResistenceGrid")->cell(1, 0).isEmpty());
    QCOMPARE(f->shown("Conclusion"), Fit);

    // Choosing the type already shown loads it again over what was typed since.
    f->form->control<QLineEdit>("Unom")->setText(QStringLiteral("999"));
    QVERIFY(f->choose(f->form->control<QComboBox>("Name"), Om125));
    compareShown(om125());
}

// Only a new name may empty the results: the same type chosen again reloads its rated
// data, and Enter on the name changes nothing at all.
void TstTypeCatalogue::theLoadedTypeChosenAgainOrEnteredKeepsTheResults()
{
    QCOMPARE(CatalogueFile::saveType(Tm40, tm40()), CatalogueFile::SaveResult::Saved);
    QVERIFY(f->start());
    TForm1 *w = f->form;
    QVERIFY(f->choose(w->control<QComboBox>("Name"), Tm40));
    fillResults();
    auto resultsKept = [this, w] {
        QCOMPARE(f->shown("Uab00"), QStringLiteral("400.0"));
        QCOMPARE(f->shown("Pkz12"), QStringLiteral("1234.6"));
        QCOMPARE(w->control<StringGrid>("TransformGrid")->cell(2, 1), QStringLiteral("25.01"));
        QCOMPARE(w->control<StringGrid>("ResistenceGrid")->cell(1, 0), QStringLiteral("12.3"));
        QCOMPARE(f->shown("RepairNumber"), QStringLiteral("4711"));
        QCOMPARE(f->shown("Conclusion"), QStringLiteral("Не годен"));
    };

    w->control<QLineEdit>("Unom")->setText(QStringLiteral("999"));
    QVERIFY(f->choose(w->control<QComboBox>("Name"), Tm40));
    compareShown(tm40());
    resultsKept();

    w->control<QLineEdit>("Unom")->setText(QStringLiteral("999"));
    w->control<QComboBox>("Name")->lineEdit()->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(f->shown("Unom"), QStringLiteral("999"));
    QCOMPARE(f->shown("Name"), Tm40);
    resultsKept();
    QCOMPARE(f->messageTexts(), QString());
}

// Typing a name that begins like a stored one must not complete it and load that type.
void TstTypeCatalogue::typingThePrefixOfAStoredNameLoadsNothing()
{
    QCOMPARE(CatalogueFile::saveType(Tm40, tm40()), CatalogueFile::SaveResult::Saved);
    QVERIFY(f->start());
    QLineEdit *nameEdit = f->form->control<QComboBox>("Name")->lineEdit();
    nameEdit->setFocus(Qt::MouseFocusReason);
    typeText(nameEdit, Tm40.left(2));
    QCOMPARE(f->shown("Name"), Tm40.left(2));
    QVERIFY(f->shown("Unom").isEmpty());
}

void TstTypeCatalogue::noSelectionIsStoredAsMinusOneAndLoadedAsNone_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("key");
    QTest::newRow("material") << "Material" << CatalogueFile::MaterialKey;
    QTest::newRow("phases") << "FasNumber" << CatalogueFile::FasNumberKey;
}

void TstTypeCatalogue::noSelectionIsStoredAsMinusOneAndLoadedAsNone()
{
    QFETCH(QString, group);
    QFETCH(QString, key);
    const QString name = QStringLiteral("Без выбора");
    QCOMPARE(CatalogueFile::saveType(Tm40, tm40()), CatalogueFile::SaveResult::Saved);
    QVERIFY(f->start());
    auto *choices = f->form->findChild<RadioGroup *>(group);
    QCOMPARE(choices->itemIndex(), -1);
    QLineEdit *nameEdit = f->form->control<QComboBox>("Name")->lineEdit();
    nameEdit->setFocus(Qt::MouseFocusReason);
    typeText(nameEdit, name);
    f->click(f->form->control<QPushButton>("sButton6"));
    QCOMPARE(KeyValueFile(CatalogueFile::path()).readString(name, key), QStringLiteral("-1"));

    QVERIFY(f->choose(f->form->control<QComboBox>("Name"), Tm40));
    QCOMPARE(choices->itemIndex(), 1);
    QVERIFY(f->choose(f->form->control<QComboBox>("Name"), name));
    QCOMPARE(choices->itemIndex(), -1);
}

void TstTypeCatalogue::deletingEmptiesTheTypeFieldsAndKeepsTheRest_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("remaining");
    QTest::newRow("a stored type") << Tm40 << QStringList{Om125};
    QTest::newRow("a stored type in other letters") << QStringLiteral("тм-40") << QStringList{Om125};
    QTest::newRow("a name not in the catalogue") << QStringLiteral("Нет такого")
                                                 << QStringList{Tm40, Om125};
}

void TstTypeCatalogue::deletingEmptiesTheTypeFieldsAndKeepsTheRest()
{
    QFETCH(QString, name);
    QFETCH(QStringList, remaining);
    QCOMPARE(CatalogueFile::saveType(Tm40, tm40()), CatalogueFile::SaveResult::Saved);
    QCOMPARE(CatalogueFile::saveType(Om125, om125()), CatalogueFile::SaveResult::Saved);
    const QByteArray before = bytesOf(CatalogueFile::path());
    QVERIFY(f->start());
    TForm1 *w = f->form;
    w->control<QComboBox>("Name")->setEditText(name);
    showType(tm40());
    fillResults();
    f->click(w->control<QPushButton>("sButton7"));

    QCOMPARE(f->shown("Name"), QString());
    QCOMPARE(listed(), remaining);
    QCOMPARE(KeyValueFile(CatalogueFile::path()).sectionNames(), remaining);
    if (remaining.size() == 2)
        QCOMPARE(bytesOf(CatalogueFile::path()), before);
    for (const char *field : {"Unom", "Unom2", "Inom", "Inom2", "Pnom", "TransformerWeight", "Circuit"})
        QVERIFY2(f->shown(field).isEmpty(), field);
    QCOMPARE(f->shown("Freq2"), QStringLiteral("50"));
    QCOMPARE(w->control<RadioGroup>("Material")->itemIndex(), 1);
    QCOMPARE(w->control<RadioGroup>("FasNumber")->itemIndex(), 1);
    QCOMPARE(f->shown("Uab00"), QStringLiteral("400.0"));
    QCOMPARE(w->control<StringGrid>("ResistenceGrid")->cell(1, 0), QStringLiteral("12.3"));
    QCOMPARE(f->shown("Conclusion"), QStringLiteral("Не годен"));
    QCOMPARE(f->messageTexts(), QString());
}

void TstTypeCatalogue::aNameThatCannotBeASectionIsRefusedAndNothingWritten_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("refusedOnLeaving");
    QTest::newRow("closing bracket") << QStringLiteral("ТМ]40") << false;
    QTest::newRow("opening bracket first") << QStringLiteral("[ТМ-40") << false;
    // The state file keeps the name too, so it is refused as soon as it is left.
    QTest::newRow("letters outside the code page") << QStringLiteral("变压器") << true;
}

void TstTypeCatalogue::aNameThatCannotBeASectionIsRefusedAndNothingWritten()
{
    QFETCH(QString, name);
    QFETCH(bool, refusedOnLeaving);
    QCOMPARE(CatalogueFile::saveType(Om125, om125()), CatalogueFile::SaveResult::Saved);
    const QByteArray before = bytesOf(CatalogueFile::path());
    QVERIFY(f->start());
    QLineEdit *nameEdit = f->form->control<QComboBox>("Name")->lineEdit();
    nameEdit->setFocus(Qt::MouseFocusReason);
    typeText(nameEdit, name);
    if (!refusedOnLeaving)
        showType(tm40());
    // Pressed straight from the name, "Сохранить" adds no second box to the refusal.
    f->click(f->form->control<QPushButton>("sButton6"));

    QCOMPARE(f->prompts.messages.size(), 1);
    const RecordingPrompts::Message &m = f->prompts.messages.first();
    QCOMPARE(m.caption, InputErrorCaption);
    QCOMPARE(m.icon, PromptIcon::Error);
    QVERIFY2(m.text.contains(u'\'' + name + u'\''), qPrintable(m.text));
    QCOMPARE(bytesOf(CatalogueFile::path()), before);
    QCOMPARE(listed(), QStringList{Om125});
    QCOMPARE(f->shown("Name"), name);
    if (refusedOnLeaving) {
        QTRY_VERIFY(QApplication::focusWidget() == f->form->control<QComboBox>("Name")
                    || f->form->control<QComboBox>("Name")->isAncestorOf(QApplication::focusWidget()));
        QCOMPARE(nameEdit->selectedText(), name);
    } else {
        compareShown(tm40());
    }
}

QTEST_MAIN(TstTypeCatalogue)
#include "tst_typecatalogue.moc"
