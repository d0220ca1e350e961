#include "mic/ui/Pictures.h"

#include <QFile>
#include <QHash>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>
#include <map>
#include <memory>
#include <tuple>

namespace mic::ui {
namespace {

// One renderer per picture, made on first use; an unknown number caches a null entry so that
// the resource system is asked once only.
QSvgRenderer* Renderer(int number) {
    static QHash<int, std::shared_ptr<QSvgRenderer>> cache;
    auto it = cache.find(number);
    if (it != cache.end()) {
        return it->get();
    }
    std::shared_ptr<QSvgRenderer> renderer;
    const QString path = QStringLiteral(":/pictures/%1").arg(number);
    if (number > 0 && QFile::exists(path)) {
        renderer = std::make_shared<QSvgRenderer>(path);
        if (!renderer->isValid()) {
            renderer.reset();
        }
    }
    cache.insert(number, renderer);
    return renderer.get();
}

// Pictures drawn once per size. Drawing an SVG is slow (its texts become glyph outlines every
// time), and the window draws its pictures on the thread that also serves the line's replies:
// a full repaint from the vectors holds a reply up for tens of milliseconds. Images, not
// pixmaps, so that the cache may outlive the application object.
using RenderedKey = std::tuple<int, int, int, int>;  // number, width, height (pixels), dpr x 100
std::map<RenderedKey, QImage>& Rendered() {
    static std::map<RenderedKey, QImage> rendered;
    return rendered;
}

}  // namespace

bool HasPicture(int number) {
    return Renderer(number) != nullptr;
}

QSize PictureSize(int number) {
    QSvgRenderer* r = Renderer(number);
    return r ? r->defaultSize() : QSize();
}

void PaintPicture(QPainter& painter, int number, const QRectF& target) {
    QSvgRenderer* r = Renderer(number);
    if (!r || target.isEmpty()) {
        return;
    }
    // A scaled or turned painter gets the vectors: a copied image would blur.
    if (painter.transform().type() > QTransform::TxTranslate) {
        r->render(&painter, target);
        return;
    }
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize pixels = (target.size() * dpr).toSize();
    if (pixels.isEmpty()) {
        return;
    }
    const RenderedKey key{number, pixels.width(), pixels.height(),
                          static_cast<int>(std::lround(dpr * 100))};
    auto it = Rendered().find(key);
    if (it == Rendered().end()) {
        QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(dpr);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        r->render(&p, QRectF(QPointF(0, 0), QSizeF(pixels) / dpr));
        p.end();
        it = Rendered().emplace(key, std::move(image)).first;
    }
    painter.drawImage(target.topLeft(), it->second);
}

int RenderedPictureCount() {
    return static_cast<int>(Rendered().size());
}

}  // namespace mic::ui
