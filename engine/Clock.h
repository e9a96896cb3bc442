#pragma once

#include <QDate>
#include <QDateTime>

namespace lerk {

// The one source of "today" and "now". Tests pin it; the program never does.
class Clock
{
public:
    static QDate today() { return now().date(); }
    static QDateTime now() { return pinned().isValid() ? pinned() : QDateTime::currentDateTime(); }
    static void pin(const QDateTime &at) { pinned() = at; }
    static void unpin() { pinned() = QDateTime(); }

private:
    static QDateTime &pinned()
    {
        static QDateTime value;
        return value;
    }
};

} // namespace lerk
