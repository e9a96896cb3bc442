#include "DBNavigator.h"

#include "DataSet.h"
#include "GridTexts.h"
#include "QtUi.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

namespace lerk {

namespace {

QStyle::StandardPixmap iconOf(DBNavigator::Button b)
{
    switch (b) {
    case DBNavigator::First:
        return QStyle::SP_MediaSkipBackward;
    case DBNavigator::Prior:
        return QStyle::SP_MediaSeekBackward;
    case DBNavigator::Next:
        return QStyle::SP_MediaSeekForward;
    case DBNavigator::Last:
        return QStyle::SP_MediaSkipForward;
    case DBNavigator::Insert:
        return QStyle::SP_FileDialogNewFolder;
    case DBNavigator::Delete:
        return QStyle::SP_TrashIcon;
    case DBNavigator::Edit:
        return QStyle::SP_FileDialogDetailedView;
    case DBNavigator::Post:
        return QStyle::SP_DialogApplyButton;
    case DBNavigator::Cancel:
        return QStyle::SP_DialogCancelButton;
    case DBNavigator::Refresh:
        return QStyle::SP_BrowserReload;
    }
    return QStyle::SP_CustomBase;
}

const char *const Names[] = {"First",  "Prior", "Next", "Last",   "Insert",
                             "Delete", "Edit",  "Post", "Cancel", "Refresh"};

} // namespace

QString DBNavigator::hint(Button which)
{
    switch (which) {
    case First:
        return QStringLiteral("První záznam");
    case Prior:
        return QStringLiteral("Předchozí záznam");
    case Next:
        return QStringLiteral("Následující záznam");
    case Last:
        return QStringLiteral("Poslední záznam");
    case Insert:
        return QStringLiteral("Nový záznam");
    case Delete:
        return QStringLiteral("Smazat záznam");
    case Edit:
        return QStringLiteral("Editace záznamu");
    case Post:
        return QStringLiteral("Uložit změny");
    case Cancel:
        return QStringLiteral("Zrušit změny ");
    case Refresh:
        return QStringLiteral("Osvežit data");
    }
    return {};
}

DBNavigator::DBNavigator(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    for (int i = 0; i < ButtonCount; ++i) {
        auto *b = new QToolButton(this);
        const auto which = Button(i);
        b->setObjectName(QStringLiteral("navigator%1").arg(QLatin1String(Names[i])));
        b->setIcon(style()->standardIcon(iconOf(which)));
        b->setToolTip(hint(which));
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QToolButton::clicked, this, [this, which] { click(which); });
        layout->addWidget(b);
        m_buttons[i] = b;
    }
    updateButtons();
}

void DBNavigator::setDataSet(DataSet *dataSet)
{
    for (const auto &c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    m_dataSet = dataSet;
    if (dataSet) {
        m_connections << connect(dataSet, &DataSet::stateChanged, this, &DBNavigator::updateButtons);
        m_connections << connect(dataSet, &DataSet::currentChanged, this, &DBNavigator::updateButtons);
        m_connections << connect(dataSet, &DataSet::rowsReset, this, &DBNavigator::updateButtons);
        m_connections << connect(dataSet, &DataSet::fieldChanged, this, &DBNavigator::updateButtons);
    }
    updateButtons();
}

void DBNavigator::setVisibleButtons(const QList<Button> &buttons)
{
    for (int i = 0; i < ButtonCount; ++i)
        m_buttons[i]->setVisible(buttons.contains(Button(i)));
}

void DBNavigator::updateButtons()
{
    DataSet *ds = m_dataSet;
    const bool active = ds && ds->isActive();
    const bool editing = active && ds->isEditing();
    const bool canModify = active && ds->canModify();
    const int row = active ? ds->currentRow() : -1;
    const int count = active ? ds->recordCount() : 0;
    const bool notFirst = active && !editing && row > 0;
    const bool notLast = active && !editing && row >= 0 && row < count - 1;
    m_buttons[First]->setEnabled(notFirst);
    m_buttons[Prior]->setEnabled(notFirst);
    m_buttons[Next]->setEnabled(notLast);
    m_buttons[Last]->setEnabled(notLast);
    m_buttons[Insert]->setEnabled(canModify);
    m_buttons[Delete]->setEnabled(canModify && (count > 0 || editing));
    m_buttons[Edit]->setEnabled(canModify && !editing && count > 0);
    m_buttons[Post]->setEnabled(editing);
    m_buttons[Cancel]->setEnabled(editing);
    m_buttons[Refresh]->setEnabled(active);
}

void DBNavigator::click(Button which)
{
    DataSet *ds = m_dataSet;
    if (ds && ds->isActive()) {
        try {
            switch (which) {
            case First:
                ds->first();
                break;
            case Prior:
                ds->prior();
                break;
            case Next:
                ds->next();
                break;
            case Last:
                ds->last();
                break;
            case Insert:
                ds->insert();
                break;
            case Delete:
                if (!m_confirmDelete || (m_ui ? m_ui->question(GridTexts::DeleteRecordQuestion)
                                              : QtUi(this).question(GridTexts::DeleteRecordQuestion)))
                    ds->deleteRecord();
                break;
            case Edit:
                ds->edit();
                break;
            case Post:
                ds->post();
                break;
            case Cancel:
                ds->cancel();
                break;
            case Refresh:
                ds->refresh();
                break;
            }
        } catch (const EngineError &e) {
            if (!e.isSilent()) {
                if (m_ui)
                    m_ui->error(e.message());
                else
                    QtUi(this).error(e.message());
            }
        }
    }
    updateButtons();
    emit clicked(which);
}

} // namespace lerk
