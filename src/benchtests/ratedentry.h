#pragma once

#include "ratedvalues.h"

#include <QString>
#include <cstdint>
#include <optional>

// Caption of the box that reports a typed text that is not a number.
inline const QString InputErrorCaption = QStringLiteral("Ошибка ввода параметров");
// Caption of the box that reports missing rated texts on entering a test page.
inline const QString MissingRatedDataCaption = QStringLiteral("Нехватка параметров трансформатора");

// The fields whose texts are checked as numbers; each names itself in its message.
// Plain covers every field of TEditExit and UlowExit.
enum class EntryField { Pnom, Unom, Unom2, Inom, Inom2, Temperature, Plain };

// "Набор символов '" + text + the field's suffix; the text exactly as typed.
QString notANumberMessage(const QString &text, EntryField field);

struct EntryCheck {
    enum class Outcome { Empty, Number, NotANumber };
    Outcome outcome = Outcome::Empty;
    long double value = 0;  // when Number
    QString message;        // when NotANumber, for a box captioned InputErrorCaption
};

// Checks one field's text with the plain number syntax. An empty text is Empty when
// `emptyPasses`, else it is reported like any other text that is not a number. A number
// too large for the 80-bit range throws BenchError "Floating point overflow".
EntryCheck checkEntry(const QString &text, EntryField field, bool emptyPasses = true);

// checkEntry, and for a rated field or Temperature a number is stored in its place in
// `rated`. Empty and NotANumber leave `rated` as it was, so a test never computes with a
// value the operator did not give.
EntryCheck enterValue(const QString &text, EntryField field, RatedValues &rated,
                      bool emptyPasses = true);

// MaterialClick: 235 for item 0 ("медь"), 225 for any other selection.
std::uint8_t materialConstantFor(int materialItemIndex);

// The five rated texts that every page with a rated-data test needs.
struct RatedTexts {
    QString Pnom, Unom, Unom2, Inom, Inom2;

    // The text of one of the five; empty for any other field.
    QString text(EntryField field) const;
};

// The order in which a page change reads the rated fields.
inline constexpr EntryField RatedFieldOrder[] = {EntryField::Pnom, EntryField::Unom, EntryField::Inom,
                                                 EntryField::Unom2, EntryField::Inom2};

// What keeps a test page from opening. Missing data is told first; only complete data is
// looked at for a text that is not a number.
struct RatedDataGap {
    QString missing;                      // missingRatedDataMessage(), empty when nothing is
    std::optional<EntryField> notANumber; // the first such field in RatedFieldOrder

    bool complete() const { return missing.isEmpty() && !notANumber; }
};

// A number too large to store is no gap here: reading that field throws, as it would
// when the field is left.
RatedDataGap firstRatedDataGap(const RatedTexts &texts);

// The lines naming what is missing, each followed by LF CR; empty when nothing is.
// Only emptiness counts: blanks are text.
QString missingRatedDataMessage(const RatedTexts &texts);
