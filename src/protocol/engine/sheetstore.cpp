#include "sheetstore.h"

#include "wholefile.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QtEndian>

#include <cerrno>
#include <cmath>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

// File layout, big-endian: magic, version, paper width and height (mm), orientation,
// the rectangles, then the texts. Strings are a byte count and UTF-8.
namespace {

constexpr char Magic[8] = {'B', 'E', 'N', 'C', 'H', 'S', 'H', 'T'};
// Version 2 added each text's width scale; version 1 files still load, uncondensed.
constexpr quint32 Version = 2;
constexpr qsizetype RectBytes = 5 * 8 + 1;
constexpr qsizetype minTextBytes(quint32 version) { return 8 * 8 + 4 + 8 + 1 + 8 + (version >= 2 ? 8 : 0) + 4; }
constexpr qsizetype MinStringBytes = 4;

class Writer {
public:
    void bytes(const char *p, qsizetype n) { m_data.append(p, n); }
    void u8(quint8 v) { m_data.append(char(v)); }
    void u32(quint32 v)
    {
        const quint32 be = qToBigEndian(v);
        bytes(reinterpret_cast<const char *>(&be), 4);
    }
    void f64(double v)
    {
        quint64 bits;
        std::memcpy(&bits, &v, 8);
        bits = qToBigEndian(bits);
        bytes(reinterpret_cast<const char *>(&bits), 8);
    }
    void rect(const QRectF &r)
    {
        f64(r.x());
        f64(r.y());
        f64(r.width());
        f64(r.height());
    }
    void string(const QString &s)
    {
        const QByteArray utf8 = s.toUtf8();
        u32(quint32(utf8.size()));
        m_data.append(utf8);
    }
    QByteArray data() const { return m_data; }

private:
    QByteArray m_data;
};

// Every read checks the bytes left; the first failure sticks and names the section.
class Reader {
public:
    explicit Reader(const QByteArray &data) : m_data(data) {}

    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    qsizetype left() const { return m_data.size() - m_pos; }
    void fail(const QString &why)
    {
        if (m_error.isEmpty())
            m_error = why;
    }

    bool take(void *out, qsizetype n, const char *section)
    {
        if (!ok())
            return false;
        if (left() < n) {
            fail(QStringLiteral("the file ends inside %1").arg(QLatin1String(section)));
            return false;
        }
        std::memcpy(out, m_data.constData() + m_pos, size_t(n));
        m_pos += n;
        return true;
    }
    quint8 u8(const char *section)
    {
        quint8 v = 0;
        take(&v, 1, section);
        return v;
    }
    quint32 u32(const char *section)
    {
        quint32 v = 0;
        take(&v, 4, section);
        return qFromBigEndian(v);
    }
    double f64(const char *section)
    {
        quint64 bits = 0;
        take(&bits, 8, section);
        bits = qFromBigEndian(bits);
        double v;
        std::memcpy(&v, &bits, 8);
        if (ok() && !std::isfinite(v))
            fail(QStringLiteral("a number in %1 is not finite").arg(QLatin1String(section)));
        return v;
    }
    QRectF rect(const char *section)
    {
        const double x = f64(section), y = f64(section), w = f64(section), h = f64(section);
        return QRectF(x, y, w, h);
    }
    // A count of items of at least minBytes each, refused when the file cannot hold them.
    quint32 count(qsizetype minBytes, const char *section)
    {
        const quint32 n = u32(section);
        if (ok() && qsizetype(n) > left() / minBytes) {
            fail(QStringLiteral("the count of %1 exceeds the file").arg(QLatin1String(section)));
            return 0;
        }
        return ok() ? n : 0;
    }
    QString string(const char *section)
    {
        const quint32 n = count(1, section);
        if (!ok())
            return {};
        const QByteArray bytes = m_data.mid(m_pos, n);
        m_pos += n;
        return QString::fromUtf8(bytes);
    }

private:
    const QByteArray &m_data;
    qsizetype m_pos = 0;
    QString m_error;
};

// Why a sheet that reads well is still refused: it holds far more than a protocol page.
QString beyondBounds(const Sheet &sheet)
{
    using B = SheetStore::Bounds;
    if (sheet.rects.size() > B::Rects)
        return QStringLiteral("more rectangles than a protocol page holds");
    if (sheet.texts.size() > B::Texts)
        return QStringLiteral("more texts than a protocol page holds");
    const double paperArea = sheet.paperMm.width() * sheet.paperMm.height();
    double filled = 0.0;
    for (const SheetRectOp &r : sheet.rects) {
        if (r.penWidthMm > B::PenMm)
            return QStringLiteral("a line is thicker than any on a protocol page");
        const double w = std::abs(r.rectMm.width()), h = std::abs(r.rectMm.height());
        filled += (r.fillWhite ? w * h : 0.0) + (r.penWidthMm > 0.0 ? 2.0 * (w + h) * r.penWidthMm : 0.0);
    }
    qsizetype lines = 0;
    double glyphs = 0.0;
    QSet<QString> fonts;
    for (const SheetTextOp &t : sheet.texts) {
        if (t.pointSize > B::PointSize)
            return QStringLiteral("a font is larger than any on a protocol page");
        if (t.family.size() > B::FamilyName)
            return QStringLiteral("a face name is longer than any");
        if (t.opaque)
            filled += std::abs(t.rectMm.width() * t.rectMm.height());
        lines += t.lines.size();
        const double weight = std::max(1.0, (t.pointSize / 10.0) * (t.pointSize / 10.0));
        for (const QString &line : t.lines)
            glyphs += double(line.size()) * weight;
        if (!t.lines.isEmpty())
            fonts.insert(t.family + QChar(0) + QString::number(t.pointSize, 'g', 17) + QChar(t.bold ? u'b' : u'-')
                         + QChar(t.italic ? u'i' : u'-'));
    }
    if (lines > B::Lines)
        return QStringLiteral("more lines than a protocol page holds");
    if (glyphs > B::Glyphs)
        return QStringLiteral("more text than a protocol page holds");
    if (fonts.size() > B::Fonts)
        return QStringLiteral("more fonts than a protocol page uses");
    if (filled > B::FilledSheets * paperArea)
        return QStringLiteral("more filled area than a protocol page has");
    return {};
}

} // namespace

