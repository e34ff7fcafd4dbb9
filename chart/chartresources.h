#ifndef TEVRANO_CHARTRESOURCES_H
#define TEVRANO_CHARTRESOURCES_H

// Registers the chart's embedded images (":/imager/..."). The images live in
// the resources object files inside this static library, which the linker
// only keeps when something refers to them; this call is that reference.
void initChartResources();

#endif // TEVRANO_CHARTRESOURCES_H
