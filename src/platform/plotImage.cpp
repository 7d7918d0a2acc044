// plotImage.cpp -- the benchmark's picture with Qt's painter; see plotImage.h.
#include "platform/plotImage.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

#include "platform/qtShell.h"

namespace {

const QColor ink(40, 40, 40);
const QColor gridInk(225, 225, 225);
const QColor palette[] = {QColor(31, 119, 180), QColor(255, 127, 14), QColor(44, 160, 44),
                          QColor(214, 39, 40),  QColor(148, 103, 189), QColor(140, 86, 75)};
const int paletteSize = sizeof palette / sizeof palette[0];

QColor colourOf(int index) { return palette[((index % paletteSize) + paletteSize) % paletteSize]; }

QFont font(int pixels, bool bold = false) {
    QFont f("DejaVu Sans");
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

// A value range and its tick marks at 1, 2 or 5 times a power of ten.
struct Axis {
    double low = 0.0, high = 1.0, step = 0.2;
};

Axis niceAxis(double low, double high, int ticks) {
    if (!(high > low)) high = low + 1.0;
    double raw = (high - low) / std::max(ticks, 1);
    double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power;
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        step = factor * power;
        if (step >= raw) break;
    }
    Axis axis;
    axis.step = step;
    axis.low = std::floor(low / step) * step;
    axis.high = std::ceil(high / step) * step;
    if (axis.high <= axis.low) axis.high = axis.low + step;
    return axis;
}

QString tickText(double value, double step) {
    int decimals = step >= 1.0 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    return QString::number(value, 'f', std::clamp(decimals, 0, 4));
}

// One framed plotting area with axes, ticks, a grid and axis titles;
// map() turns data into pixels.
struct Frame {
    QRectF area;
    Axis x, y;
    QPointF map(double vx, double vy) const {
        double fx = (vx - x.low) / (x.high - x.low);
        double fy = (vy - y.low) / (y.high - y.low);
        return QPointF(area.left() + fx * area.width(), area.bottom() - fy * area.height());
    }
};

void drawFrame(QPainter& p, const Frame& f, const QString& title, const QString& xTitle, const QString& yTitle) {
    p.setFont(font(13));
    QFontMetrics metrics(p.font());
    p.setPen(QPen(gridInk, 1));
    for (double v = f.x.low; v <= f.x.high + f.x.step * 0.5; v += f.x.step) {
        QPointF a = f.map(v, f.y.low), b = f.map(v, f.y.high);
        p.drawLine(a, b);
    }
    for (double v = f.y.low; v <= f.y.high + f.y.step * 0.5; v += f.y.step) {
        QPointF a = f.map(f.x.low, v), b = f.map(f.x.high, v);
        p.drawLine(a, b);
    }
    p.setPen(QPen(ink, 1));
    p.drawRect(f.area);
    for (double v = f.x.low; v <= f.x.high + f.x.step * 0.5; v += f.x.step) {
        QPointF a = f.map(v, f.y.low);
        p.drawLine(a, a + QPointF(0, 5));
        QString text = tickText(v, f.x.step);
        p.drawText(QPointF(a.x() - metrics.horizontalAdvance(text) / 2.0, a.y() + 8 + metrics.ascent()), text);
    }
    for (double v = f.y.low; v <= f.y.high + f.y.step * 0.5; v += f.y.step) {
        QPointF a = f.map(f.x.low, v);
        p.drawLine(a, a - QPointF(5, 0));
        QString text = tickText(v, f.y.step);
        p.drawText(QPointF(a.x() - 9 - metrics.horizontalAdvance(text), a.y() + metrics.ascent() / 2.5), text);
    }
    p.drawText(QRectF(f.area.left(), f.area.bottom() + 24, f.area.width(), 22), Qt::AlignHCenter, xTitle);
    p.save();
    p.translate(f.area.left() - 52, f.area.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-f.area.height() / 2, -11, f.area.height(), 22), Qt::AlignHCenter, yTitle);
    p.restore();
    p.setFont(font(15, true));
    p.drawText(QRectF(f.area.left(), f.area.top() - 26, f.area.width(), 22), Qt::AlignLeft, title);
}

