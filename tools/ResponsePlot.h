#pragma once
// The magnitude-response plot: frequency on a log axis from 10 Hz to 20 kHz, gain in dB on
// a linear axis fitted to the data (6, 12 or 24 dB steps, at least 24 dB shown; data more
// than 120 dB below the highest value is drawn at the bottom edge), grid, tick labels,
// axis titles and a title; one curve for each of the first two outputs.

#include "tools/ResponseProbe.h"
#include "tools/RgbImage.h"

#include <string>
#include <vector>

inline constexpr int kPlotMinWidth = 320;
inline constexpr int kPlotMinHeight = 200;
inline constexpr Rgb kPlotCurveColours[] = {{31, 95, 191}, {224, 112, 24}};

// Where the data lands: the plot area (right and bottom exclusive) and its axis ranges.
struct PlotFrame
{
    int left = 0, top = 0, right = 0, bottom = 0;
    double minHz = 10.0, maxHz = 20000.0;
    double minDb = -24.0, maxDb = 0.0, stepDb = 6.0;

    double XForHz(double hz) const;
    double YForDb(double db) const;
};

// width and height are raised to kPlotMinWidth and kPlotMinHeight.
PlotFrame ResponsePlotFrame(const std::vector<ResponsePoint>& response, int width, int height);
RgbImage DrawResponsePlot(const std::string& title, const std::vector<ResponsePoint>& response, int width,
                          int height);
