#pragma once

// Widget tests: the engine fixture's scratch session and sample tables, opened as tables.

#include "Table.h"
#include "engine/EngineFixture.h"

namespace lerk::test {

class GridFixture : public EngineFixture
{
public:
    GridFixture() { tables::createSampleTables(deva()); }

    std::unique_ptr<Table> open(const QString &table, const QString &order = {})
    {
        auto t = std::make_unique<Table>(session(), QStringLiteral("DevaReru"), table);
        if (!order.isEmpty())
            t->setIndexFieldNames(order);
        t->open();
        return t;
    }
};

} // namespace lerk::test
