#pragma once

#include "Unit4.h"
#include "cataloguefile.h"
#include "controls.h"
#include "operatortyping.h"
#include "report.h"
#include "sheetstore.h"
#include "sheetview.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTest>
#include <QToolButton>

#include <functional>
#include <memory>

// The whole record of a 250 kVA 10/0.4 kV three-phase transformer made through the real
// window against the bench emulator: the type from the catalogue, the no-load,
// short-circuit, ratio and resistance tests, and the typed insulation and oil entries.
// Each step returns false with `error` set, so a test and a tool can both drive it.
class ProtocolSession {
public:
    static constexpr int Port = 32;
    static inline const QString TypeName = QStringLiteral("ТМ-250/10");

    ProtocolSession(WindowFixture &fixture, QString emulatorPath)
        : f(fixture), m_emulatorPath(std::move(emulatorPath))
    {
    }
    ~ProtocolSession() { stopEmulator(); }

    // The program's windows, the protocol's document holder and preview among them.
    bool startWindow()
    {
        f.createWindow();
        form3 = f.form3;
        form4 = f.form4;
        f.form->show();
        f.form->activateWindow();
        // After the start-up reading, which sets the port from the settings file.
        f.windows->link.usePort({Port});
        return check(QTest::qWaitForWindowExposed(f.form), "the main window did not show");
    }

    // Before the fixture deletes the main window.
    void closeWindows()
    {
        stopEmulator();
        form4 = nullptr;
        form3 = nullptr;
    }

    bool loadType()
    {
        const TransformerType type{.unom = "400", .unom2 = "10000", .inom = "361", .inom2 = "14.4",
                                   .pnom = "250", .freq2 = "50", .material = 1, .fasNumber = 1,
                                   .transformerWeight = "1080", .circuit = "U / D - 11"};
        if (!check(CatalogueFile::saveType(TypeName, type) == CatalogueFile::SaveResult::Saved,
                   "the type could not be stored"))
            return false;
        f.windows->records.refillTypeList();
        f.showPageOf(f.form->control<QComboBox>("Name"));
        typeText(f.form->control<QComboBox>("Name")->lineEdit(), TypeName);
        // The operator picks the scheme from the list, which also sets the item index.
        f.form->control<QComboBox>("Circuit")->setCurrentIndex(f.form->control<QComboBox>("Circuit")->findText(type.circuit));
        f.form->control<QComboBox>("cbCurrent")->setCurrentIndex(1); // 15А/5А
        f.form->control<QComboBox>("cbVoltage")->setCurrentIndex(1); // 10кВ/100В
        f.form->control<QLineEdit>("Temperature")->setText(QStringLiteral("20"));
        f.windows->rated.TemperatureExit(f.form->control<QLineEdit>("Temperature"));
        return check(f.form->control<QLineEdit>("Pnom")->text() == QLatin1String("250")
                         && f.form->control<RadioGroup>("FasNumber")->itemIndex() == 1,
                     "the type did not load");
    }

    bool runNoLoad()
    {
        return startEmulator({"--preset", "idle"}) && openPage(TForm1::PageIdle, f.form->control<QPushButton>("IdleState"))
               && press(f.form->control<QPushButton>("IdleState"), f.form->control<QLabel>("Pxx00"));
    }

    bool runShortCircuit()
    {
        return startEmulator({"--preset", "short"}) && openPage(TForm1::PageChort, f.form->control<QPushButton>("ShortState"))
               && press(f.form->control<QPushButton>("ShortState"), f.form->control<QLabel>("Pkz12"));
    }

    // Taps I and III: 10.5 kV and 10 kV on the high side, 100 V on the low side.
    bool runRatio()
    {
        const std::pair<int, const char *> taps[] = {{0, "2625"}, {2, "2500"}};
        for (const auto &[tap, highVolts] : taps) {
            if (!startEmulator({"--preset", "ratio", "--u2ab", highVolts, "--u2bc", highVolts,
                                "--u2ca", highVolts})
                || !openPage(TForm1::PageTransformations, f.form->control<QPushButton>("Transform")))
                return false;
            f.form->control<RadioGroup>("RadioGroup1")->setItemIndex(tap);
            QTest::mouseClick(f.form->control<QPushButton>("Transform"), Qt::LeftButton);
            if (!check(!f.form->control<StringGrid>("TransformGrid")->cell(2 * tap + 1, 0).isEmpty(), "no ratio in the grid"))
                return false;
        }
        return true;
    }

