#include "formrecords.h"

#include "bencherror.h"
#include "cataloguefile.h"
#include "controls.h"
#include "errorreport.h"
#include "prompts.h"
#include "ratedentry.h"
#include "recordslocation.h"
#include "serialchannel.h"
#include "settingsfile.h"
#include "statefile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>


void TForm1::setupRecords()
{
    Records = std::make_unique<RecordsState>();

    // Settings are written field by field as the operator leaves them.
    const std::pair<QLineEdit *, void (*)(const QString &)> settings[] = {
        {Chief, &SettingsFile::writeChief},
        {ChiefName, &SettingsFile::writeChiefName},
        {Investigator, &SettingsFile::writeInvestigator},
        {OilAnalysis, &SettingsFile::writeOilAnalysis},
        {ElectricStrength, &SettingsFile::writeElectricStrength},
        {WaterContent, &SettingsFile::writeWaterContent},
        {MechanicalImpurities, &SettingsFile::writeMechanicalImpurities},
        {WeightedCoalContent, &SettingsFile::writeWeightedCoalContent},
        {Color, &SettingsFile::writeColor},
        {AcidNumber, &SettingsFile::writeAcidNumber},
        {ReactionAqueousExtract, &SettingsFile::writeReactionAqueousExtract},
        {FlashTemperature, &SettingsFile::writeFlashTemperature},
    };
    const auto addWriter = [this](QWidget *field, std::function<void()> write) {
        Records->settingWriters.insert(field, write);
        OnExit(field, [write] { RunGuarded(write); });
    };
    for (auto [edit, writer] : settings)
        addWriter(edit, [edit, writer] { writer(edit->text()); });
    addWriter(Firm, [this] { SettingsFile::writeFirm(Firm->toPlainText()); });
    connect(cbAutoStop, &QCheckBox::clicked, this, [this] { RunGuarded([this] { cbAutoStopClick(); }); });

    // Only the operator's typing and choosing load a type, choosing the shown one again
    // included; texts the program sets do not.
    Name->setCompleter(nullptr);
    connect(Name->lineEdit(), &QLineEdit::textEdited, this, [this] { RunGuarded([this] { NameChange(); }); });
    connect(Name, &QComboBox::activated, this, [this] { RunGuarded([this] { NameChange(); }); });
    connect(sButton6, &QPushButton::clicked, this, [this] { RunGuarded([this] { sButton6Click(); }); });
    connect(sButton7, &QPushButton::clicked, this, [this] { RunGuarded([this] { sButton7Click(); }); });
}

void TForm1::refillTypeList()
{
    const QString text = Name->currentText();
    Name->clear();
    Name->addItems(CatalogueFile::typeNames());
    Name->setCurrentIndex(-1);
    Name->setEditText(text);
}

void TForm1::FormShow()
{
    PageControl1->setActivePage(Main);

    removeLeftOverTemporaries();
    const StendSettings s = SettingsFile::read();
    Chief->setText(s.chief);
    ChiefName->setText(s.chiefName);
    Investigator->setText(s.investigator);
    Firm->setPlainText(s.firm);
    OilAnalysis->setText(s.oilAnalysis);
    ElectricStrength->setText(s.electricStrength);
    WaterContent->setText(s.waterContent);
    MechanicalImpurities->setText(s.mechanicalImpurities);
    WeightedCoalContent->setText(s.weightedCoalContent);
    Color->setText(s.color);
    AcidNumber->setText(s.acidNumber);
    ReactionAqueousExtract->setText(s.reactionAqueousExtract);
    FlashTemperature->setText(s.flashTemperature);
    cbAutoStop->setChecked(s.autoStop);
    if (VaComm1->PortIsOpen())
        VaComm1->ClosePort();
    VaComm1->setPortNum(s.portNum);
    VaComm1->setUserBaudrate(s.userBaudrate);

    YearOfRepair->setText(QString::number(QDate::currentDate().year()));
    refillTypeList();
    restoreState();
    if (!Name->currentText().isEmpty())
        loadType(false);
}

// The text every state key stands for as the window shows it now.
QHash<QString, QString> TForm1::stateTexts() const
{
    QHash<QString, QString> texts;
    for (const StateKey &k : StateFile::keys()) {
        switch (k.kind) {
        case StateKey::Kind::Text:
            texts.insert(k.key, ControlText(findChild<QWidget *>(k.control)));
            break;
        case StateKey::Kind::ListIndex:
            texts.insert(k.key, QString::number(findChild<QComboBox *>(k.control)->currentIndex()));
            break;
        case StateKey::Kind::GridCell:
            texts.insert(k.key, findChild<StringGrid *>(k.control)->cell(k.column, k.row));
            break;
        }
    }
    return texts;
}

