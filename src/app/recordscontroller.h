#pragma once

#include "main.h"

#include <QHash>
#include <QObject>
#include <functional>

class InputErrors;
class RatedController;
struct TransformerType;

// What the window keeps across a restart and from one transformer to the next: the
// settings written as their fields are left, the state file read at start and written at
// close, and the type catalogue behind "Тип трансформатора".
class RecordsController : public QObject {
    Q_OBJECT
public:
    RecordsController(TForm1 &window, RatedController &rated);

    void FormShow();
    void FormClose();
    void cbAutoStopClick();
    void NameChange();
    void sButton6Click();
    void sButton7Click();
    // Loads the type named in `Name`; at start-up without emptying the entries first.
    void loadType(bool clearFirst);
    void refillTypeList();
    void restoreState();
    void writeState();
    // The text every state key stands for as the window shows it now.
    QHash<QString, QString> stateTexts() const;
    TransformerType typeOnPage() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // True after refusing a text of `field` that the files cannot hold.
    bool refuseUnstorableText(QWidget *field);

    TForm1 &m_window;
    const MainForms &ui;
    RatedController &m_rated;
    InputErrors &m_inputErrors;
    // The writer of each settings field: run when the field is left, and at close for
    // the field still being edited.
    QHash<QWidget *, std::function<void()>> m_settingWriters;
    // The type name whose data the page shows: loaded, or typed and loaded key by key.
    QString m_loadedName;
};
