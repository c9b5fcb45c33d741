#pragma once

#include <QList>
#include <QString>

// One norm: what it judges, its limit in words, when it applies, where it comes from,
// and the numbers the judgement uses (their meaning is fixed per id, see norms.cpp).
struct NormRow {
    QString id;        // section name in the file: "resistance.phases", "insulation.r60", ...
    QString quantity;  // "Величина"
    QString limit;     // "Норма", in words
    QString condition; // "Условие"
    QString source;    // "Источник"
    bool confirmed = false; // "Отметка": "подтверждено" or "уточнить"
    QList<double> values;   // "Значения"; a table of pairs comes flattened (t1, v1, t2, v2 ...)
    // insulation.factory: K2 by the difference of temperatures, the pairs of "K2" and of
    // "K2, уточнить" in one rising table, and the differences whose K2 is to be confirmed.
    QList<double> factors;
    QList<double> factorsToConfirm;
};

// The share of an allowance a change from the previous test may take before it is noted,
// when the norms file does not say.
inline constexpr double DefaultNearLimitShare = 0.75;

// The norms the results are judged against, in the order the window lists them.
class NormsTable {
public:
    const QList<NormRow> &rows() const { return m_rows; }
    // The norm of that id; a table always holds every id (a file lacking one is refused,
    // but for the norms added after workshops had their copies: those come from the shipped).
    const NormRow &norm(const QString &id) const;
    double value(const QString &id, int index) const { return norm(id).values.value(index); }

    // Reads a key/value file of norms (Windows-1251, a few kilobytes). Empty `error` on
    // success; otherwise it says, in Russian, what is wrong: the file (too large, another
    // encoding), a section or key given twice (with both lines), or which section and key
    // hold what.
    static NormsTable fromFile(const QString &path, QString *error);
    // The norms shipped with the program (a resource).
    static NormsTable shipped();

    // Every id the judgement needs, in their order.
    static QStringList ids();

    // A change from the previous test that takes more than this share of its allowance is
    // "близко к пределу" (a note; the verdict stays).
    double nearLimitShare() const { return m_nearLimitShare; }

private:
    QList<NormRow> m_rows;
    double m_nearLimitShare = DefaultNearLimitShare;
};

// The workshop's own copy of the norms lies beside the records under this name.
inline const QString NormsFileName = QStringLiteral("varnek-norms.ini");
inline const QString ShippedNormsPath = QStringLiteral(":/assessment/varnek-norms.ini");

// Which norms are in force and why.
struct NormsInForce {
    NormsTable table;
    QString origin;  // the workshop file's path, or empty for the shipped norms
    QString refusal; // the message when the workshop file was refused, else empty
};

// The workshop's copy when it is there and sound, else the shipped norms (with the
// refusal's message when a copy was there but broken).
NormsInForce loadNorms();

// The norms in force, read again only when the workshop's copy appeared, went or changed
// (its size or times): a window asks at every show without reading the file each time.
class NormsSource {
public:
    // Reads the norms when there is no reading yet or the copy changed; true when it read.
    bool refresh();
    bool isLoaded() const { return m_loaded; }
    const NormsInForce &norms() const { return m_norms; }

private:
    bool m_loaded = false;
    QString m_stamp;
    NormsInForce m_norms;
};

// Writes the shipped norms beside the records for the workshop to edit; false when a copy
// is there already. Throws BenchError when the folder cannot be written.
bool writeWorkshopNormsCopy();

QString workshopNormsPath();