void drawShape(QPainter& p, int shape, QPointF c, double r, const QColor& colour) {
    p.setPen(QPen(ink, 1));
    p.setBrush(colour);
    switch (((shape % 6) + 6) % 6) {
    case 0: p.drawEllipse(c, r, r); break;
    case 1: p.drawRect(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r)); break;
    case 2: p.drawPolygon(QPolygonF({c + QPointF(0, -r * 1.2), c + QPointF(r * 1.1, r), c + QPointF(-r * 1.1, r)})); break;
    case 3: p.drawPolygon(QPolygonF({c + QPointF(0, -r * 1.3), c + QPointF(r * 1.3, 0), c + QPointF(0, r * 1.3),
                                     c + QPointF(-r * 1.3, 0)}));
        break;
    case 4: p.drawPolygon(QPolygonF({c + QPointF(0, r * 1.2), c + QPointF(r * 1.1, -r), c + QPointF(-r * 1.1, -r)})); break;
    default:
        p.setPen(QPen(colour, 3));
        p.drawLine(c + QPointF(-r, -r), c + QPointF(r, r));
        p.drawLine(c + QPointF(-r, r), c + QPointF(r, -r));
        break;
    }
    p.setBrush(Qt::NoBrush);
}

// (a): frame time (or popping) along the walk.
void drawWalk(QPainter& p, const std::vector<PlotLine>& lines, QRectF area, const QString& title,
              const QString& yTitle) {
    size_t frames = 0;
    double highest = 0.0;
    for (const PlotLine& line : lines) {
        frames = std::max(frames, line.values.size());
        for (double v : line.values) {
            if (std::isfinite(v)) highest = std::max(highest, v);
        }
    }
    Frame f{area, niceAxis(0.0, static_cast<double>(std::max<size_t>(frames, 2)), 10),
            niceAxis(0.0, std::max(highest, 1e-3) * 1.05, 6)};
    f.x.low = 0.0;
    drawFrame(p, f, title, "frame of the walk", yTitle);
    p.save();
    p.setClipRect(area);
    p.setRenderHint(QPainter::Antialiasing, true);
    for (size_t i = 0; i < lines.size(); ++i) {
        const PlotLine& line = lines[i];
        QPainterPath path;
        bool started = false;
        for (size_t k = 0; k < line.values.size(); ++k) {
            if (!std::isfinite(line.values[k])) continue;
            QPointF point = f.map(static_cast<double>(k + 1), line.values[k]);
            if (!started) path.moveTo(point);
            else path.lineTo(point);
            started = true;
        }
        p.setPen(QPen(colourOf(static_cast<int>(i)), 2));
        p.drawPath(path);
    }
    p.restore();
    // Legend in the top right corner of the area.
    p.setFont(font(14));
    QFontMetrics metrics(p.font());
    double widest = 0;
    for (const PlotLine& line : lines) widest = std::max<double>(widest, metrics.horizontalAdvance(QString::fromStdString(line.name)));
    QRectF box(area.right() - widest - 60, area.top() + 10, widest + 50, 22.0 * lines.size() + 10);
    p.setPen(QPen(ink, 1));
    p.setBrush(QColor(255, 255, 255, 230));
    if (!lines.empty()) p.drawRect(box);
    p.setBrush(Qt::NoBrush);
    for (size_t i = 0; i < lines.size(); ++i) {
        double y = box.top() + 16 + 22.0 * i;
        p.setPen(QPen(colourOf(static_cast<int>(i)), 3));
        p.drawLine(QPointF(box.left() + 8, y), QPointF(box.left() + 34, y));
        p.setPen(QPen(ink, 1));
        p.drawText(QPointF(box.left() + 40, y + metrics.ascent() / 2.5), QString::fromStdString(lines[i].name));
    }
}