    // Tap III on the three phase pairs, then the spread; with `lowSide` the low-voltage
    // winding too.
    bool runResistance(bool lowSide = false)
    {
        struct Measurement {
            int tap;
            int pair;
            int range;
            const char *ohms;
        };
        QList<Measurement> plan = {{2, 0, 1, "5.921"}, {2, 1, 1, "5.954"}, {2, 2, 1, "5.937"}};
        if (lowSide)
            plan += {{5, 0, 4, "0.00612"}, {5, 1, 4, "0.00618"}, {5, 2, 4, "0.00615"}};
        for (const Measurement &m : plan) {
            if (!startEmulator({"--preset", "zero", "--resistance", m.ohms})
                || !openPage(TForm1::PageResistence, f.form->control<QPushButton>("Resist")))
                return false;
            f.form->control<RadioGroup>("RadioGroup2")->setItemIndex(m.tap);
            f.form->control<RadioGroup>("RadioGroup3")->setItemIndex(m.pair);
            f.form->control<RadioGroup>("ResistenceRange1")->setItemIndex(m.range);
            QTest::mouseClick(f.form->control<QPushButton>("Resist"), Qt::LeftButton);
            if (!check(QTest::qWaitFor([&] { return !f.form->control<StringGrid>("ResistenceGrid")->cell(m.tap, m.pair).isEmpty(); },
                                       10000),
                       "no resistance arrived"))
                return false;
            QTest::mouseClick(f.form->control<QPushButton>("ResistStop"), Qt::LeftButton);
        }
        QTest::mouseClick(f.form->control<QPushButton>("sButton1"), Qt::LeftButton);
        return check(!f.form->control<StringGrid>("ResistenceGrid")->cell(2, 3).isEmpty(), "no spread computed");
    }

    void typeEntries()
    {
        stopEmulator();
        f.showPageOf(f.form->control<QPushButton>("Previw"));
        const std::pair<QWidget *, QString> entries[] = {
            {f.form->control<QLineEdit>("ProtocolNumber"), QStringLiteral("12")},
            {f.form->control<QLineEdit>("RepairNumber"), QStringLiteral("104587")},
            {f.form->control<QLineEdit>("YearOfRepair"), QStringLiteral("2026")},
            {f.form->control<QLineEdit>("RHigh15"), QStringLiteral("2500")}, {f.form->control<QLineEdit>("RHigh60"), QStringLiteral("4000")},
            {f.form->control<QLineEdit>("Uhigh"), QStringLiteral("2.5")}, {f.form->control<QLineEdit>("Thigh"), QStringLiteral("60")},
            {f.form->control<QLineEdit>("RLow15"), QStringLiteral("1200")}, {f.form->control<QLineEdit>("RLow60"), QStringLiteral("1800")},
            {f.form->control<QLineEdit>("Ulow"), QStringLiteral("2.5")}, {f.form->control<QLineEdit>("Tlow"), QStringLiteral("60")},
            {f.form->control<QLineEdit>("RHL15"), QStringLiteral("2000")}, {f.form->control<QLineEdit>("RHL60"), QStringLiteral("3100")},
            {f.form->control<QLineEdit>("UHL"), QStringLiteral("2.5")}, {f.form->control<QLineEdit>("THL"), QStringLiteral("60")},
            {f.form->control<QLineEdit>("OilAnalysis"), QStringLiteral("17")},
            {f.form->control<QLineEdit>("ElectricStrength"), QStringLiteral("52 кВ")},
            {f.form->control<QLineEdit>("WaterContent"), QStringLiteral("0,0015 %")},
            {f.form->control<QLineEdit>("MechanicalImpurities"), QStringLiteral("отсутствуют")},
            {f.form->control<QLineEdit>("WeightedCoalContent"), QStringLiteral("отсутствует")},
            {f.form->control<QLineEdit>("Color"), QStringLiteral("светло-желтый")},
            {f.form->control<QLineEdit>("AcidNumber"), QStringLiteral("0,02 мг")},
            {f.form->control<QLineEdit>("ReactionAqueousExtract"), QStringLiteral("нейтральная")},
            {f.form->control<QLineEdit>("FlashTemperature"), QStringLiteral("142 °C")},
            {f.form->control<QLineEdit>("Investigator"), QStringLiteral("Иванов И.И.")},
            {f.form->control<QLineEdit>("ChiefName"), QStringLiteral("Начальник ОТК")},
            {f.form->control<QLineEdit>("Chief"), QStringLiteral("Петров П.П.")},
        };
        for (const auto &[widget, text] : entries) {
            if (auto *edit = qobject_cast<QLineEdit *>(widget))
                edit->clear();
            typeText(widget, text);
        }
        f.form->control<QPlainTextEdit>("Firm")->clear();
        typeText(f.form->control<QPlainTextEdit>("Firm"), QStringLiteral("ООО \"Энергоремонт\"\nцех трансформаторов"));
        f.form->control<QPlainTextEdit>("Conclusion")->clear();
        typeText(f.form->control<QPlainTextEdit>("Conclusion"), QStringLiteral("Трансформатор испытания выдержал и пригоден к эксплуатации."));
        if (!f.form->control<QCheckBox>("IsolationCheckBox")->isChecked())
            f.click(f.form->control<QCheckBox>("IsolationCheckBox"));
    }

