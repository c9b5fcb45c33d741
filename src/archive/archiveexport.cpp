#include "archiveexport.h"

#include "archivecomparison.h"
#include "benchtables.h"
#include "numbersyntax.h"
#include "protocolfields.h"
#include "statefile.h"
#include "wholefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <limits>
#include <xlsxwriter.h>

namespace ArchiveExport {

namespace {

using Getter = std::function<QString(const ArchiveRecord &)>;

struct Source {
    Column column;
    Getter text; // empty for the record's own date and revision
};

QString result(const ArchiveRecord &record, const QString &key)
{
    return record.results.value(key).trimmed();
}

// A field of the protocol without the fixed words around its value:
// "Pном" prints as "250 кВА", the oil's strength as "Электрическая прочность 52".
QString fieldValue(const ArchiveRecord &record, const QString &name)
{
    const ProtocolFields::Field *words = ProtocolFields::find(name);
    const QString prefix = words ? words->prefix : QString();
    const QString suffix = words ? words->suffix : QString();
    QString text = record.fields.value(name).trimmed();
    if (!prefix.isEmpty() && text.startsWith(prefix.trimmed()))
        text = text.mid(prefix.trimmed().size()).trimmed();
    if (!suffix.isEmpty() && text.endsWith(suffix.trimmed()))
        text.chop(suffix.trimmed().size());
    return text.trimmed();
}

// One side of a field that prints both windings, "10000 В / 400 В".
QString fieldSide(const ArchiveRecord &record, const ProtocolFields::TwoSided &field, int side)
{
    const QString &unit = field.unit;
    const QStringList parts = record.fields.value(field.name).split(ProtocolFields::SideSeparator);
    if (parts.size() != 2) {
        if (side != 0)
            return QString();
        QString text = record.fields.value(field.name).trimmed();
        if (text.endsWith(unit.trimmed()))
            text.chop(unit.trimmed().size());
        return text.trimmed();
    }
    QString text = parts[side].trimmed();
    if (text.endsWith(unit))
        text.chop(unit.size());
    return text.trimmed();
}

const QStringList &tapNames()
{
    static const QStringList names = {QStringLiteral("I"), QStringLiteral("II"), QStringLiteral("III"),
                                      QStringLiteral("IV"), QStringLiteral("V")};
    return names;
}

QList<Source> buildSources()
{
    QList<Source> list;
    const auto own = [&](const QString &head, Kind kind, Getter getter) { list.append({{head, kind}, getter}); };
    const auto measured = [&](const QString &head, const QString &key) {
        list.append({{head, Kind::Number}, [key](const ArchiveRecord &r) { return result(r, key); }});
    };
    const auto resultText = [&](const QString &head, const QString &key) {
        list.append({{head, Kind::Text}, [key](const ArchiveRecord &r) { return result(r, key); }});
    };
    const auto field = [&](const QString &head, Kind kind, const QString &name) {
        list.append({{head, kind}, [=](const ArchiveRecord &r) { return fieldValue(r, name); }});
    };
    const auto side = [&](const QString &head, const QString &name, int which) {
        const auto &all = ProtocolFields::twoSided();
        const auto two = std::find_if(all.cbegin(), all.cend(), [&](const auto &f) { return f.name == name; });
        list.append({{head, Kind::Number}, [=, f = *two](const ArchiveRecord &r) { return fieldSide(r, f, which); }});
    };

    own(QStringLiteral("Дата"), Kind::Moment, {});
    own(QStringLiteral("Протокол №"), Kind::Text, [](const ArchiveRecord &r) { return r.protocolNumber; });
    own(QStringLiteral("Редакция"), Kind::Integer, {});
    own(QStringLiteral("Тип трансформатора"), Kind::Text, [](const ArchiveRecord &r) { return r.type; });
    own(QStringLiteral("Заводской №"), Kind::Text, [](const ArchiveRecord &r) { return r.serialNumber; });
    own(QStringLiteral("Фирма"), Kind::Text, [](const ArchiveRecord &r) { return r.firm; });

    using namespace ProtocolFields;
    field(QStringLiteral("Число фаз"), Kind::Text, FasNumber);
    field(QStringLiteral("Масса, кг"), Kind::Number, TransformerWeight);
    field(QStringLiteral("Год ремонта"), Kind::Number, YearOfRepair);
    field(QStringLiteral("Pном, кВА"), Kind::Number, Pnom);
    side(QStringLiteral("Uном ВН, В"), Unom, 0);
    side(QStringLiteral("Uном НН, В"), Unom, 1);
    side(QStringLiteral("Iном ВН, А"), Inom, 0);
    side(QStringLiteral("Iном НН, А"), Inom, 1);
    field(QStringLiteral("f, Гц"), Kind::Number, Freq);
    field(QStringLiteral("Схема и группа соединения"), Kind::Text, Circuit);
    measured(QStringLiteral("Температура обмоток, °C"), QStringLiteral("Temperature"));

    measured(QStringLiteral("Uab хх, В"), QStringLiteral("Uab00"));
    measured(QStringLiteral("Ubc хх, В"), QStringLiteral("Ubc00"));
    measured(QStringLiteral("Uca хх, В"), QStringLiteral("Uca00"));
    measured(QStringLiteral("Ia хх, А"), QStringLiteral("Ia00"));
    measured(QStringLiteral("Ib хх, А"), QStringLiteral("Ib00"));
    measured(QStringLiteral("Ic хх, А"), QStringLiteral("Ic00"));
    measured(QStringLiteral("Iхх, А"), QStringLiteral("Ixx00"));
    measured(QStringLiteral("Iхх, %"), QStringLiteral("Ixx01"));
    measured(QStringLiteral("Pхх, Вт"), QStringLiteral("Pxx00"));

    measured(QStringLiteral("Uab кз, В"), QStringLiteral("Uab10"));
    measured(QStringLiteral("Ubc кз, В"), QStringLiteral("Ubc10"));
    measured(QStringLiteral("Uca кз, В"), QStringLiteral("Uca10"));
    measured(QStringLiteral("Ia кз, А"), QStringLiteral("Ia10"));
    measured(QStringLiteral("Ib кз, А"), QStringLiteral("Ib10"));
    measured(QStringLiteral("Ic кз, А"), QStringLiteral("Ic10"));
    measured(QStringLiteral("Iкз, А"), QStringLiteral("Ikz10"));
    measured(QStringLiteral("Uкз, В"), QStringLiteral("Ukz100"));
    measured(QStringLiteral("Uкз, %"), QStringLiteral("Ukz110"));
    measured(QStringLiteral("Pкз, Вт"), QStringLiteral("Pkz10"));
    measured(QStringLiteral("Uкз приведенное к Iном, В"), QStringLiteral("Ukz101"));
    measured(QStringLiteral("Uкз приведенное к Iном, %"), QStringLiteral("Ukz111"));
    measured(QStringLiteral("Pкз приведенное к Iном, Вт"), QStringLiteral("Pkz11"));
    measured(QStringLiteral("Uкз приведенное к 75 °C, В"), QStringLiteral("Ukz102"));
    measured(QStringLiteral("Uкз приведенное к 75 °C, %"), QStringLiteral("Ukz112"));
    measured(QStringLiteral("Pкз приведенное к 75 °C, Вт"), QStringLiteral("Pkz12"));

    // The ratio table: the implied HV voltage and the ratio per tap and phase pair.
    const QStringList ratioPairs = {QStringLiteral("AB"), QStringLiteral("BC"), QStringLiteral("CA")};
    for (int tap = 0; tap < tapNames().size(); ++tap) {
        for (int row = 0; row < ratioPairs.size(); ++row) {
            measured(QStringLiteral("K, ступень %1, %2").arg(tapNames()[tap], ratioPairs[row]),
                     StateFile::gridKey(StateFile::TransformGrid, 2 * tap + 1, row));
            measured(QStringLiteral("Uвн, ступень %1, %2, В").arg(tapNames()[tap], ratioPairs[row]),
                     StateFile::gridKey(StateFile::TransformGrid, 2 * tap, row));
        }
    }
    resultText(QStringLiteral("Группа соединения"), QStringLiteral("Group"));

    const QStringList highPairs = {QStringLiteral("AB"), QStringLiteral("CA"), QStringLiteral("BC")};
    for (int tap = 0; tap < tapNames().size(); ++tap) {
        for (int row = 0; row < highPairs.size(); ++row)
            measured(QStringLiteral("R ВН, ступень %1, %2, Ом").arg(tapNames()[tap], highPairs[row]),
                     StateFile::gridKey(StateFile::ResistenceGrid, tap, row));
        measured(QStringLiteral("Небаланс R ВН, ступень %1, %").arg(tapNames()[tap]),
                 StateFile::gridKey(StateFile::ResistenceGrid, tap, 3));
    }
    // The LV pairs read ab, ca, bc for a delta winding and a0, b0, c0 for a star.
    const QStringList lowPairs = {QStringLiteral("a0 (ab)"), QStringLiteral("b0 (ca)"), QStringLiteral("c0 (bc)")};
    for (int row = 0; row < lowPairs.size(); ++row)
        measured(QStringLiteral("R НН, %1, Ом").arg(lowPairs[row]), StateFile::gridKey(StateFile::ResistenceGrid, 5, row));
    measured(QStringLiteral("Небаланс R НН, %"), StateFile::gridKey(StateFile::ResistenceGrid, 5, 3));

    const struct {
        const char *caption;
        const char *prefix;
    } sides[] = {{"ВН - К", "High"}, {"НН - К", "Low"}, {"ВН - НН", "HL"}};
    for (const auto &s : sides) {
        const QString caption = QString::fromUtf8(s.caption);
        const QString key = QString::fromLatin1(s.prefix);
        // The test voltage and time keys spell the side in lower case, "Uhigh", "Tlow", "UHL".
        const QString tail = key == u"HL" ? key : key.toLower();
        measured(QStringLiteral("Rиз %1, 15 с, МОм").arg(caption), u'R' + key + QStringLiteral("15"));
        measured(QStringLiteral("Rиз %1, 60 с, МОм").arg(caption), u'R' + key + QStringLiteral("60"));
        measured(QStringLiteral("Кабс %1").arg(caption), QStringLiteral("Kabs") + key);
        measured(QStringLiteral("Uпов %1, кВ").arg(caption), u'U' + tail);
        measured(QStringLiteral("t %1, с").arg(caption), u'T' + tail);
    }

    field(QStringLiteral("Анализ масла №"), Kind::Text, OilAnalysis);
    field(QStringLiteral("Электрическая прочность"), Kind::Number, ElectricStrength);
    field(QStringLiteral("Содержание воды"), Kind::Number, WaterContent);
    field(QStringLiteral("Механические примеси"), Kind::Text, MechanicalImpurities);
    field(QStringLiteral("Содержание взвешенного угля"), Kind::Text, WeightedCoalContent);
    field(QStringLiteral("Цвет"), Kind::Text, Color);
    field(QStringLiteral("Кислотное число КОН"), Kind::Number, AcidNumber);
    field(QStringLiteral("Реакция водной вытяжки"), Kind::Text, ReactionAqueousExtract);
    field(QStringLiteral("Температура вспышки"), Kind::Number, FlashTemperature);

    // The whole conclusion lives in the page's field; the results keep its first line only.
    list.append({{QStringLiteral("Заключение"), Kind::Text}, [](const ArchiveRecord &r) {
                     const auto field = r.fields.constFind(Conclusion);
                     return field != r.fields.cend() ? field.value() : r.results.value(StateFile::ConclusionKey);
                 }});
    field(QStringLiteral("Испытания провел"), Kind::Text, Investigator);
    field(QStringLiteral("Руководитель"), Kind::Text, Chief);
    return list;
}

const QList<Source> &sources()
{
    static const QList<Source> list = buildSources();
    return list;
}

// A spreadsheet runs a cell that starts like a formula: a firm typed as "=HYPERLINK(...)"
// would act when the file is opened. Such a cell keeps its text behind an apostrophe, the
// spreadsheets' own mark for text. Numbers such as "-0.5" stay numbers, and a lone sign
// (the conclusion "+") is no formula.
bool readsAsFormula(const QString &text)
{
    if (text.size() < 2 || isPlainNumber(text))
        return text.size() == 1 && QStringLiteral("=@\t\r").contains(text.front());
    return QStringLiteral("=+-@\t\r").contains(text.front());
}

QString quotedCsv(QString text)
{
    if (!text.contains(u';') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    text.replace(u'"', QStringLiteral("\"\""));
    return u'"' + text + u'"';
}

QString numberText(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString csvCell(const QVariant &cell)
{
    switch (cell.typeId()) {
    case QMetaType::UnknownType: return QString();
    case QMetaType::Double: return numberText(cell.toDouble()).replace(u'.', u',');
    case QMetaType::Int: return QString::number(cell.toInt());
    case QMetaType::QDateTime: return cell.toDateTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    default: break;
    }
    QString text = cell.toString();
    if (readsAsFormula(text))
        text.prepend(u'\'');
    return quotedCsv(text);
}

QByteArray csvHead()
{
    QStringList heads;
    for (const Column &column : columns())
        heads.append(quotedCsv(column.head));
    return QByteArray("\xEF\xBB\xBF") + (heads.join(u';') + QStringLiteral("\r\n")).toUtf8();
}

QByteArray csvRow(const ArchiveRecord &record)
{
    QStringList row;
    for (const QVariant &cell : cells(record))
        row.append(csvCell(cell));
    return (row.join(u';') + QStringLiteral("\r\n")).toUtf8();
}

QByteArray jsonObject(const ArchiveRecord &record)
{
    const QVariantList values = cells(record);
    QJsonObject object;
    for (int c = 0; c < values.size(); ++c) {
        const QVariant &cell = values[c];
        const QString &head = columns()[c].head;
        switch (cell.typeId()) {
        case QMetaType::UnknownType: object.insert(head, QJsonValue::Null); break;
        case QMetaType::Double: object.insert(head, cell.toDouble()); break;
        case QMetaType::Int: object.insert(head, cell.toInt()); break;
        case QMetaType::QDateTime: {
            const QDateTime local = cell.toDateTime();
            object.insert(head, local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs));
            break;
        }
        default: object.insert(head, cell.toString()); break;
        }
    }
    QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Indented);
    if (text.endsWith('\n'))
        text.chop(1);
    return text;
}

// A cell's text as the spreadsheet's XML may hold it: no control characters but tab and
// line breaks, and no more than a cell takes.
QByteArray xlsxText(QString text)
{
    constexpr qsizetype CellLimit = 32767;
    for (QChar &c : text) {
        if (c.unicode() < 0x20 && c != u'\t' && c != u'\n' && c != u'\r')
            c = QChar(0xFFFD);
    }
    if (text.size() > CellLimit)
        text.truncate(text.at(CellLimit - 1).isHighSurrogate() ? CellLimit - 1 : CellLimit);
    return text.toUtf8();
}

QString xlsxProblem(lxw_error error)
{
    return QString::fromUtf8(lxw_strerror(error));
}

} // namespace

const QList<Column> &columns()
{
    static const QList<Column> list = [] {
        QList<Column> out;
        for (const Source &source : sources())
            out.append(source.column);
        return out;
    }();
    return list;
}

QVariantList cells(const ArchiveRecord &record)
{
    QVariantList out;
    out.reserve(sources().size());
    for (const Source &source : sources()) {
        switch (source.column.kind) {
        case Kind::Moment:
            out.append(record.moment.isValid() ? QVariant(record.moment.toLocalTime()) : QVariant());
            continue;
        case Kind::Integer:
            out.append(record.revision);
            continue;
        default: break;
        }
        const QString text = source.text(record);
        if (text.isEmpty()) {
            out.append(QVariant());
        } else if (source.column.kind == Kind::Number) {
            const std::optional<double> number = ArchiveComparison::parseNumber(text);
            out.append(number ? QVariant(*number) : QVariant(text));
        } else {
            out.append(text);
        }
    }
    return out;
}

QString extension(Format format)
{
    switch (format) {
    case Format::Csv: return QStringLiteral("csv");
    case Format::Json: return QStringLiteral("json");
    case Format::Xlsx: return QStringLiteral("xlsx");
    }
    return {};
}

QString fileFilter(Format format)
{
    switch (format) {
    case Format::Csv: return QStringLiteral("Файлы CSV (*.csv)");
    case Format::Json: return QStringLiteral("Файлы JSON (*.json)");
    case Format::Xlsx: return QStringLiteral("Книги Excel (*.xlsx)");
    }
    return {};
}

// ---- Writer ----

namespace {

QString notWritten(const QString &path, const QString &reason)
{
    return QStringLiteral("Файл %1 не записан: %2").arg(QDir::toNativeSeparators(path), reason);
}

// A workbook in a folder of its own; the library writes it out at close.
class Workbook {
public:
    ~Workbook()
    {
        if (m_book)
            workbook_close(m_book); // the only way to free it; the file goes with the folder
    }

