#include "GenData.h"

#include "DataGenerator.h"
#include "Database.h"
#include "DefaultAliases.h"
#include "ProtocolCounts.h"
#include "Schema.h"
#include "Session.h"

#include <QElapsedTimer>

namespace lerk::tool {

void generateData(Session &session, int protocols, quint32 seed,
                  const std::function<void(qint64 done, qint64 total)> &progress)
{
    GeneratorOptions options;
    options.protocols = protocols;
    options.seed = seed;
    lerk::generateData(session, options, progress);
}

int runGenData(Session &session, int protocols, quint32 seed, QTextStream &out)
{
    QElapsedTimer timer;
    timer.start();
    GeneratorOptions options;
    options.protocols = protocols;
    options.seed = seed;
    qint64 reported = 0;
    const GeneratorResult r = lerk::generateData(session, options, [&](qint64 done, qint64 total) {
        // About ten progress lines for a big run, none for a small one.
        if (total >= 10000 && done - reported >= total / 10) {
            reported = done;
            out << "Protokoly: " << done << " / " << total << Qt::endl;
        }
    });
    out << "Střediska: " << r.centres << '\n'
        << "Okruhy: " << r.districts << '\n'
        << "Týdny kontrol: " << r.schedules << '\n'
        << "Úseky silnic: " << r.sections << '\n'
        << "Druhy závad: " << r.defectTypes << '\n'
        << "Protokoly: " << r.protocols << '\n'
        << "Závady: " << r.defects << " (odstraněno " << r.removed << ")\n"
        << "Čas: " << QString::number(timer.elapsed() / 1000.0, 'f', 1) << " s\n";
    out.flush();
    return 0;
}

int runRecount(Session &session, QTextStream &out)
{
    Database &db = session.database(DataAlias);
    const int changed = recountAllProtocols(db);
    out << "Změněno protokolů: " << changed << '\n';
    out.flush();
    return 0;
}

} // namespace lerk::tool
