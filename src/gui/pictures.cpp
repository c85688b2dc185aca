#include "gui/pictures.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <functional>
#include <map>
#include <tuple>

namespace vc::gui {

namespace {

// Every picture is drawn on a 100 x 100 canvas, scaled to the size asked for.
using Drawing = std::function<void(QPainter&)>;

constexpr int PollingFrames = 13;

// A radar dial whose sweep turns one step per frame: the station going round its readers.
void polling(QPainter& p, int frame) {
    p.setPen(QPen(QColor(30, 60, 110), 4));
    p.setBrush(QColor(235, 242, 250));
    p.drawEllipse(QPointF(50, 50), 44, 44);
    p.setPen(QPen(QColor(150, 170, 200), 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(50, 50), 30, 30);
    p.drawEllipse(QPointF(50, 50), 15, 15);
    const int start = 90 * 16 - frame * 360 * 16 / PollingFrames;
    QConicalGradient trail(QPointF(50, 50), start / 16.0);
    trail.setColorAt(0.0, QColor(0, 170, 60, 230));
    trail.setColorAt(0.25, QColor(0, 170, 60, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(trail);
    p.drawPie(QRectF(8, 8, 84, 84), start, 90 * 16);
    p.setPen(QPen(QColor(0, 130, 40), 4, Qt::SolidLine, Qt::RoundCap));
    p.save();
    p.translate(50, 50);
    p.rotate(-start / 16.0);
    p.drawLine(QPointF(0, 0), QPointF(42, 0));
    p.restore();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 60, 110));
    p.drawEllipse(QPointF(50, 50), 6, 6);
}

// A door in its frame with the relay's lamp: shut and red when off, ajar and green when on.
void door(QPainter& p, bool open) {
    p.setPen(QPen(QColor(70, 50, 30), 3));
    p.setBrush(QColor(60, 60, 60));
    p.drawRect(QRectF(22, 10, 52, 84));
    p.setBrush(QColor(190, 140, 80));
    if (open) {
        const QPointF leaf[] = {{24, 12}, {48, 20}, {48, 86}, {24, 92}};
        p.drawPolygon(leaf, 4);
        p.setBrush(QColor(40, 30, 20));
        p.drawEllipse(QPointF(43, 54), 3, 3);
    } else {
        p.drawRect(QRectF(24, 12, 48, 80));
        p.setBrush(QColor(40, 30, 20));
        p.drawEllipse(QPointF(64, 54), 3, 3);
    }
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(open ? QColor(0, 200, 60) : QColor(220, 30, 30));
    p.drawEllipse(QPointF(86, 18), 9, 9);
}

void bell(QPainter& p) {
    QPainterPath body;
    body.moveTo(50, 12);
    body.cubicTo(24, 12, 26, 50, 22, 66);
    body.lineTo(14, 76);
    body.lineTo(86, 76);
    body.lineTo(78, 66);
    body.cubicTo(74, 50, 76, 12, 50, 12);
    p.setPen(QPen(QColor(120, 90, 0), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(250, 200, 30));
    p.drawPath(body);
    p.drawEllipse(QPointF(50, 84), 8, 8);
    p.drawEllipse(QPointF(50, 9), 4, 4);
}

void dice(QPainter& p) {
    p.setPen(QPen(QColor(40, 40, 40), 4));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(10, 10, 80, 80), 16, 16);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 20, 20));
    for (QPointF pip : {QPointF(30, 30), QPointF(70, 30), QPointF(50, 50), QPointF(30, 70), QPointF(70, 70)})
        p.drawEllipse(pip, 8, 8);
}

void disk(QPainter& p) {
    const QPointF shape[] = {{10, 10}, {80, 10}, {90, 20}, {90, 90}, {10, 90}};
    p.setPen(QPen(QColor(10, 30, 80), 3));
    p.setBrush(QColor(40, 80, 170));
    p.drawPolygon(shape, 5);
    p.setBrush(QColor(200, 200, 210));
    p.drawRect(QRectF(28, 10, 40, 26));
    p.setBrush(QColor(40, 80, 170));
    p.drawRect(QRectF(54, 14, 8, 18));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(20, 50, 60, 40));
    p.setPen(QPen(QColor(150, 150, 150), 2));
    for (int y : {60, 70, 80}) p.drawLine(QPointF(26, y), QPointF(74, y));
}