    bool open(const QString &target, QString *reason)
    {
        // Beside the target: the room that counts is on its disk, not in a small /tmp.
        m_folder = std::make_unique<QTemporaryDir>(
            QFileInfo(target).absoluteDir().filePath(QStringLiteral(".export-XXXXXX")));
        if (!m_folder->isValid())
            return fail(reason, m_folder->errorString());
        m_folderPath = QFile::encodeName(m_folder->path());
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE; // rows go to disk as they come
        options.tmpdir = m_folderPath.data();
        m_book = workbook_new_opt(QFile::encodeName(filePath()).constData(), &options);
        if (!m_book)
            return fail(reason, QStringLiteral("книга не создаётся"));
        m_sheet = workbook_add_worksheet(m_book, "Протоколы");
        m_dateFormat = workbook_add_format(m_book);
        lxw_format *headFormat = workbook_add_format(m_book);
        if (!m_sheet || !m_dateFormat || !headFormat)
            return fail(reason, QStringLiteral("книга не создаётся"));
        format_set_num_format(m_dateFormat, "dd.mm.yyyy hh:mm:ss");
        format_set_bold(headFormat);
        format_set_text_wrap(headFormat);
        worksheet_freeze_panes(m_sheet, 1, 0);
        worksheet_set_column(m_sheet, 0, 0, 19, nullptr);
        worksheet_set_column(m_sheet, 1, lxw_col_t(columns().size() - 1), 14, nullptr);
        for (int c = 0; c < columns().size(); ++c) {
            const lxw_error e = worksheet_write_string(m_sheet, 0, lxw_col_t(c),
                                                       xlsxText(columns()[c].head).constData(), headFormat);
            if (e != LXW_NO_ERROR)
                return fail(reason, xlsxProblem(e));
        }
        return true;
    }

