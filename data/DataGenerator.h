#pragma once

#include <QDate>
#include <QtGlobal>
#include <functional>

namespace lerk {

class Session;

// What the generator makes. The defaults give the realistic shape the benchmarks and the tool use: a dozen
// centres, 200 districts with their road masters and weekly schedules, 5000 road sections of classes 1 to
// 3, 80 defect types, and protocols over ten years with about ten defects each, most of them removed.
struct GeneratorOptions
{
    int protocols = 1000;
    quint32 seed = 1;
    // The protocols fall into the years ending on this day; fixed, so that a seed always gives the same
    // data whatever the day of the run.
    QDate lastDay = QDate(2024, 12, 31);
    int years = 10;
    int centres = 12; // at most 12: one per centre name the generator knows
    int districts = 200;
    int sections = 5000;
    int defectTypes = 80; // at most 80
};

struct GeneratorResult
{
    int centres = 0;
    int districts = 0;
    int schedules = 0; // rows of Tyden
    int sections = 0;
    int defectTypes = 0;
    int protocols = 0;
    qint64 defects = 0;
    qint64 removed = 0;
};

// Called now and then with the protocols written so far and their total.
using GeneratorProgress = std::function<void(qint64 done, qint64 total)>;

// Fills the shared data directory of the session (alias DevaReru) with reproducible data drawn from a
// random generator seeded with options.seed; the counts PZ and PN of every protocol are right. Creates
// missing tables first. Refuses (EngineError) a directory whose code tables, protocols or defects already
// hold rows. Everything is written in one transaction: a failure leaves the directory as it was.
GeneratorResult generateData(Session &session, const GeneratorOptions &options,
                             const GeneratorProgress &progress = {});

} // namespace lerk
