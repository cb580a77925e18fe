#include "tools/ResponsePlot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace
{
constexpr Rgb kBackground{255, 255, 255};
constexpr Rgb kArea{250, 250, 252};
constexpr Rgb kGrid{214, 214, 222};
constexpr Rgb kMinorGrid{236, 236, 242};
constexpr Rgb kInk{30, 30, 36};
constexpr int kScale = 2; // text magnification

std::string HzLabel(double hz)
{
    char text[16];
    if (hz >= 1000.0)
        std::snprintf(text, sizeof text, "%gk", hz / 1000.0);
    else
        std::snprintf(text, sizeof text, "%g", hz);
    return text;
}

std::string DbLabel(double db)
{
    char text[16];
    std::snprintf(text, sizeof text, "%+.0f", db);
    return db == 0.0 ? std::string("0") : std::string(text);
}
} // namespace

double PlotFrame::XForHz(double hz) const
{
    return left + (right - 1 - left) * std::log(hz / minHz) / std::log(maxHz / minHz);
}

double PlotFrame::YForDb(double db) const
{
    return top + (bottom - 1 - top) * (maxDb - db) / (maxDb - minDb);
}

PlotFrame ResponsePlotFrame(const std::vector<ResponsePoint>& response, int width, int height)
{
    width = std::max(width, kPlotMinWidth);
    height = std::max(height, kPlotMinHeight);
    PlotFrame frame;
    frame.left = 84;
    frame.top = 44;
    frame.right = width - 24;
    frame.bottom = height - 64;

    double low = INFINITY, high = -INFINITY;
    for (const auto& point : response)
        for (double db : point.gainDb)
            if (std::isfinite(db))
            {
                low = std::min(low, db);
                high = std::max(high, db);
            }
    if (!(low <= high))
        low = high = 0.0; // no finite data: show the range around 0 dB
    high = std::min(high, 200.0);
    low = std::max(low, high - 120.0);
    // Round outwards to 6 dB with at least 1 dB of room, then widen to at least 24 dB
    // around the middle.
    double top = std::ceil((high + 1.0) / 6.0) * 6.0;
    double bottom = std::floor((low - 1.0) / 6.0) * 6.0;
    if (top - bottom < 24.0)
    {
        const double grow = std::ceil((24.0 - (top - bottom)) / 12.0) * 6.0;
        top += grow;
        bottom -= grow;
    }
    const double span = top - bottom;
    frame.stepDb = span <= 48.0 ? 6.0 : span <= 96.0 ? 12.0 : 24.0;
    frame.maxDb = std::ceil(top / frame.stepDb) * frame.stepDb;
    frame.minDb = std::floor(bottom / frame.stepDb) * frame.stepDb;
    return frame;
}

RgbImage DrawResponsePlot(const std::string& title, const std::vector<ResponsePoint>& response, int width,
                          int height)
{
    width = std::max(width, kPlotMinWidth);
    height = std::max(height, kPlotMinHeight);
    const PlotFrame f = ResponsePlotFrame(response, width, height);
    RgbImage image(width, height, kBackground);
    image.FillRect(f.left, f.top, f.right, f.bottom, kArea);
    const int textHeight = RgbImage::TextHeight(kScale);

    // Frequency grid: every 1..9 x 10^k, labels at 1, 2 and 5.
    for (double decade = 10.0; decade <= f.maxHz; decade *= 10.0)
        for (int m = 1; m <= 9; ++m)
        {
            const double hz = decade * m;
            if (hz < f.minHz || hz > f.maxHz * 1.0001)
                continue;
            const int x = static_cast<int>(std::lround(f.XForHz(hz)));
            const bool labelled = m == 1 || m == 2 || m == 5;
            image.FillRect(x, f.top, x + 1, f.bottom, labelled ? kGrid : kMinorGrid);
            if (labelled)
            {
                image.FillRect(x, f.bottom, x + 1, f.bottom + 5, kInk);
                const std::string label = HzLabel(hz);
                image.Text(x - RgbImage::TextWidth(label, kScale) / 2, f.bottom + 8, label, kScale, kInk);
            }
        }
    // Gain grid and labels.
    for (double db = f.minDb; db <= f.maxDb + 1e-9; db += f.stepDb)
    {
        const int y = static_cast<int>(std::lround(f.YForDb(db)));
        image.FillRect(f.left, y, f.right, y + 1, db == 0.0 ? kInk : kGrid);
        image.FillRect(f.left - 5, y, f.left, y + 1, kInk);
        const std::string label = DbLabel(db);
        image.Text(f.left - 8 - RgbImage::TextWidth(label, kScale), y - 7, label, kScale, kInk);
    }
    // Frame.
    image.FillRect(f.left, f.top, f.right, f.top + 1, kInk);
    image.FillRect(f.left, f.bottom - 1, f.right, f.bottom, kInk);
    image.FillRect(f.left, f.top, f.left + 1, f.bottom, kInk);
    image.FillRect(f.right - 1, f.top, f.right, f.bottom, kInk);

    // Curves, last channel first so that the first lies on top; values outside the axis
    // are drawn at its edge, NaN leaves a gap.
    const std::size_t channels =
        response.empty() ? 0 : std::min<std::size_t>(response.front().gainDb.size(), 2);
    for (std::size_t c = channels; c-- > 0;)
    {
        bool havePrevious = false;
        double px = 0.0, py = 0.0;
        for (const auto& point : response)
        {
            if (c >= point.gainDb.size() || std::isnan(point.gainDb[c]) || point.hz < f.minHz ||
                point.hz > f.maxHz)
            {
                havePrevious = false;
                continue;
            }
            const double db = std::clamp(point.gainDb[c], f.minDb, f.maxDb);
            const double x = f.XForHz(point.hz);
            const double y = f.YForDb(db);
            if (havePrevious)
                image.Line(px, py, x, y, 2, kPlotCurveColours[c]);
            else
                image.Line(x, y, x, y, 2, kPlotCurveColours[c]);
            px = x;
            py = y;
            havePrevious = true;
        }
    }
    if (channels == 2)
    {
        image.FillRect(f.right - 150, f.top + 12, f.right - 126, f.top + 14, kPlotCurveColours[0]);
        image.Text(f.right - 118, f.top + 5, "out 1", kScale, kInk);
        image.FillRect(f.right - 150, f.top + 12 + textHeight + 4, f.right - 126, f.top + 14 + textHeight + 4,
                       kPlotCurveColours[1]);
        image.Text(f.right - 118, f.top + 5 + textHeight + 4, "out 2", kScale, kInk);
    }

    // Titles: the plot's, cut to the width; the axes'.
    std::string heading = title;
    const int room = (width - 16) / (RgbImage::TextWidth("x", kScale) + kScale);
    if (static_cast<int>(heading.size()) > room)
        heading = heading.substr(0, static_cast<std::size_t>(std::max(room - 3, 0))) + "...";
    image.Text((width - RgbImage::TextWidth(heading, kScale)) / 2, 12, heading, kScale, kInk);
    const std::string xTitle = "Frequency (Hz)";
    image.Text((f.left + f.right - RgbImage::TextWidth(xTitle, kScale)) / 2, f.bottom + 14 + textHeight,
               xTitle, kScale, kInk);
    const std::string yTitle = "Magnitude (dB)";
    image.TextUpwards(10, (f.top + f.bottom + RgbImage::TextWidth(yTitle, kScale)) / 2, yTitle, kScale, kInk);
    return image;
}