    bool addRow(lxw_row_t row, const QVariantList &values, QString *reason)
    {
        for (int c = 0; c < values.size(); ++c) {
            const QVariant &cell = values[c];
            const lxw_col_t col = lxw_col_t(c);
            lxw_error e = LXW_NO_ERROR;
            switch (cell.typeId()) {
            case QMetaType::UnknownType: continue;
            case QMetaType::Double: e = worksheet_write_number(m_sheet, row, col, cell.toDouble(), nullptr); break;
            case QMetaType::Int: e = worksheet_write_number(m_sheet, row, col, cell.toInt(), nullptr); break;
            case QMetaType::QDateTime: {
                const QDateTime moment = cell.toDateTime();
                lxw_datetime when{moment.date().year(), moment.date().month(), moment.date().day(),
                                  moment.time().hour(), moment.time().minute(),
                                  moment.time().second() + moment.time().msec() / 1000.0};
                e = worksheet_write_datetime(m_sheet, row, col, &when, m_dateFormat);
                break;
            }
            default:
                e = worksheet_write_string(m_sheet, row, col, xlsxText(cell.toString()).constData(), nullptr);
                break;
            }
            if (e != LXW_NO_ERROR)
                return fail(reason, xlsxProblem(e));
        }
        return true;
    }

    bool close(QString *reason)
    {
        const lxw_error e = workbook_close(m_book);
        m_book = nullptr;
        return e == LXW_NO_ERROR || fail(reason, xlsxProblem(e));
    }

