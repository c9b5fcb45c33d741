// protocol-render: both protocol pages, filled with sample texts, to PNG and PDF.
//
//   protocol-render [--dpi 150] [--png1 page1.png] [--png2 page2.png] [--pdf both.pdf]
//                   [--qrp name.qrp]
//                   [--date 2026-01-31] [--values fill.json]
//                   [--set NAME=TEXT]... [--lines NAME=LINE|LINE|...]... [--width NAME=PX]...
//
// fill.json: {"captions": {"NAME": "TEXT"}, "lines": {"NAME": ["LINE", ...]}, "widths": {"NAME": PX}}

#include "cnumbers.h"
#include "report.h"
#include "sheetoutput.h"
#include "sheetstore.h"

#include <QCommandLineParser>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

bool fail(const QString &why)
{
    std::fprintf(stderr, "protocol-render: %s\n", qPrintable(why));
    return false;
}

bool applyValuesFile(TForm3 &form, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("%1: %2").arg(path, file.errorString()));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (!doc.isObject())
        return fail(QStringLiteral("%1: %2").arg(path, error.errorString()));
    const QJsonObject root = doc.object();
    bool ok = true;
    const QJsonObject captions = root.value(QLatin1String("captions")).toObject();
    for (auto it = captions.begin(); it != captions.end(); ++it) {
        if (!form.setCaption(it.key(), it.value().toString()))
            ok = fail(QStringLiteral("no label named %1").arg(it.key()));
    }
    const QJsonObject lines = root.value(QLatin1String("lines")).toObject();
    for (auto it = lines.begin(); it != lines.end(); ++it) {
        QStringList list;
        for (const QJsonValue &v : it.value().toArray())
            list.append(v.toString());
        if (!form.setLines(it.key(), list))
            ok = fail(QStringLiteral("no rich text named %1").arg(it.key()));
    }
    const QJsonObject widths = root.value(QLatin1String("widths")).toObject();
    for (auto it = widths.begin(); it != widths.end(); ++it) {
        if (!form.setWidthPx(it.key(), it.value().toDouble()))
            ok = fail(QStringLiteral("no element named %1").arg(it.key()));
    }
    return ok;
}

// NAME=VALUE pairs; false for one without '='.
bool splitPair(const QString &pair, QString *name, QString *value)
{
    const qsizetype eq = pair.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return fail(QStringLiteral("expected NAME=VALUE, got %1").arg(pair));
    *name = pair.left(eq);
    *value = pair.mid(eq + 1);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    keepCNumbers();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Renders both protocol pages to PNG and PDF."));
    parser.addHelpOption();
    const QCommandLineOption dpi(QStringLiteral("dpi"), QStringLiteral("PNG resolution."), QStringLiteral("dpi"), QStringLiteral("150"));
    const QCommandLineOption png1(QStringLiteral("png1"), QStringLiteral("Page 1 PNG."), QStringLiteral("file"));
    const QCommandLineOption png2(QStringLiteral("png2"), QStringLiteral("Page 2 PNG."), QStringLiteral("file"));
    const QCommandLineOption pdf(QStringLiteral("pdf"), QStringLiteral("Both pages as PDF."), QStringLiteral("file"));
    const QCommandLineOption date(QStringLiteral("date"), QStringLiteral("Date printed (ISO)."), QStringLiteral("date"));
    const QCommandLineOption values(QStringLiteral("values"), QStringLiteral("JSON file of texts."), QStringLiteral("file"));
    const QCommandLineOption set(QStringLiteral("set"), QStringLiteral("A label's caption."), QStringLiteral("name=text"));
    const QCommandLineOption lines(QStringLiteral("lines"), QStringLiteral("A rich text's lines, split by |."), QStringLiteral("name=a|b"));
    const QCommandLineOption width(QStringLiteral("width"), QStringLiteral("An element's width in layout px."), QStringLiteral("name=px"));
    const QCommandLineOption qrp(QStringLiteral("qrp"),
                                 QStringLiteral("The saved pair: page 1 to FILE, page 2 to FILE less its last four characters."),
                                 QStringLiteral("file"));
    parser.addOptions({dpi, png1, png2, pdf, qrp, date, values, set, lines, width});
    parser.process(app);

    TForm3 form;
    bool ok = true;
    if (parser.isSet(values))
        ok = applyValuesFile(form, parser.value(values)) && ok;
    QString name, value;
    for (const QString &pair : parser.values(set)) {
        if (splitPair(pair, &name, &value) && !form.setCaption(name, value))
            ok = fail(QStringLiteral("no label named %1").arg(name));
    }
    for (const QString &pair : parser.values(lines)) {
        if (splitPair(pair, &name, &value) && !form.setLines(name, value.split(QLatin1Char('|'))))
            ok = fail(QStringLiteral("no rich text named %1").arg(name));
    }
    for (const QString &pair : parser.values(width)) {
        bool number = false;
        if (splitPair(pair, &name, &value) && (!form.setWidthPx(name, value.toDouble(&number)) || !number))
            ok = fail(QStringLiteral("no element named %1, or %2 is not a number").arg(name, value));
    }
    if (!ok)
        return 2;

    QDate today = QDate::currentDate();
    if (parser.isSet(date)) {
        today = QDate::fromString(parser.value(date), Qt::ISODate);
        if (!today.isValid())
            return fail(QStringLiteral("bad date %1").arg(parser.value(date))), 2;
    }
    bool dpiOk = false;
    const double resolution = parser.value(dpi).toDouble(&dpiOk);
    if (!dpiOk || resolution < 10 || resolution > 2400)
        return fail(QStringLiteral("dpi must be 10..2400")), 2;

    form.previewStendReport(today);
    const Sheet page1 = *form.stendReportStore()->sheet();
    const Sheet page2 = *form.prepareStendReport2(today)->sheet();

    if (parser.isSet(png1) && !SheetOutput::renderImage(page1, resolution).save(parser.value(png1)))
        ok = fail(QStringLiteral("cannot write %1").arg(parser.value(png1)));
    if (parser.isSet(png2) && !SheetOutput::renderImage(page2, resolution).save(parser.value(png2)))
        ok = fail(QStringLiteral("cannot write %1").arg(parser.value(png2)));
    QString error;
    if (parser.isSet(pdf) && !SheetOutput::writePdf({page1, page2}, parser.value(pdf), &error))
        ok = fail(QStringLiteral("%1: %2").arg(parser.value(pdf), error));
    if (parser.isSet(qrp)) {
        const QString first = parser.value(qrp);
        if (first.size() <= 4)
            return fail(QStringLiteral("%1: the name needs more than four characters").arg(first)), 2;
        if (!form.stendReportStore()->save(first, &error))
            ok = fail(QStringLiteral("%1: %2").arg(first, error));
        else if (!form.stendReport2Store()->save(first.chopped(4), &error))
            ok = fail(QStringLiteral("%1: %2").arg(first.chopped(4), error));
    }
    return ok ? 0 : 1;
}
