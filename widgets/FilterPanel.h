#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QToolButton;

namespace lerk {

// The strip under a grid that shows its filter readably, switches it off and on, and clears it.
class FilterPanel : public QWidget
{
    Q_OBJECT
public:
    explicit FilterPanel(QWidget *parent = nullptr);

    // Empty text: the filter is empty.
    void setFilter(const QString &text, bool active);
    QString shownText() const;
    bool isFilterActive() const;

signals:
    void activeToggled(bool active);
    void clearRequested();
    void customizeRequested();

private:
    QCheckBox *m_active;
    QLabel *m_text;
    QToolButton *m_clear;
    QToolButton *m_customize;
};

} // namespace lerk
