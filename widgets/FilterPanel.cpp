#include "FilterPanel.h"

#include "GridTexts.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace lerk {

FilterPanel::FilterPanel(QWidget *parent)
    : QWidget(parent), m_active(new QCheckBox(this)), m_text(new QLabel(this)),
      m_clear(new QToolButton(this)), m_customize(new QToolButton(this))
{
    setObjectName(QStringLiteral("filterPanel"));
    m_active->setObjectName(QStringLiteral("filterActive"));
    m_active->setToolTip(GridTexts::FilterSwitch);
    m_text->setObjectName(QStringLiteral("filterText"));
    m_text->setTextFormat(Qt::PlainText);
    m_clear->setObjectName(QStringLiteral("filterClear"));
    m_clear->setText(QStringLiteral("✕"));
    m_clear->setToolTip(GridTexts::FilterClear);
    m_clear->setAutoRaise(true);
    m_customize->setObjectName(QStringLiteral("filterCustomize"));
    m_customize->setText(GridTexts::Customize);
    m_customize->setAutoRaise(true);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(m_clear);
    layout->addWidget(m_active);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_customize);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Window).darker(104));
    setPalette(pal);
    connect(m_active, &QCheckBox::toggled, this, &FilterPanel::activeToggled);
    connect(m_clear, &QToolButton::clicked, this, &FilterPanel::clearRequested);
    connect(m_customize, &QToolButton::clicked, this, &FilterPanel::customizeRequested);
}

void FilterPanel::setFilter(const QString &text, bool active)
{
    const QSignalBlocker block(m_active);
    const bool empty = text.isEmpty();
    m_text->setText(empty ? GridTexts::FilterEmpty : text);
    m_active->setChecked(active && !empty);
    m_active->setEnabled(!empty);
    m_clear->setEnabled(!empty);
    QFont f = m_text->font();
    f.setStrikeOut(!empty && !active);
    m_text->setFont(f);
}

QString FilterPanel::shownText() const
{
    return m_text->text();
}

bool FilterPanel::isFilterActive() const
{
    return m_active->isChecked();
}

} // namespace lerk