    // "Протокол" on its page; true once both pages are generated.
    bool pressProtocol()
    {
        f.click(f.form->control<QPushButton>("Previw"));
        return check(QTest::qWaitFor([this] {
                         return form4->isVisible() && form3->stendReportStore()
                             && form3->stendReportStore()->hasSheet() && form4->pageStore(2)
                             && form4->pageStore(2)->hasSheet();
                     }),
                     "the protocol did not open");
    }

    bool startEmulator(const QStringList &args)
    {
        stopEmulator();
        emulator = std::make_unique<QProcess>();
        emulator->setProgram(m_emulatorPath);
        emulator->setArguments(QStringList{"--port", QString::number(Port), "--dir", f.deviceFolder(),
                                           "--rate", "50"}
                               + args);
        emulator->start();
        if (!check(emulator->waitForStarted(5000), "the emulator did not start"))
            return false;
        return check(QTest::qWaitFor([this] { return emulator->canReadLine(); }, 5000)
                         && emulator->readLine().startsWith("COM" + QByteArray::number(Port)),
                     "the emulator did not link its port");
    }

    void stopEmulator()
    {
        if (!emulator)
            return;
        emulator->terminate();
        emulator->waitForFinished(3000);
        emulator.reset();
    }

    WindowFixture &f;
    TForm3 *form3 = nullptr;
    TForm4 *form4 = nullptr;
    std::unique_ptr<QProcess> emulator;
    QString error;

private:
    bool check(bool ok, const char *what)
    {
        if (!ok && error.isEmpty())
            error = QString::fromUtf8(what);
        return ok;
    }

    // Leaves for the first page and comes back, so the port opens on the new link.
    bool openPage(TForm1::PageIndex page, QPushButton *start)
    {
        QTest::mouseClick(f.form->control<PageControl>("PageControl1")->tabButton(TForm1::PageMain), Qt::LeftButton);
        QTest::mouseClick(f.form->control<PageControl>("PageControl1")->tabButton(page), Qt::LeftButton);
        if (!check(f.form->control<PageControl>("PageControl1")->activePageIndex() == page, "the test page did not open"))
            return false;
        return check(QTest::qWaitFor([start] { return start->isEnabled(); }, 10000),
                     "no packets reached the window");
    }

    bool press(QPushButton *start, QLabel *lastResult)
    {
        QTest::mouseClick(start, Qt::LeftButton);
        return check(!lastResult->text().isEmpty(), "the test left no result");
    }

    QString m_emulatorPath;
};