SheetStore::SheetStore(QObject *parent) : QObject(parent) {}

void SheetStore::beginGeneration()
{
    m_sheet.reset();
    m_complete = false;
    emit changed();
}

void SheetStore::setSheet(const Sheet &sheet)
{
    m_sheet = sheet;
    m_complete = true;
    emit changed();
}

void SheetStore::clear()
{
    m_sheet.reset();
    m_complete = true;
    emit changed();
}

QByteArray SheetStore::serialize(const Sheet &sheet)
{
    Writer w;
    w.bytes(Magic, sizeof Magic);
    w.u32(Version);
    w.f64(sheet.paperMm.width());
    w.f64(sheet.paperMm.height());
    w.u8(sheet.orientation == QPageLayout::Landscape ? 1 : 0);
    w.u32(quint32(sheet.rects.size()));
    for (const SheetRectOp &r : sheet.rects) {
        w.rect(r.rectMm);
        w.f64(r.penWidthMm);
        w.u8(r.fillWhite ? 1 : 0);
    }
    w.u32(quint32(sheet.texts.size()));
    for (const SheetTextOp &t : sheet.texts) {
        w.rect(t.rectMm);
        w.rect(t.clipMm);
        w.string(t.family);
        w.f64(t.pointSize);
        w.u8(quint8((t.bold ? 1 : 0) | (t.italic ? 2 : 0) | (t.centred ? 4 : 0) | (t.opaque ? 8 : 0)));
        w.f64(t.lineHeightMm);
        w.f64(t.widthScale);
        w.u32(quint32(t.lines.size()));
        for (const QString &line : t.lines)
            w.string(line);
    }
    return w.data();
}

