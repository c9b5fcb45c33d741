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
#include <algorithm>
#include <functional>
#include <limits>
#include <cmath>
#include <utility>
#include <zlib.h>

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
    const auto perCent = [&](const QString &head, const QString &key) {
        list.append({{head, Kind::PerCent}, [key](const ArchiveRecord &r) { return result(r, key); }});
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
        perCent(QStringLiteral("Небаланс R ВН, ступень %1, %").arg(tapNames()[tap]),
                StateFile::gridKey(StateFile::ResistenceGrid, tap, 3));
    }
    // The LV pairs read ab, ca, bc for a delta winding and a0, b0, c0 for a star.
    const QStringList lowPairs = {QStringLiteral("a0 (ab)"), QStringLiteral("b0 (ca)"), QStringLiteral("c0 (bc)")};
    for (int row = 0; row < lowPairs.size(); ++row)
        measured(QStringLiteral("R НН, %1, Ом").arg(lowPairs[row]), StateFile::gridKey(StateFile::ResistenceGrid, 5, row));
    perCent(QStringLiteral("Небаланс R НН, %"), StateFile::gridKey(StateFile::ResistenceGrid, 5, 3));

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
// line breaks, no character XML forbids, and no more than a cell takes.
QByteArray xlsxText(QString text)
{
    constexpr qsizetype CellLimit = 32767;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool control = c.unicode() < 0x20 && c != u'\t' && c != u'\n' && c != u'\r';
        const bool lone = (c.isHighSurrogate() && (i + 1 == text.size() || !text[i + 1].isLowSurrogate()))
            || (c.isLowSurrogate() && (i == 0 || !text[i - 1].isHighSurrogate()));
        if (control || lone || c.unicode() >= 0xFFFE)
            text[i] = QChar(0xFFFD);
    }
    if (text.size() > CellLimit)
        text.truncate(text.at(CellLimit - 1).isHighSurrogate() ? CellLimit - 1 : CellLimit);
    return text.toUtf8();
}

