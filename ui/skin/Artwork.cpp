// The skin's pictures are SVG files written by tools/make-art.py and compiled in as Qt
// resources. Each is rendered at the device pixel size it is drawn at and kept, so a repaint
// only copies pixels and high-DPI screens get sharp edges rather than a stretched bitmap.
#include "ui/skin/Artwork.h"

#include "book/Book.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <memory>
#include <optional>
#include <vector>

// Q_INIT_RESOURCE declares the resource's initialiser where it is used, so it has to be used
// outside any namespace. The library is static: without this call nothing would pull the
// compiled resources into the executable.
static void InitMorvaneResources()
{
    Q_INIT_RESOURCE(morvane);
}

namespace morvane::skin {
namespace {

constexpr int kArtCount = static_cast<int>(Art::ProgressFill) + 1;

// In the order of Art.
constexpr const char* kArtFiles[] = {
    "logo", "header", "pane", "tool-cap", "bottom-band",
    "button-normal", "button-hot", "button-pressed", "button-disabled",
    "check-off", "check-off-hot", "check-disabled", "check-on", "check-on-hot",
    "minimise-normal", "minimise-hot", "minimise-pressed",
    "maximise-normal", "maximise-hot", "maximise-pressed",
    "restore-normal", "restore-hot", "restore-pressed",
    "close-normal", "close-hot", "close-pressed",
    "grip", "progress-fill",
};
static_assert(std::size(kArtFiles) == kArtCount, "one file per picture role");

// The picture of each kind code; nullptr takes the neutral icon (codes 8 to 11 name no item).
constexpr const char* kKindIcons[] = {
    "book", "book", "directory", "lock", "key", "signature", "police", "alt-directory",
    nullptr, nullptr, nullptr, nullptr,
    "input", "output", "serial", "identity", "email", "use-count", "strength", "date", "note",
    "field-n", "field-e", "field-d", "field-p", "field-q", "field-u",
    "details-before", "row-reserved", "row-attribute", "row-strength", "row-padding-type",
    "row-length", "row-serial", "row-consumed", "row-padding", "row-text-before", "row-combined",
    "details-after", "row-sign-flag", "row-digest", "row-text-after", "row-encoding",
};
static_assert(std::size(kKindIcons) == kKindCount, "one icon per kind code");

// Rendered sizes kept per picture: the panes are drawn at two sizes at once (tree pane and
// right pane), and a third slot keeps a resize from evicting them on every step.
constexpr std::size_t kSizesKept = 3;
// Larger targets are rendered straight into the painter rather than kept.
constexpr int kLargestKept = 4096;

struct Rendered {
    QSize size;
    QImage image;
};

struct Store {
    std::array<std::unique_ptr<QSvgRenderer>, kArtCount> renderers;
    std::array<std::vector<Rendered>, kArtCount> rendered;  // most recently used first
    std::array<std::optional<QIcon>, kKindCount> kindIcons;
    std::optional<QIcon> neutralIcon, appIcon;
    std::optional<QCursor> splitterCursor;
};

std::unique_ptr<Store>& StoreSlot()
{
    static std::unique_ptr<Store> store;
    return store;
}

// Pixmaps and icons must not outlive the application object, so the store goes with it.
void DropStore()
{
    StoreSlot().reset();
}

Store& TheStore()
{
    auto& store = StoreSlot();
    if (!store) {
        static const bool registered = [] {
            InitMorvaneResources();
            return true;
        }();
        (void)registered;
        store = std::make_unique<Store>();
        if (QCoreApplication::instance())
            qAddPostRoutine(DropStore);
    }
    return *store;
}

QString ArtPath(Art art)
{
    return QStringLiteral(":/skin/%1.svg").arg(QLatin1String(kArtFiles[static_cast<int>(art)]));
}

QSvgRenderer& RendererFor(Art art)
{
    auto& slot = TheStore().renderers[static_cast<int>(art)];
    if (!slot)
        slot = std::make_unique<QSvgRenderer>(ArtPath(art));
    return *slot;
}

QImage Render(QSvgRenderer& renderer, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    renderer.render(&p, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

QIcon IconFrom(const QString& path, std::initializer_list<int> sizes)
{
    QSvgRenderer renderer(path);
    QIcon icon;
    if (!renderer.isValid())
        return icon;
    for (int s : sizes)
        icon.addPixmap(QPixmap::fromImage(Render(renderer, QSize(s, s))));
    return icon;
}

QIcon TreeIcon(const char* name)
{
    // 16 at 1x up to 48 at 3x, so the view never scales a picture up.
    return IconFrom(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)), {16, 20, 24, 32, 40, 48, 64});
}

}  // namespace

void Draw(QPainter& painter, Art art, const QRectF& target)
{
    const int index = static_cast<int>(art);
    if (index < 0 || index >= kArtCount || !(target.width() > 0 && target.height() > 0))
        return;
    QSvgRenderer& renderer = RendererFor(art);
    if (!renderer.isValid())
        return;  // a missing picture leaves its area unpainted

    // Device pixels per logical pixel: the device's ratio and any scaling the painter applies.
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QTransform& t = painter.worldTransform();
    const qreal sx = dpr * std::hypot(t.m11(), t.m12());
    const qreal sy = dpr * std::hypot(t.m21(), t.m22());
    const QSize size(std::max(1, int(std::lround(target.width() * sx))),
                     std::max(1, int(std::lround(target.height() * sy))));
    if (size.width() > kLargestKept || size.height() > kLargestKept) {
        renderer.render(&painter, target);
        return;
    }

    auto& kept = TheStore().rendered[index];
    auto hit = std::find_if(kept.begin(), kept.end(), [&](const Rendered& r) { return r.size == size; });
    if (hit == kept.end()) {
        if (kept.size() == kSizesKept)
            kept.pop_back();
        kept.insert(kept.begin(), Rendered{size, Render(renderer, size)});
    } else if (hit != kept.begin()) {
        std::rotate(kept.begin(), hit, hit + 1);
    }
    painter.drawImage(target, kept.front().image, QRectF(kept.front().image.rect()));
}

QSizeF NaturalSize(Art art)
{
    const int index = static_cast<int>(art);
    if (index < 0 || index >= kArtCount)
        return {};
    return RendererFor(art).viewBoxF().size();
}

QIcon KindIcon(int kind)
{
    Store& store = TheStore();
    const char* name = kind >= 0 && kind < kKindCount ? kKindIcons[kind] : nullptr;
    if (!name) {
        if (!store.neutralIcon)
            store.neutralIcon = TreeIcon("neutral");
        return *store.neutralIcon;
    }
    auto& slot = store.kindIcons[std::size_t(kind)];
    if (!slot)
        slot = TreeIcon(name);
    return *slot;
}

QIcon AppIcon()
{
    Store& store = TheStore();
    if (!store.appIcon) {
        // Small sizes come from a drawing made for the pixel grid; the large one loses its
        // details below 32 pixels.
        QIcon icon = IconFrom(QStringLiteral(":/app/morvane-small.svg"), {16, 22, 24});
        const QIcon large = IconFrom(QStringLiteral(":/app/morvane.svg"), {32, 48, 64, 128, 256});
        for (const QSize& s : large.availableSizes())
            icon.addPixmap(large.pixmap(s));
        store.appIcon = icon;
    }
    return *store.appIcon;
}

QCursor SplitterCursor()
{
    Store& store = TheStore();
    if (!store.splitterCursor) {
        QSvgRenderer renderer(QStringLiteral(":/cursors/splitter.svg"));
        if (!renderer.isValid())
            return QCursor(Qt::SplitHCursor);
        const qreal dpr = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
        const QSize logical = renderer.defaultSize();
        QPixmap pixmap = QPixmap::fromImage(Render(renderer, (QSizeF(logical) * dpr).toSize()));
        pixmap.setDevicePixelRatio(dpr);
        // The hot spot is the middle of the picture, between the two bars.
        store.splitterCursor = QCursor(pixmap, logical.width() / 2, logical.height() / 2);
    }
    return *store.splitterCursor;
}

}  // namespace morvane::skin