// One panel of (b): cost against one quality measure.
void drawTradeOff(QPainter& p, const BenchmarkPlot& plot, QRectF area, const QString& title, const QString& xTitle,
                  const std::function<double(const PlotPoint&)>& quality) {
    std::vector<std::pair<double, const PlotPoint*>> shown;
    double highestMs = 0.0, highestX = 0.0;
    for (const PlotPoint& point : plot.points) highestMs = std::max(highestMs, point.ms);
    for (const PlotPoint& point : plot.points) {
        double x = quality(point);
        if (!std::isfinite(x) || !std::isfinite(point.ms)) continue;
        shown.push_back({x, &point});
        highestX = std::max(highestX, x);
    }
    Frame f{area, niceAxis(0.0, highestX > 0 ? highestX * 1.15 : 1.0, 5), niceAxis(0.0, highestMs * 1.08, 6)};
    drawFrame(p, f, title, xTitle, "ms per frame (median)");
    if (shown.empty()) {
        p.setFont(font(14));
        p.setPen(QPen(ink, 1));
        p.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, "not measured in this run");
        return;
    }
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    // The best trade-offs: sorted by error, each point cheaper than every
    // point with less or equal error.
    std::vector<std::pair<double, const PlotPoint*>> sorted = shown;
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : a.second->ms < b.second->ms;
    });
    QPolygonF front;
    double cheapest = INFINITY;
    for (const auto& [x, point] : sorted) {
        if (point->ms < cheapest) {
            cheapest = point->ms;
            front << f.map(x, point->ms);
        }
    }
    QPen dashed(QColor(90, 90, 90), 1.5, Qt::DashLine);
    p.setPen(dashed);
    p.drawPolyline(front);
    p.setFont(font(12));
    QFontMetrics metrics(p.font());
    for (const auto& [x, point] : shown) {
        QPointF c = f.map(x, point->ms);
        drawShape(p, point->shape, c, 5.5, colourOf(point->colour));
        if (!point->label.empty()) {
            p.setPen(QPen(colourOf(point->colour).darker(140), 1));
            p.drawText(QPointF(c.x() + 8, c.y() - 6), QString::fromStdString(point->label));
        }
    }
    p.restore();
}

void drawPointLegend(QPainter& p, const BenchmarkPlot& plot, QRectF area) {
    p.setFont(font(14));
    QFontMetrics metrics(p.font());
    double x = area.left();
    double y = area.top() + 14;
    p.setPen(QPen(ink, 1));
    p.drawText(QPointF(x, y + metrics.ascent() / 2.5), "Colour:");
    x += metrics.horizontalAdvance("Colour:") + 14;
    for (size_t i = 0; i < plot.colourNames.size(); ++i) {
        drawShape(p, 0, QPointF(x + 6, y), 6, colourOf(static_cast<int>(i)));
        p.setPen(QPen(ink, 1));
        QString name = QString::fromStdString(plot.colourNames[i]);
        p.drawText(QPointF(x + 18, y + metrics.ascent() / 2.5), name);
        x += 18 + metrics.horizontalAdvance(name) + 24;
    }
    x = area.left();
    y += 26;
    p.drawText(QPointF(x, y + metrics.ascent() / 2.5), "Shape:");
    x += metrics.horizontalAdvance("Colour:") + 14;
    for (size_t i = 0; i < plot.shapeNames.size(); ++i) {
        drawShape(p, static_cast<int>(i), QPointF(x + 6, y), 6, QColor(160, 160, 160));
        p.setPen(QPen(ink, 1));
        QString name = QString::fromStdString(plot.shapeNames[i]);
        p.drawText(QPointF(x + 18, y + metrics.ascent() / 2.5), name);
        x += 18 + metrics.horizontalAdvance(name) + 24;
    }
    x += 10;
    p.setPen(QPen(QColor(90, 90, 90), 1.5, Qt::DashLine));
    p.drawLine(QPointF(x, y), QPointF(x + 30, y));
    p.setPen(QPen(ink, 1));
    p.drawText(QPointF(x + 38, y + metrics.ascent() / 2.5),
               "best trade-offs (nothing cheaper with equal or less error); labels: terrain error tolerance");
}

}  // namespace

