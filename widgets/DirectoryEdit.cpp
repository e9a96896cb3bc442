#include "DirectoryEdit.h"

#include "QtUi.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMimeData>
#include <QStyle>
#include <QToolButton>

namespace lerk {

namespace {

QString droppedFolder(const QMimeData *mime)
{
    if (!mime->hasUrls())
        return {};
    for (const QUrl &url : mime->urls()) {
        if (!url.isLocalFile())
            continue;
        const QFileInfo info(url.toLocalFile());
        if (info.isDir())
            return QDir::toNativeSeparators(info.absoluteFilePath());
    }
    return {};
}

} // namespace

DirectoryEdit::DirectoryEdit(QWidget *parent)
    : QWidget(parent), m_edit(new QLineEdit(this)), m_button(new QToolButton(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_button);
    m_edit->setObjectName(QStringLiteral("directoryText"));
    m_button->setObjectName(QStringLiteral("directoryBrowse"));
    m_button->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    m_button->setToolTip(QStringLiteral("Vybrat složku"));
    setAcceptDrops(true);
    m_edit->setAcceptDrops(false);
    setFocusProxy(m_edit);
    connect(m_edit, &QLineEdit::textChanged, this, &DirectoryEdit::changed);
    connect(m_button, &QToolButton::clicked, this, &DirectoryEdit::browse);
}

QString DirectoryEdit::text() const
{
    return m_edit->text();
}

void DirectoryEdit::setText(const QString &text)
{
    m_edit->setText(text);
}

void DirectoryEdit::browse()
{
    const QString start = m_start.isEmpty() ? m_edit->text() : m_start;
    const QString chosen =
        m_ui ? m_ui->chooseDirectory(m_title, start) : QtUi(this).chooseDirectory(m_title, start);
    if (!chosen.isEmpty())
        setText(QDir::toNativeSeparators(chosen));
}

void DirectoryEdit::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedFolder(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void DirectoryEdit::dropEvent(QDropEvent *event)
{
    const QString folder = droppedFolder(event->mimeData());
    if (folder.isEmpty())
        return;
    event->acceptProposedAction();
    setText(folder);
}

} // namespace lerk
