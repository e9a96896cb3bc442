#include "ScriptedUi.h"

namespace lerk {

void ScriptedUi::information(const QString &text)
{
    calls.append({QStringLiteral("information"), text});
}

void ScriptedUi::warning(const QString &text)
{
    calls.append({QStringLiteral("warning"), text});
}

void ScriptedUi::error(const QString &text)
{
    calls.append({QStringLiteral("error"), text});
}

bool ScriptedUi::question(const QString &text)
{
    calls.append({QStringLiteral("question"), text});
    return answers.isEmpty() ? false : answers.dequeue();
}

std::optional<QString> ScriptedUi::inputBox(const QString &caption, const QString &prompt, const QString &,
                                            bool)
{
    calls.append({QStringLiteral("input"), caption + QLatin1Char('|') + prompt});
    return inputs.isEmpty() ? std::nullopt : inputs.dequeue();
}

QString ScriptedUi::chooseDirectory(const QString &title, const QString &)
{
    calls.append({QStringLiteral("directory"), title});
    return paths.isEmpty() ? QString() : paths.dequeue();
}

QString ScriptedUi::chooseOpenFile(const QString &title, const QString &, const QString &)
{
    calls.append({QStringLiteral("openFile"), title});
    return paths.isEmpty() ? QString() : paths.dequeue();
}

QString ScriptedUi::chooseSaveFile(const QString &title, const QString &, const QString &)
{
    calls.append({QStringLiteral("saveFile"), title});
    return paths.isEmpty() ? QString() : paths.dequeue();
}

void ScriptedUi::beep()
{
    ++beeps;
}

void ScriptedUi::setBusy(bool busy)
{
    busyDepth += busy ? 1 : -1;
}

bool ScriptedUi::openFile(const QString &path)
{
    calls.append({QStringLiteral("open"), path});
    return true;
}

QStringList ScriptedUi::texts(const QString &kind) const
{
    QStringList out;
    for (const Call &c : calls)
        if (kind.isEmpty() || c.kind == kind)
            out << c.text;
    return out;
}

} // namespace lerk
