#pragma once

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>
#include <memory>

namespace lerk {
class Session;
namespace tool {

// "lerk-tool report N --pdf FILE [--filter EXPR] [--title TEXT] [--subtitle TEXT]": prepares report N of
// the report catalogue over the current data, as the program would print it, and writes it to a PDF file
// without showing a preview. --filter filters the report's main dataset (ZavadyQuery for report 10);
// --title and --subtitle go to PARAM's Tisk and Nazev (the subtitle defaults to the filter). Throws
// EngineError with a Czech message; returns the exit status.
int runReportCommand(Session &session, QStringList args, QTextStream &out);

// Reports are drawn with fonts, which needs a QGuiApplication; the other commands need only the core.
// Returns the application lerk-tool should run with these arguments (argv[0] included): a
// QGuiApplication on the offscreen platform for "report", a QCoreApplication otherwise.
std::unique_ptr<QCoreApplication> createToolApplication(int &argc, char **argv);

} // namespace tool
} // namespace lerk
