#pragma once

#include "Ui.h"

#include <QList>
#include <QQueue>

namespace lerk {

// A Ui for tests and the command line: records every call and answers from queues. Questions default
// to No and inputs to cancel once their queues are empty.
class ScriptedUi : public Ui
{
public:
    struct Call
    {
        QString kind; // "information", "warning", "error", "question", "input", "directory", ...
        QString text;
    };

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

    // Script.
    QQueue<bool> answers;                  // for question()
    QQueue<std::optional<QString>> inputs; // for inputBox()
    QQueue<QString> paths;                 // for the choosers

    // Record.
    QList<Call> calls;
    int busyDepth = 0;
    int beeps = 0;

    QStringList texts(const QString &kind = {}) const; // recorded texts, of one kind or all
    void clear() { calls.clear(); }
};

} // namespace lerk
