#pragma once

#include "Ui.h"

#include <QObject>
#include <QPointer>

class QDialog;
class QWidget;

namespace lerk {

// The program's Ui: real message boxes, input box, choosers, cursor and shell "open".
class QtUi : public Ui
{
public:
    // parent: the window the boxes are centred on; may change while the program runs.
    explicit QtUi(QWidget *parent = nullptr);

    void setParentWidget(QWidget *parent) { m_parent = parent; }
    QWidget *parentWidget() const { return m_parent; }

    void information(const QString &text) override;
    void warning(const QString &text) override;
    void error(const QString &text) override;
    bool question(const QString &text) override;
    std::optional<QString> inputBox(const QString &caption, const QString &prompt, const QString &defaultText,
                                    bool hidden = false) override;
    QString chooseDirectory(const QString &title, const QString &startDir) override;
    QString chooseOpenFile(const QString &title, const QString &dir, const QString &filter) override;
    QString chooseSaveFile(const QString &title, const QString &dir, const QString &filter) override;
    void beep() override;
    void setBusy(bool busy) override;
    bool openFile(const QString &path) override;

    // Shows a window modally; returns its result code.
    int runModal(QDialog &dialog);

    int busyDepth() const { return m_busyDepth; }

private:
    QPointer<QWidget> m_parent;
    int m_busyDepth = 0;
};

// The window title every box of the program carries.
QString applicationTitle();

// Loads Qt's own Czech texts (the standard dialogs' buttons, the calendar) into the application.
// Returns false when the translation files are not installed; the program then runs with Qt's
// English texts in its standard dialogs only.
bool installCzechTranslations();

// A data window's minimise minimises the whole program: install on each data window.
class MinimizeWholeApplication : public QObject
{
    Q_OBJECT
public:
    explicit MinimizeWholeApplication(QWidget *window);

    // What "the whole program" is: every top-level window that is shown. Tests replace it.
    static void minimizeApplication();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace lerk
