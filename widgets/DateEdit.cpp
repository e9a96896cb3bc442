#include "DateEdit.h"

#include "Clock.h"

#include <QAction>
#include <QCalendarWidget>
#include <QStyle>
#include <QVBoxLayout>

namespace lerk {

DateEdit::DateEdit(const Formats &formats, QWidget *parent) : QLineEdit(parent), m_formats(formats)
{
    setObjectName(QStringLiteral("dateEdit"));
    QAction *drop = addAction(style()->standardIcon(QStyle::SP_ArrowDown), QLineEdit::TrailingPosition);
    drop->setObjectName(QStringLiteral("calendarButton"));
    drop->setToolTip(QStringLiteral("Kalendář"));
    connect(drop, &QAction::triggered, this, &DateEdit::showCalendar);
}

void DateEdit::setDate(const QDate &date)
{
    setText(date.isValid() ? m_formats.formatDate(date) : QString());
}

QDate DateEdit::date() const
{
    const auto d = m_formats.parseDate(text());
    return d ? *d : QDate();
}

bool DateEdit::isValidText() const
{
    return text().trimmed().isEmpty() || m_formats.parseDate(text()).has_value();
}

QCalendarWidget *DateEdit::calendar() const
{
    return m_calendar;
}

void DateEdit::showCalendar()
{
    if (!m_popup) {
        m_popup = new QWidget(this, Qt::Popup);
        auto *layout = new QVBoxLayout(m_popup);
        layout->setContentsMargins(1, 1, 1, 1);
        m_calendar = new QCalendarWidget(m_popup);
        m_calendar->setObjectName(QStringLiteral("calendar"));
        m_calendar->setFirstDayOfWeek(Qt::Monday);
        m_calendar->setLocale(QLocale(QLocale::Czech, QLocale::CzechRepublic));
        layout->addWidget(m_calendar);
        connect(m_calendar, &QCalendarWidget::activated, this, [this](const QDate &d) {
            setDate(d);
            m_popup->hide();
            setFocus();
        });
        connect(m_calendar, &QCalendarWidget::clicked, this, [this](const QDate &d) {
            setDate(d);
            m_popup->hide();
            setFocus();
        });
    }
    const QDate d = date();
    m_calendar->setSelectedDate(d.isValid() ? d : Clock::today());
    m_popup->adjustSize();
    m_popup->move(mapToGlobal(QPoint(0, height())));
    m_popup->show();
    m_calendar->setFocus();
}

} // namespace lerk
