#include "gui/stats/SizeMap.h"

#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cstring>

#include "core/search/Statistics.h"

namespace melodrix {

namespace {

const char* const kKindOrder[TFolderMap::kKinds] = {"music", "images", "video", "documents",
                                                    "other"};

int KindIndex(std::string_view extension) {
    const char* kind = KindOfExtension(extension);
    for (int i = 0; i < TFolderMap::kKinds; ++i) {
        if (std::strcmp(kind, kKindOrder[i]) == 0) {
            return i;
        }
    }
    return TFolderMap::kKinds - 1;
}

const char* const kCodecOrder[TFolderMap::kCodecs] = {"MP3",    "AAC",  "FLAC",    "ALAC",
                                                      "Vorbis", "Opus", "no codec"};

int CodecIndex(std::string_view codec) {
    for (int i = 0; i < TFolderMap::kCodecs - 1; ++i) {
        if (codec == kCodecOrder[i]) {
            return i;
        }
    }
    return TFolderMap::kCodecs - 1;
}

std::string ParentOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

int SizeMapColourCount(TMapColouring colouring) {
    return colouring == TMapColouring::Codec ? TFolderMap::kCodecs : TFolderMap::kKinds;
}

QColor SizeMapColour(TMapColouring colouring, int group, int depth) {
    static const QColor kinds[TFolderMap::kKinds] = {QColor(70, 130, 200), QColor(90, 170, 90),
                                                     QColor(210, 120, 60), QColor(190, 170, 70),
                                                     QColor(150, 150, 150)};
    static const QColor codecs[TFolderMap::kCodecs] = {
        QColor(70, 130, 200), QColor(200, 90, 90),  QColor(90, 170, 90),  QColor(150, 100, 190),
        QColor(210, 150, 60), QColor(60, 170, 170), QColor(150, 150, 150)};
    const QColor& colour = colouring == TMapColouring::Codec ? codecs[group] : kinds[group];
    return colour.lighter(100 + 12 * std::min(depth, 4));
}

const char* SizeMapColourName(TMapColouring colouring, int group) {
    return colouring == TMapColouring::Codec ? kCodecOrder[group] : kKindOrder[group];
}

int TFolderMap::FolderOf(const std::string& path) {
    // Items come in catalog order, so the parent is almost always on the open path.
    while (!open_.empty() && open_.back().first != path) {
        open_.pop_back();
    }
    return open_.empty() ? 0 : open_.back().second;
}

void TFolderMap::Add(const TFileItem& item) {
    const std::string path(item.Field(FullPath));
    if (folders.empty()) {
        TFolder top;
        top.path = path;
        top.name = path;
        folders.push_back(std::move(top));
        open_.push_back({path, 0});
        if (item.IsDirectory()) {
            return;
        }
    }
    const int parent = FolderOf(ParentOf(path));
    if (item.IsDirectory()) {
        TFolder folder;
        folder.path = path;
        const size_t slash = path.find_last_of("/\\");
        folder.name = slash == std::string::npos ? path : path.substr(slash + 1);
        folder.parent = parent;
        folder.items = 1;
        folders.push_back(std::move(folder));
        const int index = static_cast<int>(folders.size()) - 1;
        folders[static_cast<size_t>(parent)].children.push_back(index);
        open_.push_back({path, index});
        return;
    }
    const std::string_view sizeText = item.Field(FileSize);
    uint64_t size = 0;
    for (const char c : sizeText) {
        if (c < '0' || c > '9') {
            break;
        }
        size = size * 10 + static_cast<uint64_t>(c - '0');
    }
    TFolder& folder = folders[static_cast<size_t>(parent)];
    folder.ownBytes += size;
    folder.kindBytes[KindIndex(item.Field(FileExt))] += size;
    folder.codecBytes[CodecIndex(item.Field(AudioCodec))] += size;
    ++folder.items;
}

void TFolderMap::Finish() {
    // Children come after their parents, so one backward pass sums every depth.
    for (size_t i = folders.size(); i-- > 1;) {
        TFolder& folder = folders[i];
        folder.bytes += folder.ownBytes;
        TFolder& parent = folders[static_cast<size_t>(folder.parent)];
        parent.bytes += folder.bytes;
        parent.items += folder.items;
        for (int k = 0; k < kKinds; ++k) {
            parent.kindBytes[k] += folder.kindBytes[k];
        }
        for (int c = 0; c < kCodecs; ++c) {
            parent.codecBytes[c] += folder.codecBytes[c];
        }
    }
    if (!folders.empty()) {
        folders[0].bytes += folders[0].ownBytes;
    }
    for (TFolder& folder : folders) {
        std::sort(folder.children.begin(), folder.children.end(), [this](int a, int b) {
            return folders[static_cast<size_t>(a)].bytes > folders[static_cast<size_t>(b)].bytes;
        });
    }
    open_.clear();
}

int TFolderMap::KindOf(int folder) const {
    const TFolder& f = folders[static_cast<size_t>(folder)];
    return static_cast<int>(std::max_element(f.kindBytes, f.kindBytes + kKinds) - f.kindBytes);
}

int TFolderMap::CodecOf(int folder) const {
    const TFolder& f = folders[static_cast<size_t>(folder)];
    // Files without a codec (pictures, videos, music whose stream was not read) never outweigh
    // the music that has one.
    const uint64_t* most = std::max_element(f.codecBytes, f.codecBytes + kCodecs - 1);
    return *most > 0 ? static_cast<int>(most - f.codecBytes) : kCodecs - 1;
}

std::vector<QRectF> SquarifiedLayout(const std::vector<double>& sizes, const QRectF& area) {
    std::vector<QRectF> rects(sizes.size());
    double total = 0;
    for (const double size : sizes) {
        total += size;
    }
    if (total <= 0 || area.isEmpty()) {
        return rects;
    }
    const double scale = area.width() * area.height() / total;
    QRectF free = area;
    size_t start = 0;
    while (start < sizes.size()) {
        const double side = std::min(free.width(), free.height());
        // The worst aspect ratio of a row of areas along the short side.
        auto worst = [&](size_t end, double sum) {
            const double length = sum / side;
            double ratio = 0;
            for (size_t i = start; i < end; ++i) {
                const double breadth = sizes[i] * scale / length;
                ratio = std::max(ratio, std::max(length / breadth, breadth / length));
            }
            return ratio;
        };
        size_t end = start + 1;
        double sum = sizes[start] * scale;
        while (end < sizes.size() && worst(end + 1, sum + sizes[end] * scale) <= worst(end, sum)) {
            sum += sizes[end] * scale;
            ++end;
        }
        const double thickness = side > 0 ? sum / side : 0;
        double offset = 0;
        const bool wide = free.width() >= free.height();
        for (size_t i = start; i < end; ++i) {
            const double breadth = thickness > 0 ? sizes[i] * scale / thickness : 0;
            rects[i] = wide ? QRectF(free.left(), free.top() + offset, thickness, breadth)
                            : QRectF(free.left() + offset, free.top(), breadth, thickness);
            offset += breadth;
        }
        free = wide ? free.adjusted(thickness, 0, 0, 0) : free.adjusted(0, thickness, 0, 0);
        start = end;
    }
    return rects;
}

TSizeMap::TSizeMap(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("SizeMap"));
    setMouseTracking(true);
    setMinimumSize(200, 150);
}

void TSizeMap::SetMap(std::shared_ptr<const TFolderMap> map) {
    map_ = std::move(map);
    root_ = 0;
    laidOut_ = false;
    update();
}

void TSizeMap::ZoomTo(int folder) {
    if (!map_ || folder < 0 || folder >= static_cast<int>(map_->folders.size())) {
        return;
    }
    root_ = folder;
    laidOut_ = false;
    update();
    emit Zoomed(folder);
}

void TSizeMap::SetColouring(TMapColouring colouring) {
    colouring_ = colouring;
    update();
}

int TSizeMap::ColourGroupOf(int folder) const {
    return colouring_ == TMapColouring::Codec ? map_->CodecOf(folder) : map_->KindOf(folder);
}

const std::vector<TSizeMap::TTile>& TSizeMap::Tiles() {
    if (!laidOut_) {
        tiles_.clear();
        if (map_ && !map_->folders.empty()) {
            Lay(root_, QRectF(rect()).adjusted(1, 1, -1, -1), 0);
        }
        laidOut_ = true;
    }
    return tiles_;
}

void TSizeMap::Lay(int folder, const QRectF& rect, int depth) {
    tiles_.push_back({folder, rect, depth});
    const TFolderMap::TFolder& f = map_->folders[static_cast<size_t>(folder)];
    // Room for a caption line and a border; below that the tile stays one block.
    const QRectF inner = rect.adjusted(2, depth == 0 ? 2 : 14, -2, -2);
    if (inner.width() < 4 || inner.height() < 4 || f.bytes == 0) {
        return;
    }
    // The folder's own files take their share of the tile unpainted by children.
    std::vector<double> sizes;
    const double area = inner.width() * inner.height();
    for (const int child : f.children) {
        const double share = static_cast<double>(map_->folders[static_cast<size_t>(child)].bytes);
        // Children are sorted, so the rest are smaller still: below a pixel they add nothing.
        if (share / static_cast<double>(f.bytes) * area < 1.0) {
            break;
        }
        sizes.push_back(share);
    }
    double shown = 0;
    for (const double size : sizes) {
        shown += size;
    }
    const double rest = static_cast<double>(f.bytes) - shown;
    if (rest > 0) {
        sizes.push_back(rest);
    }
    const std::vector<QRectF> rects = SquarifiedLayout(sizes, inner);
    for (size_t i = 0; i < rects.size() && i < f.children.size(); ++i) {
        if (rest > 0 && i + 1 == rects.size()) {
            break;  // the rest: the folder's own files and folders too small to show
        }
        Lay(f.children[i], rects[i], depth + 1);
    }
}

int TSizeMap::FolderAt(QPointF point) const {
    int found = -1;
    for (const TTile& tile : const_cast<TSizeMap*>(this)->Tiles()) {
        if (tile.rect.contains(point)) {
            found = tile.folder;  // later tiles are deeper
        }
    }
    return found;
}

QString TSizeMap::Describe(int folder) const {
    const TFolderMap::TFolder& f = map_->folders[static_cast<size_t>(folder)];
    const uint64_t whole = map_->folders[static_cast<size_t>(root_)].bytes;
    const QLocale locale;
    return QStringLiteral("%1\n%2, %3% of the shown folder, %4 items")
        .arg(QString::fromStdString(f.path), locale.formattedDataSize(qint64(f.bytes)))
        .arg(whole ? 100.0 * static_cast<double>(f.bytes) / static_cast<double>(whole) : 0.0, 0,
             'f', 1)
        .arg(locale.toString(qulonglong(f.items)));
}

void TSizeMap::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (!map_) {
        return;
    }
    for (const TTile& tile : Tiles()) {
        painter.setPen(QPen(palette().window().color().darker(130), 1));
        painter.setBrush(SizeMapColour(colouring_, ColourGroupOf(tile.folder), tile.depth));
        painter.drawRect(tile.rect);
        if (tile.depth > 0 && tile.rect.width() > 30 && tile.rect.height() > 14) {
            painter.setPen(Qt::black);
            painter.drawText(
                tile.rect.adjusted(3, 0, -2, 0).toRect(),
                Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                painter.fontMetrics().elidedText(
                    QString::fromStdString(map_->folders[static_cast<size_t>(tile.folder)].name),
                    Qt::ElideRight, static_cast<int>(tile.rect.width()) - 5));
        }
    }
}

void TSizeMap::resizeEvent(QResizeEvent* event) {
    laidOut_ = false;
    QWidget::resizeEvent(event);
}

void TSizeMap::mouseMoveEvent(QMouseEvent* event) {
    const int folder = FolderAt(event->position());
    if (folder >= 0) {
        QToolTip::showText(event->globalPosition().toPoint(), Describe(folder), this);
    } else {
        QToolTip::hideText();
    }
}

void TSizeMap::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !map_) {
        return;
    }
    // One level down: the child of the shown folder that holds the point.
    int folder = FolderAt(event->position());
    while (folder >= 0 && map_->folders[static_cast<size_t>(folder)].parent != root_) {
        folder = map_->folders[static_cast<size_t>(folder)].parent;
    }
    if (folder >= 0) {
        ZoomTo(folder);
    }
}

void TSizeMap::mouseDoubleClickEvent(QMouseEvent* event) {
    const int folder = FolderAt(event->position());
    if (folder >= 0) {
        emit ShowFolder(folder);
    }
}

}  // namespace melodrix
