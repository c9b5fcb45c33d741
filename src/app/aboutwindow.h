#pragma once

#include <QDialog>

#include <memory>

class ProtocolArchive;

namespace Ui {
class AboutWindow;
}

// "О программе": the version and the commit it was built from, Qt's version, where the
// records are kept, the archive in use with what waits for the server, and the licence.
class AboutWindow : public QDialog {
    Q_OBJECT
public:
    static const QString Caption;

    explicit AboutWindow(ProtocolArchive &archive, QWidget *parent = nullptr);
    ~AboutWindow() override;

    // The licence as the package ships it (its copyright file).
    static QString licenceText();

private:
    void showArchive();

    std::unique_ptr<Ui::AboutWindow> ui;
    ProtocolArchive &m_archive;
};