std::optional<Sheet> SheetStore::deserialize(const QByteArray &data, QString *error)
{
    auto failed = [error](const QString &why) -> std::optional<Sheet> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (data.size() < qsizetype(sizeof Magic) || std::memcmp(data.constData(), Magic, sizeof Magic) != 0)
        return failed(QStringLiteral("not a protocol sheet file"));

    Reader r(data);
    char magic[sizeof Magic];
    r.take(magic, sizeof magic, "the header");
    const quint32 version = r.u32("the header");
    if (r.ok() && version > Version)
        return failed(QStringLiteral("written by a newer version (%1) of the program").arg(version));
    if (r.ok() && version == 0)
        return failed(QStringLiteral("unknown file version 0"));

    Sheet sheet;
    const double w = r.f64("the paper size");
    const double h = r.f64("the paper size");
    const quint8 orientation = r.u8("the paper size");
    if (r.ok() && (w <= 0.0 || h <= 0.0 || w > 10000.0 || h > 10000.0 || orientation > 1))
        r.fail(QStringLiteral("the paper size is impossible"));
    sheet.paperMm = QSizeF(w, h);
    sheet.orientation = orientation ? QPageLayout::Landscape : QPageLayout::Portrait;

    const quint32 rects = r.count(RectBytes, "the rectangles");
    sheet.rects.reserve(rects);
    for (quint32 i = 0; i < rects && r.ok(); ++i) {
        SheetRectOp op;
        op.rectMm = r.rect("the rectangles");
        op.penWidthMm = r.f64("the rectangles");
        op.fillWhite = r.u8("the rectangles") != 0;
        sheet.rects.append(op);
    }

    const quint32 texts = r.count(minTextBytes(version), "the texts");
    sheet.texts.reserve(texts);
    for (quint32 i = 0; i < texts && r.ok(); ++i) {
        SheetTextOp op;
        op.rectMm = r.rect("the texts");
        op.clipMm = r.rect("the texts");
        op.family = r.string("the texts");
        op.pointSize = r.f64("the texts");
        const quint8 flags = r.u8("the texts");
        op.bold = flags & 1;
        op.italic = flags & 2;
        op.centred = flags & 4;
        op.opaque = flags & 8;
        op.lineHeightMm = r.f64("the texts");
        if (version >= 2)
            op.widthScale = r.f64("the texts");
        if (r.ok() && (op.pointSize <= 0.0 || op.pointSize > 1000.0))
            r.fail(QStringLiteral("a font size is impossible"));
        if (r.ok() && (op.widthScale < 0.1 || op.widthScale > 1.0))
            r.fail(QStringLiteral("a text width scale is impossible"));
        const quint32 lines = r.count(MinStringBytes, "the text lines");
        for (quint32 j = 0; j < lines && r.ok(); ++j)
            op.lines.append(r.string("the text lines"));
        sheet.texts.append(op);
    }
    if (r.ok() && r.left() != 0)
        r.fail(QStringLiteral("unexpected data after the sheet"));
    if (!r.ok())
        return failed(r.error());
    if (const QString why = beyondBounds(sheet); !why.isEmpty())
        return failed(why);
    return sheet;
}

bool SheetStore::save(const QString &path, QString *error) const
{
    if (!m_complete || !m_sheet)
        return true;
    return WholeFile::write(path, serialize(*m_sheet), error);
}

namespace {

// The bytes of a protocol file, or why not. Only a regular file (after following links) is
// read, and no more than the bound: a link to /dev/zero would be read until memory ran out,
// and opening a FIFO waits for a writer that never comes.
std::optional<QByteArray> readSheetFile(const QString &path, QString *why)
{
    const auto refused = [why](const QString &reason) -> std::optional<QByteArray> {
        *why = reason;
        return std::nullopt;
    };
    constexpr qint64 Limit = SheetStore::Bounds::FileBytes;
    QFile file;
#ifdef Q_OS_UNIX
    // Without O_NONBLOCK the open of a FIFO blocks; the check follows the descriptor, so a
    // file swapped after a look at its name cannot slip through.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return refused(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return refused(QStringLiteral("not a regular file"));
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return refused(file.errorString());
    }
#else
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return refused(QStringLiteral("not a regular file"));
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(file.errorString());
#endif
    if (file.size() > Limit)
        return refused(QStringLiteral("the file is too large to be a protocol sheet"));
    // The size may change while it is read; a byte past the bound is enough to refuse.
    QByteArray bytes = file.read(Limit + 1);
    if (file.error() != QFileDevice::NoError)
        return refused(file.errorString());
    if (bytes.size() > Limit)
        return refused(QStringLiteral("the file is too large to be a protocol sheet"));
    return bytes;
}

} // namespace

bool SheetStore::load(const QString &path, QString *error)
{
    QString why;
    std::optional<Sheet> sheet;
    if (const std::optional<QByteArray> bytes = readSheetFile(path, &why))
        sheet = deserialize(*bytes, &why);
    if (!sheet) {
        if (error)
            *error = why;
        clear();
        return false;
    }
    setSheet(*sheet);
    return true;
}
