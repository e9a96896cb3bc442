#pragma once

#include <QStringList>

namespace lerk::tool {

// Parses the command line and runs one command; returns the process exit status. Errors are written
// to stderr in Czech.
int run(const QStringList &arguments);

} // namespace lerk::tool
