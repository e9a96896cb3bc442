#pragma once

// Small helpers shared by the benchmarks: wall-clock timing, resident memory, and a raw SQLite handle
// for the baselines measured in the same run.
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTextStream>
#include <cstdio>
#include <functional>
#include <sqlite3.h>

namespace bench {

inline double seconds(const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    work();
    return double(t.nsecsElapsed()) / 1e9;
}

// Resident set size in MiB, from /proc.
inline double residentMiB()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toDouble() * 4096.0 / (1024.0 * 1024.0) : 0;
}

class RawDb
{
public:
    explicit RawDb(const QString &path)
    {
        sqlite3_open(path.toUtf8().constData(), &m_db);
        sqlite3_busy_timeout(m_db, 8000);
    }
    ~RawDb() { sqlite3_close(m_db); }
    sqlite3 *handle() const { return m_db; }

    void exec(const char *sql) { sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr); }

    // Steps every row of a statement, touching each column the way a reader would.
    qint64 stepAll(const char *sql)
    {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(m_db, sql, -1, &st, nullptr);
        qint64 rows = 0;
        const int cols = sqlite3_column_count(st);
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < cols; ++c)
                (void)sqlite3_column_text(st, c);
            ++rows;
        }
        sqlite3_finalize(st);
        return rows;
    }

    qint64 scalar(const char *sql)
    {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(m_db, sql, -1, &st, nullptr);
        qint64 v = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : -1;
        sqlite3_finalize(st);
        return v;
    }

private:
    sqlite3 *m_db = nullptr;
};

struct Report
{
    QTextStream out{stdout};
    void header(const QString &title)
    {
        out << "\n### " << title
            << "\n\n| measurement | lerk | baseline | ratio | target |\n|---|---|---|---|---|\n";
        out.flush();
    }
    void row(const QString &what, double ours, double base, const QString &unit, const QString &target)
    {
        out << "| " << what << " | " << QString::number(ours, 'f', 3) << ' ' << unit << " | "
            << QString::number(base, 'f', 3) << ' ' << unit << " | "
            << (base > 0 ? QString::number(ours / base, 'f', 2) + QStringLiteral("x") : QStringLiteral("-"))
            << " | " << target << " |\n";
        out.flush();
    }
    void note(const QString &text)
    {
        out << "| " << text << " |  |  |  |  |\n";
        out.flush();
    }
};

} // namespace bench
