#pragma once

#include <QString>

namespace lerk {

class AliasConfig;

inline const QString DataAlias = QStringLiteral("DevaReru");
inline const QString LocalAlias = QStringLiteral("LerkLO");

// The place of the default data directories: data/ and dataLO/ beside the program when its directory
// is writable (a portable install), otherwise under ~/.local/share/lerk/.
QString defaultDataRoot(const QString &programDir);

// Makes sure both aliases exist, pointing a missing one at its default directory (created when
// missing), and saves the configuration when it changed. Returns true when something was added.
bool ensureDefaultAliases(AliasConfig &aliases, const QString &programDir);

} // namespace lerk
