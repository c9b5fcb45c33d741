#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

class AboutWindow;
class ProtocolArchive;

namespace Ui {
class HelpWindow;
}

// The operator's manual, built into the program (it must not depend on the package's
// documentation folder, which some installations leave out), read in a window of its own.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    static const QString Caption;
    static const QString ManualUrl;

    explicit HelpWindow(QWidget *parent = nullptr);
    ~HelpWindow() override;

    // Shows the manual at the section of that name ("idle", "preview"; empty: the start).
    void showSection(const QString &section);
    QString section() const { return m_section; }

signals:
    void aboutRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    std::unique_ptr<Ui::HelpWindow> ui;
    QString m_section;
};

// F1 in any window of the program, dialogs and message boxes included, opens the manual at
// the section of that window; for the main window, at the section of its page. The window
// "О программе" is reached from the manual's window.
class HelpController : public QObject {
    Q_OBJECT
public:
    explicit HelpController(ProtocolArchive &archive, QObject *parent = nullptr);
    ~HelpController() override;

    // The section of the manual for the window that holds `widget`.
    static QString sectionFor(const QWidget *widget);

    // Over a modal window the manual opens as that window's child, or it could not be
    // scrolled until the modal window closed; otherwise one window serves every request.
    HelpWindow *showHelp(const QString &section);
    AboutWindow *showAbout(QWidget *parent);
    HelpWindow *helpWindow() const { return m_window; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    HelpWindow *makeWindow(QWidget *parent);

    ProtocolArchive &m_archive;
    QPointer<HelpWindow> m_window;
};
