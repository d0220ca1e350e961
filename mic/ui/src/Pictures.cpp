#include "mic/ui/Pictures.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

#include <memory>

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

}  // namespace

bool HasPicture(int number) {
    return Renderer(number) != nullptr;
}

QSize PictureSize(int number) {
    QSvgRenderer* r = Renderer(number);
    return r ? r->defaultSize() : QSize();
}

void PaintPicture(QPainter& painter, int number, const QRectF& target) {
    if (QSvgRenderer* r = Renderer(number)) {
        r->render(&painter, target);
    }
}

}  // namespace mic::ui