    QString filePath() const { return m_folder->filePath(QStringLiteral("book.xlsx")); }

private:
    static bool fail(QString *reason, const QString &why)
    {
        *reason = why;
        return false;
    }

    std::unique_ptr<QTemporaryDir> m_folder;
    QByteArray m_folderPath;
    lxw_workbook *m_book = nullptr;
    lxw_worksheet *m_sheet = nullptr;
    lxw_format *m_dateFormat = nullptr;
};

} // namespace

bool Writer::write(const QString &path, qsizetype count, const Source &source)
{
    m_error.clear();
    if (count > capacity()) {
        m_error = notWritten(path, QStringLiteral("в одном файле помещается не больше %1 записей").arg(capacity()));
        return false;
    }
    bool stopped = false;
    QString reason;
    bool ok = false;
    if (m_format == Format::Xlsx) {
        Workbook book;
        ok = book.open(path, &reason);
        for (qsizetype i = 0; ok && i < count; ++i) {
            const std::optional<ArchiveRecord> record = source(i);
            if (!record) {
                stopped = true;
                ok = false;
            } else {
                ok = book.addRow(lxw_row_t(i + 1), cells(*record), &reason);
            }
        }
        ok = ok && book.close(&reason);
        ok = ok && WholeFile::write(
                  path,
                  [&](QIODevice &out) {
                      QFile in(book.filePath());
                      if (!in.open(QIODevice::ReadOnly)) {
                          reason = in.errorString();
                          return false;
                      }
                      while (!in.atEnd()) {
                          const QByteArray chunk = in.read(1 << 20);
                          if (chunk.isEmpty() || out.write(chunk) != chunk.size())
                              return false;
                      }
                      return true;
                  },
                  &reason);
    } else {
        ok = WholeFile::write(
            path,
            [&](QIODevice &out) {
                const bool csv = m_format == Format::Csv;
                const QByteArray head = csv ? csvHead() : QByteArray("[");
                if (out.write(head) != head.size())
                    return false;
                for (qsizetype i = 0; i < count; ++i) {
                    const std::optional<ArchiveRecord> record = source(i);
                    if (!record) {
                        stopped = true;
                        return false;
                    }
                    const QByteArray bytes =
                        csv ? csvRow(*record) : (i ? QByteArray(",\n") : QByteArray("\n")) + jsonObject(*record);
                    if (out.write(bytes) != bytes.size())
                        return false;
                }
                return csv || out.write("\n]\n") == 3;
            },
            &reason);
    }
    if (!ok && !stopped)
        m_error = notWritten(path, reason.isEmpty() ? QStringLiteral("неизвестная ошибка") : reason);
    return ok;
}

qsizetype Writer::capacity() const
{
    // The spreadsheet's last row less the heads.
    return m_format == Format::Xlsx ? LXW_ROW_MAX - 1 : std::numeric_limits<qsizetype>::max();
}

bool writeFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QString reason;
    if (!WholeFile::write(path, bytes, &reason)) {
        if (error)
            *error = notWritten(path, reason);
        return false;
    }
    return true;
}

// ---- whole files ----

QByteArray toCsv(const QList<ArchiveRecord> &records)
{
    QByteArray bytes = csvHead();
    for (const ArchiveRecord &record : records)
        bytes += csvRow(record);
    return bytes;
}

QByteArray toJson(const QList<ArchiveRecord> &records)
{
    QByteArray bytes = "[";
    for (int i = 0; i < records.size(); ++i)
        bytes += (i ? QByteArray(",\n") : QByteArray("\n")) + jsonObject(records[i]);
    return bytes + "\n]\n";
}

} // namespace ArchiveExport