// A record-navigation arrow: 'step' -1 or +1, with a bar at its tip for the first and last.
void arrow(QPainter& p, int step, bool edge) {
    p.save();
    if (step < 0) {  // mirrored: every arrow is drawn pointing right
        p.translate(100, 0);
        p.scale(-1, 1);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 60, 110));
    const QPointF tip[] = {{edge ? 24.0 : 30.0, 18}, {edge ? 66.0 : 74.0, 50}, {edge ? 24.0 : 30.0, 82}};
    p.drawPolygon(tip, 3);
    if (edge) p.drawRect(QRectF(70, 18, 10, 64));
    p.restore();
}

// People inside: none (an empty outline) or some (two figures).
void persone(QPainter& p, bool presenti) {
    auto figura = [&p](QPointF at, double scale) {
        p.drawEllipse(at + QPointF(0, -26 * scale), 12 * scale, 12 * scale);
        QPainterPath body;
        body.moveTo(at + QPointF(-22 * scale, 30 * scale));
        body.cubicTo(at + QPointF(-22 * scale, -12 * scale), at + QPointF(22 * scale, -12 * scale),
                     at + QPointF(22 * scale, 30 * scale));
        body.closeSubpath();
        p.drawPath(body);
    };
    if (!presenti) {
        p.setPen(QPen(QColor(140, 140, 140), 4, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        figura(QPointF(50, 56), 1.2);
        return;
    }
    p.setPen(QPen(QColor(10, 60, 20), 3));
    p.setBrush(QColor(60, 170, 80));
    figura(QPointF(36, 58), 1.0);
    p.setBrush(QColor(40, 130, 60));
    figura(QPointF(64, 62), 1.0);
}

void stop(QPainter& p) {
    QPolygonF octagon;
    for (int k = 0; k < 8; ++k) {
        const double a = (22.5 + 45.0 * k) * 3.14159265358979 / 180.0;
        octagon << QPointF(50 + 44 * std::cos(a), 50 + 44 * std::sin(a));
    }
    p.setPen(QPen(Qt::white, 4));
    p.setBrush(QColor(200, 20, 20));
    p.drawPolygon(octagon);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(22, 42, 56, 16));
}

const std::map<std::string, Drawing>& drawings() {
    static const std::map<std::string, Drawing> all = [] {
        std::map<std::string, Drawing> m{
            {"output/0", [](QPainter& p) { door(p, false); }},
            {"output/1", [](QPainter& p) { door(p, true); }},
            {"setup/beep", bell},
            {"setup/imparziale", dice},
            {"setup/storico", disk},
            {"nav/first", [](QPainter& p) { arrow(p, -1, true); }},
            {"nav/previous", [](QPainter& p) { arrow(p, -1, false); }},
            {"nav/next", [](QPainter& p) { arrow(p, 1, false); }},
            {"nav/last", [](QPainter& p) { arrow(p, 1, true); }},
            {"antipassback/vuoto", [](QPainter& p) { persone(p, false); }},
            {"antipassback/presenti", [](QPainter& p) { persone(p, true); }},
            {"tessaro/stop", stop},
        };
        for (int i = 0; i < PollingFrames; ++i)
            m.emplace("polling/" + std::to_string(i), [i](QPainter& p) { polling(p, i); });
        return m;
    }();
    return all;
}

QPixmap draw(const Drawing& drawing, QSize size) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    {
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size.width() / 100.0, size.height() / 100.0);
        drawing(p);
    }
    return pixmap;
}

struct Drawn {
    QPixmap pixmap;
    QIcon icon;
};

// By name and size: the names are a fixed few and each button asks for one size, so it stays small.
// Never destroyed: it may outlive the application object.
const Drawn* cached(const std::string& name, QSize size) {
    const auto it = drawings().find(name);
    if (it == drawings().end() || size.isEmpty()) return nullptr;
    static auto* cache = new std::map<std::tuple<std::string, int, int>, Drawn>;
    const auto key = std::make_tuple(name, size.width(), size.height());
    auto found = cache->find(key);
    if (found == cache->end()) {
        QPixmap pixmap = draw(it->second, size);
        found = cache->emplace(key, Drawn{pixmap, QIcon(pixmap)}).first;
    }
    return &found->second;
}

}  // namespace

QPixmap picture(const std::string& name, QSize size) {
    const Drawn* d = cached(name, size);
    return d ? d->pixmap : QPixmap();
}

QIcon icon(const std::string& name, QSize size) {
    const Drawn* d = cached(name, size);
    return d ? d->icon : QIcon();
}

}  // namespace vc::gui
