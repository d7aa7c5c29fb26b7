#pragma once
// A small line plot drawn into an RgbImage for the benchmarks: axes with
// ticks and numbers, one polyline per series, a legend. Only digits, capital
// letters and a few signs can be written (a 3 x 5 pixel font, drawn twice as
// large). Header-only: every .cpp file of bench/ is a benchmark of its own.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "kit/image/rgb_image.h"

struct PlotSeries {
    std::string name;
    unsigned char red, green, blue;
    std::vector<double> x, y;
    bool dotsOnly = false;  // small marks, no line
};

struct PlotPanel {
    std::string title;
    double xMin, xMax, yMin, yMax, xTick, yTick;
    std::vector<PlotSeries> series;
};

namespace plot_detail {

// Rows of 3 bits, top row first, for the characters the plots use.
inline const unsigned char* glyph(char c) {
    static const struct {
        char c;
        unsigned char rows[5];
    } font[] = {
        {'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}}, {'3', {7, 1, 7, 1, 7}},
        {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 7, 1, 7}}, {'6', {7, 4, 7, 5, 7}}, {'7', {7, 1, 1, 2, 2}},
        {'8', {7, 5, 7, 5, 7}}, {'9', {7, 5, 7, 1, 7}}, {'.', {0, 0, 0, 0, 2}}, {'-', {0, 0, 7, 0, 0}},
        {'(', {1, 2, 2, 2, 1}}, {')', {4, 2, 2, 2, 4}}, {',', {0, 0, 0, 2, 4}}, {'/', {1, 1, 2, 4, 4}},
        {'A', {2, 5, 7, 5, 5}}, {'B', {6, 5, 6, 5, 6}}, {'C', {7, 4, 4, 4, 7}}, {'D', {6, 5, 5, 5, 6}},
        {'E', {7, 4, 6, 4, 7}}, {'F', {7, 4, 6, 4, 4}}, {'G', {7, 4, 5, 5, 7}}, {'H', {5, 5, 7, 5, 5}},
        {'I', {7, 2, 2, 2, 7}}, {'J', {1, 1, 1, 5, 7}}, {'K', {5, 5, 6, 5, 5}}, {'L', {4, 4, 4, 4, 7}},
        {'M', {5, 7, 7, 5, 5}}, {'N', {6, 5, 5, 5, 5}}, {'O', {7, 5, 5, 5, 7}}, {'P', {7, 5, 7, 4, 4}},
        {'Q', {7, 5, 5, 7, 1}}, {'R', {7, 5, 6, 5, 5}}, {'S', {7, 4, 7, 1, 7}}, {'T', {7, 2, 2, 2, 2}},
        {'U', {5, 5, 5, 5, 7}}, {'V', {5, 5, 5, 5, 2}}, {'W', {5, 5, 7, 7, 5}}, {'X', {5, 5, 2, 5, 5}},
        {'Y', {5, 5, 2, 2, 2}}, {'Z', {7, 1, 2, 4, 7}},
    };
    for (const auto& entry : font)
        if (entry.c == c) return entry.rows;
    return nullptr;  // blank
}

struct Canvas {
    RgbImage& image;
    void set(int x, int y, unsigned char r, unsigned char g, unsigned char b) {
        if (x < 0 || y < 0 || x >= image.width || y >= image.height) return;
        unsigned char* p = image.pixel(x, y);
        p[0] = r;
        p[1] = g;
        p[2] = b;
    }
    void line(double x0, double y0, double x1, double y1, unsigned char r, unsigned char g, unsigned char b,
              int thickness) {
        const int steps = int(std::max(std::fabs(x1 - x0), std::fabs(y1 - y0))) + 1;
        for (int i = 0; i <= steps; ++i) {
            const double t = double(i) / steps;
            const int x = int(std::lround(x0 + (x1 - x0) * t)), y = int(std::lround(y0 + (y1 - y0) * t));
            for (int dy = 0; dy < thickness; ++dy)
                for (int dx = 0; dx < thickness; ++dx) set(x + dx - thickness / 2, y + dy - thickness / 2, r, g, b);
        }
    }
    // Text with its top left corner at (x, y), each font pixel 2 x 2.
    void text(int x, int y, const std::string& s, unsigned char r = 0, unsigned char g = 0, unsigned char b = 0) {
        for (char c : s) {
            if (const unsigned char* rows = glyph(c))
                for (int row = 0; row < 5; ++row)
                    for (int column = 0; column < 3; ++column)
                        if (rows[row] & (4 >> column))
                            for (int d = 0; d < 4; ++d) set(x + 2 * column + d % 2, y + 2 * row + d / 2, r, g, b);
            x += 8;
        }
    }
};

inline std::string number(double value, double tick) {
    char text[32];
    const int decimals = tick >= 1.0 ? 0 : tick >= 0.1 ? 1 : tick >= 0.01 ? 2 : 3;
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}  // namespace plot_detail

inline RgbImage drawPlot(const std::vector<PlotPanel>& panels, int width, int panelHeight) {
    RgbImage image(width, panelHeight * int(panels.size()));
    for (unsigned char& byte : image.rgb) byte = 255;
    plot_detail::Canvas canvas{image};
    const int left = 70, right = 20, top = 40, bottom = 40;
    for (size_t p = 0; p < panels.size(); ++p) {
        const PlotPanel& panel = panels[p];
        const int y0 = int(p) * panelHeight;
        const int plotLeft = left, plotRight = width - right, plotTop = y0 + top, plotBottom = y0 + panelHeight - bottom;
        auto px = [&](double x) { return plotLeft + (x - panel.xMin) / (panel.xMax - panel.xMin) * (plotRight - plotLeft); };
        auto py = [&](double y) { return plotBottom - (y - panel.yMin) / (panel.yMax - panel.yMin) * (plotBottom - plotTop); };
        canvas.text(plotLeft, y0 + 12, panel.title);
        // Grid and ticks.
        for (double x = std::ceil(panel.xMin / panel.xTick) * panel.xTick; x <= panel.xMax + 1e-9; x += panel.xTick) {
            canvas.line(px(x), plotTop, px(x), plotBottom, 225, 225, 225, 1);
            const std::string label = plot_detail::number(x, panel.xTick);
            canvas.text(int(px(x)) - 4 * int(label.size()), plotBottom + 8, label);
        }
        for (double y = std::ceil(panel.yMin / panel.yTick) * panel.yTick; y <= panel.yMax + 1e-9; y += panel.yTick) {
            canvas.line(plotLeft, py(y), plotRight, py(y), 225, 225, 225, 1);
            const std::string label = plot_detail::number(y, panel.yTick);
            canvas.text(plotLeft - 8 - 8 * int(label.size()), int(py(y)) - 5, label);
        }
        canvas.line(plotLeft, plotTop, plotLeft, plotBottom, 0, 0, 0, 2);
        canvas.line(plotLeft, plotBottom, plotRight, plotBottom, 0, 0, 0, 2);
        // Series, then the legend in the lower right corner.
        int legendY = plotBottom - 20 * int(panel.series.size());
        for (const PlotSeries& series : panel.series) {
            for (size_t i = 0; i < series.x.size(); ++i) {
                const double x = px(series.x[i]), y = py(series.y[i]);
                if (series.dotsOnly) {
                    canvas.line(x - 1, y, x + 1, y, series.red, series.green, series.blue, 2);
                } else {
                    if (i > 0)
                        canvas.line(px(series.x[i - 1]), py(series.y[i - 1]), x, y, series.red, series.green,
                                    series.blue, 3);
                    canvas.line(x - 3, y, x + 3, y, series.red, series.green, series.blue, 5);
                }
            }
            if (series.name.empty()) continue;
            canvas.line(plotRight - 200, legendY + 4, plotRight - 170, legendY + 4, series.red, series.green,
                        series.blue, 4);
            canvas.text(plotRight - 160, legendY, series.name, series.red, series.green, series.blue);
            legendY += 20;
        }
    }
    return image;
}
