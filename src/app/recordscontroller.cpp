#include "recordscontroller.h"

#include "inputerrors.h"
#include "ratedcontroller.h"

#include "bencherror.h"
#include "cataloguefile.h"
#include "codepage1251.h"
#include "controls.h"
#include "errorreport.h"
#include "filling.h"
#include "prompts.h"
#include "ratedentry.h"
#include "report.h"
#include "recordslocation.h"
#include "resultrecord.h"
#include "serialchannel.h"
#include "settingsfile.h"
#include "statefile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

QString unstorableTextMessage(const QString &text, const QStringList &characters)
{
    QStringList named;
    for (const QString &c : characters)
        named << QStringLiteral("'%1' (U+%2)")
                     .arg(c, QString::number(c.toUcs4().value(0), 16).toUpper().rightJustified(4, u'0'));
    return QStringLiteral("Текст '") + text
        + QStringLiteral("' нельзя сохранить: в кодировке Windows-1251 нет знаков ")
        + named.join(QStringLiteral(", ")) + QStringLiteral(".");
}

// Letter case and blanks around a name do not tell two types apart.
bool sameTypeName(const QString &a, const QString &b)
{
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

} // namespace

RecordsController::RecordsController(TForm1 &window, RatedController &rated)
    : m_window(window), ui(window.forms()), m_rated(rated), m_inputErrors(window.inputErrors())
{

    // Settings are written field by field as the operator leaves them.
    // A text the file cannot hold is never written: refused when the field is left,
    // passed over at close, so the stored value stays as it was.
    // A records folder that could not be made was named at start: nothing is written
    // there by itself, so its failure is not reported again at every field.
    const auto addWriter = [this](QWidget *field, std::function<void()> write) {
        m_settingWriters.insert(field, [field, write] {
            if (unstorableCharacters(controlText(field)).isEmpty() && recordsFolderUsable())
                write();
        });
        onExit(field, [this, field, write] {
            if (!refuseUnstorableText(field) && recordsFolderUsable())
                runGuarded(write);
        });
    };
    for (const SettingsFile::TextSetting &setting : SettingsFile::textSettings()) {
        QWidget *field = m_window.control(setting.control);
        addWriter(field, [field, name = setting.control] { SettingsFile::writeText(name, controlText(field)); });
    }
    // The other texts the operator types and the files keep; those read as numbers are
    // refused by their number check already, and the state file keeps any conclusion
    // whole in escaped pieces.
    for (QWidget *field : std::initializer_list<QWidget *>{ui.Name, ui.TransformerWeight, ui.Freq2, ui.Circuit,
                                                           ui.KabsHigh, ui.KabsLow, ui.KabsHL})
        onExit(field, [this, field] { refuseUnstorableText(field); });
    connect(ui.cbAutoStop, &QCheckBox::clicked, this, [this] { runGuarded([this] { cbAutoStopClick(); }); });

    // Only the operator's typing and choosing load a type, choosing the shown one again
    // included; texts the program sets do not. Enter on a listed text is a choice too,
    // except on the loaded one, where it changes nothing.
    ui.Name->setCompleter(nullptr);
    ui.Name->installEventFilter(this);
    ui.Name->lineEdit()->installEventFilter(this);
    connect(ui.Name->lineEdit(), &QLineEdit::textEdited, this, [this] { runGuarded([this] { NameChange(); }); });
    connect(ui.Name, &QComboBox::activated, this, [this] { runGuarded([this] { NameChange(); }); });
    connect(ui.sButton6, &QPushButton::clicked, this, [this] { runGuarded([this] { sButton6Click(); }); });
    connect(ui.sButton7, &QPushButton::clicked, this, [this] { runGuarded([this] { sButton7Click(); }); });
    connect(&window, &TForm1::starting, this, [this] { runGuarded([this] { FormShow(); }); });
    connect(&window, &TForm1::closing, this, [this] { runGuarded([this] { FormClose(); }); });
}

