#pragma once

#include "main.h"
#include "ratedvalues.h"

#include <QObject>
#include <optional>

class InputErrors;
enum class EntryField;

// The rated values as the operator types them: each checked when its field is left, read
// into `Rated` for the tests, with the winding temperature and the material's constant;
// the insulation's plain numbers checked the same way.
class RatedController : public QObject {
    Q_OBJECT
public:
    explicit RatedController(TForm1 &window);

    RatedValues Rated;

    // Reads the rated texts in their page-change order into `Rated` and the material's
    // constant after them; stops, reporting it, at the field `stopAt`.
    bool enterRatedFields(std::optional<EntryField> stopAt);
    void PnomExit();
    void UnomExit();
    void InomExit();
    void Unom2Exit();
    void Inom2Exit();
    // `sender` is the control whose exit raised it; anything else (the window at start-up)
    // reports an empty temperature instead of passing it over.
    void TemperatureExit(QObject *sender = nullptr);
    void MaterialClick();
    void TEditExit(QLineEdit *sender);
    void UlowExit(QLineEdit *sender);

private:
    // Reads one rated text into `Rated`; false after reporting a text that is not a number.
    bool enterRated(QLineEdit *field, int entryField);

    const MainForms &ui;
    InputErrors &m_inputErrors;
};