// A number as the book's XML holds it: C notation, the fewest digits that read back as the
// same value, so a value read from "8.61" is written "8.61"; no exponent in the usual range.
QByteArray xlsxNumber(double value)
{
    const double size = std::fabs(value);
    const char form = value == 0 || (size >= 1e-6 && size < 1e15) ? 'f' : 'g';
    return QByteArray::number(value, form, QLocale::FloatingPointShortest);
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
        } else if (source.column.kind == Kind::Number || source.column.kind == Kind::PerCent) {
            QString digits = text;
            if (source.column.kind == Kind::PerCent && digits.endsWith(u'%'))
                digits.chop(1);
            const std::optional<double> number = ArchiveComparison::parseNumber(digits);
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

// A zip archive written front to back into a device: each member deflated as it comes, its
// checksum and sizes after its data, the directory at the end. Every member carries the same
// fixed date, so the same contents make the same bytes on any computer on any day. Without
// the zip64 extension: a book past 4 GiB is refused.
class ZipStream {
public:
    explicit ZipStream(QIODevice &out) : m_out(out) {}
    ~ZipStream()
    {
        if (m_open)
            deflateEnd(&m_z);
    }
    ZipStream(const ZipStream &) = delete;
    ZipStream &operator=(const ZipStream &) = delete;

    bool begin(const QByteArray &name)
    {
        m_current = {name, 0, 0, 0, m_offset};
        if (deflateInit2(&m_z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            return fail(QStringLiteral("сжатие не запускается"));
        m_open = true;
        QByteArray header;
        put32(header, 0x04034b50);
        put16(header, 20);         // version needed: deflate
        put16(header, SizesAfter); // flags
        put16(header, 8);          // deflated
        put16(header, DosTime);
        put16(header, DosDate);
        put32(header, 0); // checksum and sizes follow the data
        put32(header, 0);
        put32(header, 0);
        put16(header, quint16(name.size()));
        put16(header, 0);
        return put(header + name);
    }

    bool write(const QByteArray &bytes)
    {
        m_current.crc = quint32(crc32(m_current.crc, reinterpret_cast<const Bytef *>(bytes.constData()),
                                      uInt(bytes.size())));
        m_current.size += quint64(bytes.size());
        return pump(bytes, Z_NO_FLUSH);
    }

    bool end()
    {
        if (!pump(QByteArray(), Z_FINISH))
            return false;
        deflateEnd(&m_z);
        m_open = false;
        if (m_current.size > Limit || m_current.packed > Limit)
            return fail(QStringLiteral("книга больше 4 ГБ"));
        QByteArray descriptor;
        put32(descriptor, 0x08074b50);
        put32(descriptor, m_current.crc);
        put32(descriptor, quint32(m_current.packed));
        put32(descriptor, quint32(m_current.size));
        m_members.append(m_current);
        return put(descriptor);
    }

    bool member(const QByteArray &name, const QByteArray &bytes) { return begin(name) && write(bytes) && end(); }

    // The directory, after the last member.
    bool finish()
    {
        const quint64 start = m_offset;
        QByteArray directory;
        for (const Member &m : std::as_const(m_members)) {
            put32(directory, 0x02014b50);
            put16(directory, 20); // made by: MS-DOS attributes, version 2.0
            put16(directory, 20);
            put16(directory, SizesAfter);
            put16(directory, 8);
            put16(directory, DosTime);
            put16(directory, DosDate);
            put32(directory, m.crc);
            put32(directory, quint32(m.packed));
            put32(directory, quint32(m.size));
            put16(directory, quint16(m.name.size()));
            put16(directory, 0); // extra field
            put16(directory, 0); // comment
            put16(directory, 0); // disk
            put16(directory, 0); // internal attributes
            put32(directory, 0); // external attributes
            put32(directory, quint32(m.offset));
            directory += m.name;
        }
        const quint64 size = quint64(directory.size());
        if (start > Limit || start + size > Limit)
            return fail(QStringLiteral("книга больше 4 ГБ"));
        put32(directory, 0x06054b50);
        put16(directory, 0); // this disk
        put16(directory, 0); // the directory's disk
        put16(directory, quint16(m_members.size()));
        put16(directory, quint16(m_members.size()));
        put32(directory, quint32(size));
        put32(directory, quint32(start));
        put16(directory, 0); // comment
        return put(directory);
    }

    QString problem() const { return m_problem; }

private:
    static constexpr quint16 SizesAfter = 0x0008;
    static constexpr quint16 DosTime = 0;      // 00:00:00
    static constexpr quint16 DosDate = 0x0021; // 1980-01-01, the format's first day
    static constexpr quint64 Limit = 0xFFFFFFFFu;

    struct Member {
        QByteArray name;
        quint32 crc;
        quint64 size;
        quint64 packed;
        quint64 offset;
    };

    static void put16(QByteArray &to, quint16 v)
    {
        const char b[2] = {char(v & 0xFF), char(v >> 8)};
        to.append(b, 2);
    }
    static void put32(QByteArray &to, quint32 v)
    {
        const char b[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
        to.append(b, 4);
    }

    bool put(const QByteArray &bytes) { return put(bytes.constData(), bytes.size()); }
    bool put(const char *data, qint64 size)
    {
        if (m_out.write(data, size) != size)
            return fail(m_out.errorString());
        m_offset += quint64(size);
        return true;
    }

    bool pump(const QByteArray &bytes, int flush)
    {
        char buffer[1 << 16];
        m_z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.constData()));
        m_z.avail_in = uInt(bytes.size());
        int result = Z_OK;
        do {
            m_z.next_out = reinterpret_cast<Bytef *>(buffer);
            m_z.avail_out = sizeof buffer;
            result = deflate(&m_z, flush);
            if (result == Z_STREAM_ERROR)
                return fail(QStringLiteral("ошибка сжатия"));
            const qint64 produced = qint64(sizeof buffer - m_z.avail_out);
            m_current.packed += quint64(produced);
            if (produced > 0 && !put(buffer, produced))
                return false;
        } while (m_z.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
        return true;
    }

    bool fail(const QString &why)
    {
        if (m_problem.isEmpty())
            m_problem = why;
        return false;
    }

    QIODevice &m_out;
    z_stream m_z{};
    bool m_open = false;
    quint64 m_offset = 0;
    Member m_current{};
    QList<Member> m_members;
    QString m_problem;
};

// The book's fixed parts: one sheet, its styles, no shared strings (the cells hold their
// texts), no document properties (they would carry the moment of writing).
constexpr char XmlHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr char MainNamespace[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr char RelationNamespace[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

QByteArray contentTypes()
{
    return QByteArray(XmlHead)
        + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
          "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
          "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
          "<Override PartName=\"/xl/workbook.xml\" "
          "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
          "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
          "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
          "<Override PartName=\"/xl/styles.xml\" "
          "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
          "</Types>";
}

QByteArray relations(const QList<std::pair<const char *, const char *>> &targets)
{
    QByteArray xml = QByteArray(XmlHead)
        + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    int id = 0;
    for (const auto &[type, target] : targets) {
        xml += "<Relationship Id=\"rId" + QByteArray::number(++id) + "\" Type=\"" + RelationNamespace + '/' + type
            + "\" Target=\"" + target + "\"/>";
    }
    return xml + "</Relationships>";
}

QByteArray workbookXml()
{
    return QByteArray(XmlHead) + "<workbook xmlns=\"" + MainNamespace + "\" xmlns:r=\"" + RelationNamespace + "\">"
        + "<bookViews><workbookView/></bookViews><sheets><sheet name=\"" + QStringLiteral("Протоколы").toUtf8()
        + "\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
}

// The cell styles by index: 0 plain, 1 a head, 2 a date, 3 a per-cent value as the protocol
// shows it ("1,98 %" under Russian settings).
enum Style { Plain = 0, Head = 1, Date = 2, PerCent = 3 };

QByteArray stylesXml()
{
    return QByteArray(XmlHead) + "<styleSheet xmlns=\"" + MainNamespace + "\">"
        + "<numFmts count=\"2\"><numFmt numFmtId=\"164\" formatCode=\"dd.mm.yyyy hh:mm:ss\"/>"
          "<numFmt numFmtId=\"165\" formatCode=\"0.00&quot; %&quot;\"/></numFmts>"
          "<fonts count=\"2\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>"
          "<font><b/><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font></fonts>"
          "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
          "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
          "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
          "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
          "<cellXfs count=\"4\">"
          "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
          "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyFont=\"1\" applyAlignment=\"1\">"
          "<alignment wrapText=\"1\"/></xf>"
          "<xf numFmtId=\"164\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>"
          "<xf numFmtId=\"165\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>"
          "</cellXfs>"
          "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
          "</styleSheet>";
}

// A column's width as a spreadsheet stores it for `characters` digits of its default font:
// the digits and the cell's margins in pixels of 7 per digit, in 1/256 of a digit.
QByteArray columnWidth(int characters)
{
    const double width = std::floor((characters * 7.0 + 5.0) / 7.0 * 256.0) / 256.0;
    return xlsxNumber(width);
}

QByteArray escapedXml(const QByteArray &utf8)
{
    QByteArray out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c; break;
        }
    }
    return out;
}

QByteArray textCell(const QByteArray &reference, const QString &text, Style style)
{
    const QByteArray utf8 = xlsxText(text);
    // Spaces at either end and line breaks are kept only when the text says so.
    const bool preserve = !utf8.isEmpty()
        && (utf8.front() == ' ' || utf8.back() == ' ' || utf8.contains('\n') || utf8.contains('\t'));
    QByteArray cell = "<c r=\"" + reference + '"';
    if (style != Plain)
        cell += " s=\"" + QByteArray::number(int(style)) + '"';
    cell += " t=\"inlineStr\"><is><t";
    if (preserve)
        cell += " xml:space=\"preserve\"";
    return cell + '>' + escapedXml(utf8) + "</t></is></c>";
}

QByteArray numberCell(const QByteArray &reference, double value, Style style)
{
    QByteArray cell = "<c r=\"" + reference + '"';
    if (style != Plain)
        cell += " s=\"" + QByteArray::number(int(style)) + '"';
    return cell + "><v>" + xlsxNumber(value) + "</v></c>";
}

// The letters of a column, "A" for the first.
QByteArray columnName(int column)
{
    QByteArray letters;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        letters.prepend(char('A' + (c - 1) % 26));
    return letters;
}

// The one sheet of the book, written row by row into the open member.
class SheetWriter {
public:
    explicit SheetWriter(ZipStream &zip) : m_zip(zip)
    {
        for (int c = 0; c < columns().size(); ++c)
            m_letters.append(columnName(c));
    }

    bool begin()
    {
        QByteArray xml = QByteArray(XmlHead) + "<worksheet xmlns=\"" + MainNamespace + "\" xmlns:r=\""
            + RelationNamespace + "\">"
            + "<sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\">"
              "<pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" state=\"frozen\"/>"
              "<selection pane=\"bottomLeft\"/></sheetView></sheetViews>"
              "<sheetFormatPr defaultRowHeight=\"15\"/>"
            + "<cols><col min=\"1\" max=\"1\" width=\"" + columnWidth(19) + "\" customWidth=\"1\"/>"
            + "<col min=\"2\" max=\"" + QByteArray::number(columns().size()) + "\" width=\"" + columnWidth(14)
            + "\" customWidth=\"1\"/></cols><sheetData>";
        xml += "<row r=\"1\">";
        for (int c = 0; c < columns().size(); ++c)
            xml += textCell(m_letters[c] + '1', columns()[c].head, Head);
        xml += "</row>";
        return m_zip.begin("xl/worksheets/sheet1.xml") && m_zip.write(xml);
    }

    bool addRow(qsizetype row, const QVariantList &values)
    {
        const QByteArray number = QByteArray::number(row);
        QByteArray xml = "<row r=\"" + number + "\">";
        for (int c = 0; c < values.size(); ++c) {
            const QVariant &cell = values[c];
            const QByteArray reference = m_letters[c] + number;
            switch (cell.typeId()) {
            case QMetaType::UnknownType: continue;
            case QMetaType::Double:
                xml += numberCell(reference, cell.toDouble(), columns()[c].kind == Kind::PerCent ? PerCent : Plain);
                break;
            case QMetaType::Int: xml += numberCell(reference, cell.toInt(), Plain); break;
            case QMetaType::QDateTime: {
                // Days since the spreadsheets' day 0, 1899-12-30, the time as a fraction of a day.
                const QDateTime moment = cell.toDateTime();
                const double days = double(QDate(1899, 12, 30).daysTo(moment.date()))
                    + moment.time().msecsSinceStartOfDay() / 86400000.0;
                xml += numberCell(reference, days, Date);
                break;
            }
            default: xml += textCell(reference, cell.toString(), Plain); break;
            }
        }
        return m_zip.write(xml + "</row>");
    }

    bool end() { return m_zip.write("</sheetData></worksheet>") && m_zip.end(); }

private:
    ZipStream &m_zip;
    QList<QByteArray> m_letters;
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
        ok = WholeFile::write(
            path,
            [&](QIODevice &out) {
                ZipStream zip(out);
                SheetWriter sheet(zip);
                const bool begun = zip.member("[Content_Types].xml", contentTypes())
                    && zip.member("_rels/.rels", relations({{"officeDocument", "xl/workbook.xml"}}))
                    && zip.member("xl/workbook.xml", workbookXml())
                    && zip.member("xl/_rels/workbook.xml.rels",
                                  relations({{"worksheet", "worksheets/sheet1.xml"}, {"styles", "styles.xml"}}))
                    && zip.member("xl/styles.xml", stylesXml()) && sheet.begin();
                bool written = begun;
                for (qsizetype i = 0; written && i < count; ++i) {
                    const std::optional<ArchiveRecord> record = source(i);
                    if (!record) {
                        stopped = true;
                        return false;
                    }
                    written = sheet.addRow(i + 2, cells(*record));
                }
                written = written && sheet.end() && zip.finish();
                if (!written)
                    reason = zip.problem();
                return written;
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
    // The spreadsheet's last row, 1 048 576, less the heads.
    return m_format == Format::Xlsx ? (qsizetype(1) << 20) - 1 : std::numeric_limits<qsizetype>::max();
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
