#include "QtUi.h"

#include "GridTexts.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>
#include <QUrl>
#include <QWindowStateChangeEvent>

namespace lerk {

namespace {

void showBox(QWidget *parent, QMessageBox::Icon icon, const QString &text)
{
    QMessageBox box(icon, applicationTitle(), text, QMessageBox::Ok, parent);
    box.button(QMessageBox::Ok)->setText(GridTexts::Ok);
    box.exec();
}

} // namespace

QString applicationTitle()
{
    const QString name = QApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("Lerk") : name;
}

QtUi::QtUi(QWidget *parent) : m_parent(parent) {}

void QtUi::information(const QString &text)
{
    showBox(m_parent, QMessageBox::Information, text);
}

void QtUi::warning(const QString &text)
{
    showBox(m_parent, QMessageBox::Warning, text);
}

void QtUi::error(const QString &text)
{
    showBox(m_parent, QMessageBox::Critical, text);
}

bool QtUi::question(const QString &text)
{
    QMessageBox box(QMessageBox::Question, applicationTitle(), text, QMessageBox::Yes | QMessageBox::No,
                    m_parent);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Ano"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Ne"));
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtUi::inputBox(const QString &caption, const QString &prompt,
                                      const QString &defaultText, bool hidden)
{
    QInputDialog dialog(m_parent);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    dialog.setTextEchoMode(hidden ? QLineEdit::Password : QLineEdit::Normal);
    dialog.setOkButtonText(GridTexts::Ok);
    dialog.setCancelButtonText(GridTexts::Cancel);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

QString QtUi::chooseDirectory(const QString &title, const QString &startDir)
{
    return QFileDialog::getExistingDirectory(m_parent, title, startDir);
}

QString QtUi::chooseOpenFile(const QString &title, const QString &dir, const QString &filter)
{
    return QFileDialog::getOpenFileName(m_parent, title, dir, filter);
}

QString QtUi::chooseSaveFile(const QString &title, const QString &dir, const QString &filter)
{
    // The dialog asks before overwriting an existing file.
    return QFileDialog::getSaveFileName(m_parent, title, dir, filter);
}

void QtUi::beep()
{
    QApplication::beep();
}

void QtUi::setBusy(bool busy)
{
    // Nested busy scopes keep one cursor on the stack each, so the innermost end never clears an outer one.
    if (busy) {
        ++m_busyDepth;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (m_busyDepth > 0) {
        --m_busyDepth;
        QApplication::restoreOverrideCursor();
    }
}

bool QtUi::openFile(const QString &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

int QtUi::runModal(QDialog &dialog)
{
    if (!dialog.parentWidget() && m_parent)
        dialog.setParent(m_parent, dialog.windowFlags() | Qt::Dialog);
    dialog.setWindowModality(Qt::ApplicationModal);
    MinimizeWholeApplication rule(&dialog);
    return dialog.exec();
}

bool installCzechTranslations()
{
    auto *translator = new QTranslator(qApp);
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QLocale(QLocale::Czech, QLocale::CzechRepublic), QStringLiteral("qtbase"),
                          QStringLiteral("_"), dir)) {
        delete translator;
        return false;
    }
    QApplication::installTranslator(translator);
    QLocale::setDefault(QLocale(QLocale::Czech, QLocale::CzechRepublic));
    return true;
}

MinimizeWholeApplication::MinimizeWholeApplication(QWidget *window) : QObject(window)
{
    window->installEventFilter(this);
}

void MinimizeWholeApplication::minimizeApplication()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && !w->isMinimized())
            w->showMinimized();
}

bool MinimizeWholeApplication::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::WindowStateChange) {
        auto *w = qobject_cast<QWidget *>(watched);
        auto *change = static_cast<QWindowStateChangeEvent *>(event);
        if (w && w->isMinimized() && !(change->oldState() & Qt::WindowMinimized)) {
            // A modal window minimised alone would leave the main window blocked and visible; the
            // whole program goes to the task bar instead.
            minimizeApplication();
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace lerk
