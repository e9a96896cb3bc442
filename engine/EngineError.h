#pragma once

#include <QString>
#include <exception>

namespace lerk {

// Error codes of the table engine. The first two are the codes the integrity rules test; the others
// are our own, grouped only so that callers can tell a class of failure apart.
namespace ErrorCode {
constexpr int KeyViolation = 9729;       // a record with the same identifying fields exists
constexpr int DetailRecordsExist = 9734; // the master record has detail records
constexpr int RecordDeleted = 8708;      // the row vanished since it was read
constexpr int RecordChanged = 10259;     // another connection changed the row since it was read
constexpr int ReadOnly = 10763;          // the table is marked read-only
constexpr int ValueTooLong = 10001;      // a text longer than its field, refused by a statement
constexpr int InvalidValue = 10002;      // a value that is not a valid date, number, ...
constexpr int FilterSyntax = 10003;      // a malformed filter expression
constexpr int SqlSyntax = 10004;         // a malformed or unsupported local SQL statement
constexpr int UnknownTable = 10005;
constexpr int UnknownField = 10006;
constexpr int NoDirectory = 10007; // an alias or file path whose directory does not exist
constexpr int UnknownAlias = 10008;
constexpr int NotOpen = 10009;    // an operation that needs an open dataset
constexpr int WrongState = 10010; // e.g. a field assigned while the dataset is in browse state
constexpr int Io = 10011;         // a file that cannot be read or written
constexpr int Busy = 10012;       // the database stayed locked by another workstation
constexpr int Aborted = 10013;    // a handler that has already told the user cancelled silently
constexpr int General = 10099;
} // namespace ErrorCode

// An engine failure: a code and a Czech message meant for the user. Aborted errors are silent: a
// handler has already spoken and the caller only unwinds.
class EngineError : public std::exception
{
public:
    EngineError(int code, QString message);

    static EngineError aborted();

    int code() const { return m_code; }
    const QString &message() const { return m_message; }
    bool isSilent() const { return m_code == ErrorCode::Aborted; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    int m_code;
    QString m_message;
    QByteArray m_utf8;
};

} // namespace lerk
