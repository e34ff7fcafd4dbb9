#pragma once

class ChartPrompter;
class ChartSettingsStore;

// The chart reads and stores its settings in the program's settings file.
ChartSettingsStore *appChartSettings();
// The chart's boxes and file questions go where the window's go.
ChartPrompter *appChartPrompter();
