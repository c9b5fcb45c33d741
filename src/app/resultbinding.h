#pragma once

#include <QList>
#include <QObject>

class ResultRecord;
class StringGrid;
class TForm1;
class QWidget;
enum class ResultId : int;

// The one table between the record of results and the window: every quantity is shown in
// the control of its name (a table cell in its grid's cell), and what the operator types or
// chooses in an entry goes into the record as the text the control shows.
class ResultBinding : public QObject {
    Q_OBJECT
public:
    // Binds every quantity of `record` to its control of `window`; the record starts with
    // what the controls show, as the forms lay them out.
    ResultBinding(ResultRecord &record, const TForm1 &window);

private:
    struct Target {
        QWidget *control = nullptr; // a label, an edit, a combo box or a radio group
        StringGrid *grid = nullptr; // or a grid and its cell
        int column = -1;
        int row = -1;
    };

    void show(ResultId id);
    void take(ResultId id);

    ResultRecord &m_record;
    QList<Target> m_targets; // by id
};
