#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace lerk {

// Everything the layers below the windows need from a person. The program implements it with real
// dialogs; tests use ScriptedUi, which records each call and answers from a script.
class Ui
{
public:
    virtual ~Ui() = default;

    virtual void information(const QString &text) = 0; // plain box with OK
    virtual void warning(const QString &text) = 0;     // warning icon, OK
    virtual void error(const QString &text) = 0;       // the ordinary error box
    virtual bool question(const QString &text) = 0;    // Yes ("Ano") / No ("Ne"); true for Yes
    // Input box; nullopt when cancelled. hidden: the typed text is not shown (passwords).
    virtual std::optional<QString> inputBox(const QString &caption, const QString &prompt,
                                            const QString &defaultText, bool hidden = false) = 0;
    // Empty when cancelled.
    virtual QString chooseDirectory(const QString &title, const QString &startDir) = 0;
    virtual QString chooseOpenFile(const QString &title, const QString &dir, const QString &filter) = 0;
    virtual QString chooseSaveFile(const QString &title, const QString &dir, const QString &filter) = 0;
    virtual void beep() = 0;
    virtual void setBusy(bool busy) = 0;            // hourglass cursor
    virtual bool openFile(const QString &path) = 0; // with the program associated with it
};

// Shows the busy cursor for a scope.
class BusyScope
{
public:
    explicit BusyScope(Ui &ui) : m_ui(ui) { m_ui.setBusy(true); }
    ~BusyScope() { m_ui.setBusy(false); }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    Ui &m_ui;
};

} // namespace lerk
