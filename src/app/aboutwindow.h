#pragma once

#include <QDialog>

class ProtocolArchive;
class QLabel;
class QPlainTextEdit;

// "О программе": the version and the commit it was built from, Qt's version, where the
// records are kept, the archive in use with what waits for the server, and the licence.
class AboutWindow : public QDialog {
    Q_OBJECT
public:
    static const QString Caption;

    explicit AboutWindow(ProtocolArchive &archive, QWidget *parent = nullptr);

    // The licence as the package ships it (its copyright file).
    static QString licenceText();

    QLabel *versionLabel;
    QLabel *qtLabel;
    QLabel *recordsLabel;
    QLabel *archiveLabel;
    QLabel *waitingLabel;
    QPlainTextEdit *licence;

private:
    void showArchive();

    ProtocolArchive &m_archive;
};
