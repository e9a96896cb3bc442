// lerk-tool: the command line over the same engine and operations as the program.
#include "ReportCommand.h"
#include "ToolCommands.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    const auto app = lerk::tool::createToolApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lerk-tool"));
    return lerk::tool::run(QCoreApplication::arguments().mid(1));
}
