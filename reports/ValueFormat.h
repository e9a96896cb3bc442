#pragma once

#include <QString>
#include <QVariant>

namespace lerk {

struct Formats;

// Display formats of report values, written the way a clerk reads them in Czech:
//   numbers  "0", "0.000", "#,##0.00", "###0" - the digits after the point give the decimals, a comma in
//            the whole part groups thousands, leading zeros pad; printed with a decimal comma;
//   dates    a pattern such as "dd.MM.yyyy", or empty / "short" for the workstation's short date format;
//   times    a pattern such as "H:mm", or empty for the workstation's long time format;
//   logical  "yes;no" texts such as "Ano;Ne" or "X;" (empty: "Ano" / "Ne").
// Empty values print as nothing.
QString formatValue(const QVariant &value, const QString &format, const Formats &formats);

} // namespace lerk