void TForm1::restoreState()
{
    const QList<StateKey> &keys = StateFile::keys();
    const StateEntries entries = StateFile::read(stateTexts());
    for (qsizetype i = 0; i < entries.size() && i < keys.size(); ++i) {
        const StateKey &k = keys[i];
        const QString &text = entries[i].second;
        switch (k.kind) {
        case StateKey::Kind::Text: {
            QWidget *w = findChild<QWidget *>(k.control);
            if (w == Name)
                Name->setEditText(text);
            else if (auto *l = qobject_cast<QLabel *>(w))
                l->setText(text);
            else if (auto *e = qobject_cast<QLineEdit *>(w))
                e->setText(text); // an insulation field recomputes its coefficient as typing would
            else if (auto *m = qobject_cast<QPlainTextEdit *>(w))
                m->setPlainText(text);
            if (w == Temperature)
                TemperatureExit(this);
            break;
        }
        case StateKey::Kind::ListIndex: {
            auto *combo = findChild<QComboBox *>(k.control);
            combo->setCurrentIndex(text.toInt());
            if (combo == cbCurrent)
                cbCurrentChange();
            else if (combo == cbVoltage)
                cbVoltageChange();
            break;
        }
        case StateKey::Kind::GridCell:
            findChild<StringGrid *>(k.control)->setCell(k.column, k.row, text);
            break;
        }
    }
}

void TForm1::writeState()
{
    StateFile::write(stateTexts());
}

// A state file that cannot be written is reported by the general error report, and the
// window closes all the same: the operator must never be trapped in it. Closing does not
// leave the field in edit, so a setting typed just before would be lost: it is written
// here, on its own, so that its failure does not keep the state from being written.
void TForm1::FormClose()
{
    if (const std::function<void()> write = Records->settingWriters.value(focusWidget()))
        RunGuarded(write);
    writeState();
}

void TForm1::cbAutoStopClick()
{
    SettingsFile::writeAutoStop(cbAutoStop->isChecked());
}

void TForm1::NameChange()
{
    loadType(true);
}

void TForm1::loadType(bool clearFirst)
{
    if (clearFirst)
        sBitBtn2Click();
    const QString name = Name->currentText();
    if (name.isEmpty())
        return;
    TransformerType type = typeOnPage();
    CatalogueFile::loadType(name, type);
    Unom->setText(type.unom);
    Unom2->setText(type.unom2);
    Inom->setText(type.inom);
    Inom2->setText(type.inom2);
    Pnom->setText(type.pnom);
    Freq2->setText(type.freq2);
    Material->setItemIndex(type.material);
    FasNumber->setItemIndex(type.fasNumber);
    TransformerWeight->setText(type.transformerWeight);
    Circuit->setEditText(type.circuit);
}

TransformerType TForm1::typeOnPage() const
{
    TransformerType type;
    type.unom = Unom->text();
    type.unom2 = Unom2->text();
    type.inom = Inom->text();
    type.inom2 = Inom2->text();
    type.pnom = Pnom->text();
    type.freq2 = Freq2->text();
    type.material = Material->itemIndex();
    type.fasNumber = FasNumber->itemIndex();
    type.transformerWeight = TransformerWeight->text();
    type.circuit = Circuit->currentText();
    return type;
}

void TForm1::sButton6Click()
{
    const QString name = Name->currentText();
    if (name.isEmpty())
        return;
    const TransformerType type = typeOnPage();
    switch (CatalogueFile::saveType(name, type)) {
    case CatalogueFile::SaveResult::Saved:
        refillTypeList();
        break;
    case CatalogueFile::SaveResult::NoName:
        break;
    case CatalogueFile::SaveResult::UnfitName:
        Prompts::current().showMessage(
            this, InputErrorCaption,
            CatalogueFile::unfitNameMessage(name),
            PromptIcon::Error);
        break;
    }
}

void TForm1::sButton7Click()
{
    CatalogueFile::deleteType(Name->currentText());
    refillTypeList();
    Name->setEditText(QString());
    for (QLineEdit *e : {TransformerWeight, Pnom, Unom, Unom2, Inom, Inom2})
        e->clear();
    Circuit->setEditText(QString());
    Freq2->setText(QStringLiteral("50"));
}

void TForm1::PreviwClick() {}
