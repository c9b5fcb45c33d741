// How long a press of "Протокол" takes until page 1 is painted in the preview, with every
// field of both pages filled. The operator presses it after each change, so it should stay
// well under 100 ms; the first press also opens the window.

#include "controls.h"
#include "resultrecord.h"
#include "programwindows.h"
#include "recordingprompts.h"
#include "recordslocation.h"
#include "report.h"
#include "sheetview.h"
#include "namedchild.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir records;
    setRecordsDirectoryForTests(records.path());
    RecordingPrompts prompts;
    {
        ProgramWindows windows;
        TForm1 &form1 = windows.form1;
        QWidget *page1 = namedChild<SheetView>(&windows.form4, QStringLiteral("QRPreview1"))->viewport();
        form1.show();

        // Every control the protocol reads holds a text.
        for (QLineEdit *e : form1.findChildren<QLineEdit *>())
            if (e->text().isEmpty())
                e->setText(QStringLiteral("123.45"));
        for (QLabel *l : {form1.control<QLabel>("Uab00"), form1.control<QLabel>("Ubc00"), form1.control<QLabel>("Uca00"), form1.control<QLabel>("Ia00"), form1.control<QLabel>("Ib00"), form1.control<QLabel>("Ic00"),
                          form1.control<QLabel>("Ixx00"), form1.control<QLabel>("Ixx01"), form1.control<QLabel>("Pxx00"), form1.control<QLabel>("Uab10"), form1.control<QLabel>("Ubc10"), form1.control<QLabel>("Uca10"),
                          form1.control<QLabel>("Ukz100"), form1.control<QLabel>("Ia10"), form1.control<QLabel>("Ib10"), form1.control<QLabel>("Ic10"), form1.control<QLabel>("Ukz101"), form1.control<QLabel>("Ukz111"),
                          form1.control<QLabel>("Pkz11"), form1.control<QLabel>("Ukz102"), form1.control<QLabel>("Pkz12"), form1.control<QLabel>("Group")})
            form1.results().set(*Results::byKey(l->objectName()), QStringLiteral("401.7"));
        for (int c = 0; c < 12; ++c)
            for (int r = 0; r < 3; ++r)
                form1.results().set(Results::transformCell(c, r), QStringLiteral("25.03"));
        for (int c = 0; c < 7; ++c)
            for (int r = 0; r < 4; ++r)
                form1.results().set(Results::resistenceCell(c, r), QStringLiteral("5,921"));
        form1.control<QPlainTextEdit>("Firm")->setPlainText(QStringLiteral("ООО \"Энергоремонт\"\nцех трансформаторов"));
        form1.control<QPlainTextEdit>("Conclusion")->setPlainText(QStringLiteral("Трансформатор испытания выдержал."));
        form1.control<QComboBox>("Circuit")->setCurrentIndex(2);
        form1.control<RadioGroup>("FasNumber")->setItemIndex(1);
        form1.control<QCheckBox>("IsolationCheckBox")->setChecked(true);

        const auto press = [&] {
            QElapsedTimer timer;
            timer.start();
            windows.protocol.PreviwClick();
            // Page 1 is laid out in a step of its own, after the main window's repaint.
            QCoreApplication::processEvents();
            page1->repaint();
            return timer.nsecsElapsed() / 1e6;
        };
        const double first = press();
        std::vector<double> again;
        for (int i = 0; i < 50; ++i)
            again.push_back(press());
        std::sort(again.begin(), again.end());
        std::printf("first press (opens the window, prepares page 2): %.1f ms\n", first);
        std::printf("press with the window open (both pages again): median %.1f ms, worst %.1f ms of %zu\n",
                    again[again.size() / 2], again.back(), again.size());
    }
    setRecordsDirectoryForTests(QString());
    return 0;
}
