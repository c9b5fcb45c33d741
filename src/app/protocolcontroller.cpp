#include "protocolcontroller.h"

#include "benchtables.h"
#include "controls.h"
#include "errorreport.h"
#include "filling.h"
#include "report.h"
#include "resultrecord.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

ProtocolController::ProtocolController(const TForm1 &window, TForm3 &document)
    : m_window(window), ui(window.forms()), Form3(&document)
{
    connect(ui.Previw, &QPushButton::clicked, this, [this] { runGuarded([this] { PreviwClick(); }); });
}

void ProtocolController::PreviwClick()
{
    const ResultRecord &results = m_window.results();
    FillingInput input;
    // Results from the record; the names and the people from their entries.
    for (const QString &name : fillingControlNames()) {
        const std::optional<ResultId> id = Results::byKey(name);
        input.texts.insert(name, id ? results.text(*id) : controlText(m_window.control(name)));
    }
    input.firm = ui.Firm->toPlainText();
    input.conclusion = ui.Conclusion->toPlainText();
    // No phase count chosen yet prints an empty field instead of abandoning the protocol.
    input.fasNumber = results.text(ResultId::FasNumber);
    input.isolationTicked = ui.IsolationCheckBox->isChecked();
    const auto columns = [&results](ResultId (*cell)(int, int), int count, int rows) {
        QList<QStringList> out;
        for (int c = 0; c < count; ++c) {
            QStringList cells;
            for (int r = 0; r < rows; ++r)
                cells.append(results.text(cell(c, r)));
            out.append(cells);
        }
        return out;
    };
    input.transformColumns = columns(&Results::transformCell, TransformColumnsPrinted, TransformGridRows);
    input.resistenceColumns = columns(&Results::resistenceCell, ResistenceColumnsPrinted, ResistenceGridRows);

    for (const FieldValue &v : fillProtocol(input)) {
        switch (v.kind) {
        case FieldValue::Kind::Caption: Form3->setCaption(v.field, v.text); break;
        case FieldValue::Kind::Lines: Form3->setLines(v.field, v.lines); break;
        case FieldValue::Kind::WidthPx: Form3->setWidthPx(v.field, v.widthPx); break;
        }
    }

    // Page 1 is laid out in a step of its own, so the main window repaints first.
    QTimer::singleShot(0, Form3, [document = Form3] { runGuarded([document] { document->previewStendReport(); }); });
}
