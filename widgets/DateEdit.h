#pragma once

#include "Formats.h"

#include <QDate>
#include <QLineEdit>

class QCalendarWidget;

namespace lerk {

// A date typed in the workstation's short date format, with a calendar drop-down; may be empty.
class DateEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit DateEdit(const Formats &formats, QWidget *parent = nullptr);

    void setDate(const QDate &date); // invalid: empty
    // The typed date; invalid when empty or not a date (see isValidText).
    QDate date() const;
    bool isValidText() const;
    void showCalendar();
    QCalendarWidget *calendar() const;

private:
    Formats m_formats;
    QWidget *m_popup = nullptr;
    QCalendarWidget *m_calendar = nullptr;
};

} // namespace lerk
