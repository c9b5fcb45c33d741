#pragma once

#include <QString>

#include <QHash>
#include <QList>

// What stays the same from one transformer to the next, read once at start.
struct BenchSettings {
    // The text of each control of SettingsFile::textSettings(), by its name; empty when
    // the file has none.
    QHash<QString, QString> texts;
    bool autoStop = true; // cbAutoStop
    int portNum = 10;
    int userBaudrate = 1000000;
};

struct PortSettings {
    int portNum = 10;
    int userBaudrate = 1000000;
};

// The settings file "varnek.ini", section "Stend". Every writer stores its one field at
// once and throws BenchError("Unable to write to <path>") when the file cannot be written.
namespace SettingsFile {

inline const QString FileName = QStringLiteral("varnek.ini");
inline const QString Section = QStringLiteral("Stend");

// A text the operator types once for every transformer: the control that shows it and
// its key in the file. The one list of them, for the reader, the writers and the window.
struct TextSetting {
    QString control;
    QString key;
};
const QList<TextSetting> &textSettings();

inline const QString AutoStopKey = QStringLiteral("AutoStop");
inline const QString ComKey = QStringLiteral("COM");
inline const QString BaudKey = QStringLiteral("Baud");

QString path();

// Every field, in one opening of the file; a missing text is empty.
BenchSettings read();
PortSettings readPort();

// The text of the control `control` of textSettings(); the firm's memo is stored as one
// line, its lines joined by one blank.
void writeText(const QString &control, const QString &text);
void writeAutoStop(bool ticked);
// "COM" and "Baud" together, in one replacement of the file.
void writePort(int portNum, int userBaudrate);

// The firm name as one line: the memo's lines without the blanks around them, empty
// lines left out, joined by one blank, so no two words run together.
QString firmLine(const QString &memoText);

} // namespace SettingsFile