bool RecordsController::refuseUnstorableText(QWidget *field)
{
    const QString text = controlText(field);
    const QStringList characters = unstorableCharacters(text);
    if (characters.isEmpty())
        return false;
    // While the focus goes back to another refused field, this one waits for its turn.
    if (!m_inputErrors.givingFocusBack())
        m_inputErrors.report(field, unstorableTextMessage(text, characters));
    return true;
}

// Enter in `Name` whose text is the type already loaded: nothing to do.
bool RecordsController::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || (watched != ui.Name && watched != ui.Name->lineEdit()))
        return QObject::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent *>(event)->key();
    return (key == Qt::Key_Return || key == Qt::Key_Enter) && sameTypeName(ui.Name->currentText(), m_loadedName);
}

void RecordsController::refillTypeList()
{
    const QString text = ui.Name->currentText();
    ui.Name->clear();
    ui.Name->addItems(CatalogueFile::typeNames());
    ui.Name->setCurrentIndex(-1);
    ui.Name->setEditText(text);
}

void RecordsController::FormShow()
{
    ui.PageControl1->setActivePage(ui.PageControl1->page(TForm1::PageMain));

    removeLeftOverTemporaries();
    const BenchSettings s = SettingsFile::read();
    for (const SettingsFile::TextSetting &setting : SettingsFile::textSettings())
        setControlText(m_window.control(setting.control), s.texts.value(setting.control));
    ui.cbAutoStop->setChecked(s.autoStop);

    ui.YearOfRepair->setText(QString::number(QDate::currentDate().year()));
    refillTypeList();
    restoreState();
    if (!ui.Name->currentText().isEmpty())
        loadType(false);
    // Said here once, where the port state will stand after the first page change.
    const QString notice = recordsNotice();
    if (!notice.isEmpty())
        ui.StatusBarMain->setText(notice);
}

// The text every state key stands for now: a result from the record, the type's name, the
// serial number and the conclusion from their entries.
QHash<QString, QString> RecordsController::stateTexts() const
{
    const ResultRecord &results = m_window.results();
    QHash<QString, QString> texts;
    for (const StateKey &k : StateFile::keys()) {
        if (const std::optional<ResultId> id = Results::byKey(k.key)) {
            texts.insert(k.key, results.text(*id));
            continue;
        }
        switch (k.kind) {
        case StateKey::Kind::Text:
            texts.insert(k.key, controlText(m_window.control(k.control)));
            break;
        case StateKey::Kind::ListIndex:
            texts.insert(k.key, QString::number(qobject_cast<QComboBox *>(m_window.control(k.control))->currentIndex()));
            break;
        case StateKey::Kind::GridCell:
            texts.insert(k.key, m_window.grid(k.control)->cell(k.column, k.row));
            break;
        }
    }
    return texts;
}

void RecordsController::restoreState()
{
    const QList<StateKey> &keys = StateFile::keys();
    const StateEntries entries = StateFile::read(stateTexts());
    for (qsizetype i = 0; i < entries.size() && i < keys.size(); ++i) {
        const StateKey &k = keys[i];
        const QString &text = entries[i].second;
        if (const std::optional<ResultId> id = Results::byKey(k.key)) {
            // An insulation entry recomputes its coefficient as typing would.
            m_window.results().set(*id, text);
            // At start-up the window itself is the sender: an empty temperature is reported.
            if (*id == ResultId::Temperature)
                m_rated.TemperatureExit(&m_window);
            continue;
        }
        switch (k.kind) {
        case StateKey::Kind::Text:
            setControlText(m_window.control(k.control), text);
            break;
        case StateKey::Kind::ListIndex: {
            auto *combo = qobject_cast<QComboBox *>(m_window.control(k.control));
            // The link follows the range lists' changes; an unchanged one is in force already.
            combo->setCurrentIndex(text.toInt());
            break;
        }
        case StateKey::Kind::GridCell:
            m_window.grid(k.control)->setCell(k.column, k.row, text);
            break;
        }
    }
}