bool platformWriteBenchmarkPlot(const BenchmarkPlot& plot, const char* fileName, std::string& why) {
    if (!fileName || !*fileName) {
        why = "no file name";
        return false;
    }
    if (plot.width < 400 || plot.height < 300) {
        why = "a picture of " + std::to_string(plot.width) + " x " + std::to_string(plot.height) +
              " pixels is too small (at least 400 x 300)";
        return false;
    }
    if (!ensureApplication()) {
        why = "no display to take the fonts from";
        return false;
    }
    QImage image(plot.width, plot.height, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::TextAntialiasing, true);
        const double w = plot.width, h = plot.height;
        const double left = 80, right = 30;
        double y = 14;
        p.setPen(QPen(ink, 1));
        p.setFont(font(22, true));
        p.drawText(QRectF(left - 50, y, w, 30), Qt::AlignLeft, QString::fromStdString(plot.title));
        y += 34;
        p.setFont(font(14));
        for (const std::string& note : plot.notes) {
            p.drawText(QRectF(left - 50, y, w, 20), Qt::AlignLeft, QString::fromStdString(note));
            y += 20;
        }
        y += 34;
        double legendHeight = 64;
        double available = h - y - legendHeight;
        double walkHeight = available * 0.40;
        const QString walkTitle = "(a) Frame time along the walk" +
                                  (plot.walkCaption.empty() ? QString()
                                                            : QString(": ") + QString::fromStdString(plot.walkCaption));
        if (plot.popping.empty()) {
            drawWalk(p, plot.walk, QRectF(left, y, w - left - right, walkHeight - 60), walkTitle, "ms per frame");
        } else {
            const double half = (w - left - right - 90) / 2;
            drawWalk(p, plot.walk, QRectF(left, y, half, walkHeight - 60), walkTitle, "ms per frame");
            drawWalk(p, plot.popping, QRectF(left + half + 90, y, half, walkHeight - 60),
                     "(a) Popping along the walk" + (plot.poppingCaption.empty()
                                                         ? QString()
                                                         : QString(": ") + QString::fromStdString(plot.poppingCaption)),
                     "popping maximum (pixels)");
        }
        double top = y + walkHeight + 34;
        double panelHeight = available - walkHeight - 34 - 60;
        double gap = 90;
        double panelWidth = (w - left - right - 2 * gap) / 3;
        drawTradeOff(p, plot, QRectF(left, top, panelWidth, panelHeight), "(b) Cost against terrain geometry",
                     "terrain geometric error, 95th percentile (pixels)",
                     [](const PlotPoint& point) { return point.errorPixels; });
        drawTradeOff(p, plot, QRectF(left + panelWidth + gap, top, panelWidth, panelHeight),
                     "(b) Cost against terrain picture", "terrain pixels differing (%)",
                     [](const PlotPoint& point) { return point.terrainShare * 100.0; });
        drawTradeOff(p, plot, QRectF(left + 2 * (panelWidth + gap), top, panelWidth, panelHeight),
                     "(b) Cost against plant picture", "plant pixels differing from full models (%)",
                     [](const PlotPoint& point) { return point.plantShare * 100.0; });
        drawPointLegend(p, plot, QRectF(left, h - legendHeight, w - left - right, legendHeight));
    }
    if (!image.save(QString::fromLocal8Bit(fileName), "PNG")) {
        why = "the file cannot be written";
        return false;
    }
    return true;
}
