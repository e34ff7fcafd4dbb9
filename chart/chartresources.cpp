#include "chartresources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void registerChartImages()
{
    Q_INIT_RESOURCE(chart);
}

void initChartResources()
{
    static const bool registered = (registerChartImages(), true);
    Q_UNUSED(registered)
}