// A text the file cannot hold keeps the value stored before; a refusal already told the
// operator when the field was left.
void RecordsController::writeState()
{
    QHash<QString, QString> texts = stateTexts();
    QHash<QString, QString> storedOr = texts;
    QStringList unstorable;
    for (auto it = texts.cbegin(); it != texts.cend(); ++it)
        if (it.key() != StateFile::ConclusionKey && !isWindows1251Text(it.value())) {
            unstorable << it.key();
            storedOr[it.key()] = QString();
        }
    if (!unstorable.isEmpty())
        for (const auto &[key, text] : StateFile::read(storedOr))
            if (unstorable.contains(key))
                texts[key] = text;
    StateFile::write(texts);
}

// A state file that cannot be written is reported by the general error report, and the
// window closes all the same: the operator must never be trapped in it. Closing does not
// leave the field in edit, so a setting typed just before would be lost: it is written
// here, on its own, so that its failure does not keep the state from being written.
void RecordsController::FormClose()
{
    // Said at start, and not again in a box at close, where a shutdown would wait on it.
    if (!recordsFolderUsable())
        return;
    if (const std::function<void()> write = m_settingWriters.value(m_window.focusWidget()))
        runGuarded(write);
    writeState();
}

void RecordsController::cbAutoStopClick()
{
    if (!recordsFolderUsable())
        return;
    SettingsFile::writeAutoStop(ui.cbAutoStop->isChecked());
}

// Only a new name empties the entries: choosing the loaded type again reloads its rated
// data and keeps every result.
void RecordsController::NameChange()
{
    loadType(!sameTypeName(ui.Name->currentText(), m_loadedName));
}

void RecordsController::loadType(bool clearFirst)
{
    if (clearFirst)
        m_window.sBitBtn2Click();
    const QString name = ui.Name->currentText();
    m_loadedName = name;
    if (name.isEmpty())
        return;
    TransformerType type = typeOnPage();
    CatalogueFile::loadType(name, type);
    ui.Unom->setText(type.unom);
    ui.Unom2->setText(type.unom2);
    ui.Inom->setText(type.inom);
    ui.Inom2->setText(type.inom2);
    ui.Pnom->setText(type.pnom);
    ui.Freq2->setText(type.freq2);
    ui.Material->setItemIndex(type.material);
    ui.FasNumber->setItemIndex(type.fasNumber);
    ui.TransformerWeight->setText(type.transformerWeight);
    ui.Circuit->setEditText(type.circuit);
}

TransformerType RecordsController::typeOnPage() const
{
    // The rated values from the record; the two choices by their place in the list.
    const ResultRecord &results = m_window.results();
    TransformerType type;
    type.unom = results.text(ResultId::Unom);
    type.unom2 = results.text(ResultId::Unom2);
    type.inom = results.text(ResultId::Inom);
    type.inom2 = results.text(ResultId::Inom2);
    type.pnom = results.text(ResultId::Pnom);
    type.freq2 = results.text(ResultId::Freq2);
    type.material = ui.Material->itemIndex();
    type.fasNumber = ui.FasNumber->itemIndex();
    type.transformerWeight = results.text(ResultId::TransformerWeight);
    type.circuit = results.text(ResultId::Circuit);
    return type;
}

void RecordsController::sButton6Click()
{
    const QString name = ui.Name->currentText();
    if (name.isEmpty())
        return;
    for (QWidget *field : std::initializer_list<QWidget *>{ui.Name, ui.Unom, ui.Unom2, ui.Inom, ui.Inom2, ui.Pnom,
                                                           ui.Freq2, ui.TransformerWeight, ui.Circuit})
        if (refuseUnstorableText(field))
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
            &m_window, InputErrorCaption,
            CatalogueFile::unfitNameMessage(name),
            PromptIcon::Error);
        break;
    }
}

void RecordsController::sButton7Click()
{
    CatalogueFile::deleteType(ui.Name->currentText());
    refillTypeList();
    ui.Name->setEditText(QString());
    m_loadedName.clear();
    for (QLineEdit *e : {ui.TransformerWeight, ui.Pnom, ui.Unom, ui.Unom2, ui.Inom, ui.Inom2})
        e->clear();
    ui.Circuit->setEditText(QString());
    ui.Freq2->setText(QStringLiteral("50"));
}
