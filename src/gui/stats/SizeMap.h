#pragma once

#include <QColor>
#include <QRectF>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/catalog/FileItem.h"

namespace melodrix {

// The folders of a catalog with what their files take, for the size map. Files are not kept
// one by one: each folder holds the bytes of its own files by kind, so a catalog of a million
// files costs only as much as its folders.
struct TFolderMap {
    static constexpr int kKinds = 5;  // as the kinds of the statistics: music, images...
    // The codecs AudioCodec names, then one for every file without one (or of another codec).
    static constexpr int kCodecs = 7;
    struct TFolder {
        std::string path;
        std::string name;
        int parent = -1;
        uint64_t bytes = 0;  // of every file below, in all depths
        uint64_t items = 0;  // files and folders below
        uint64_t ownBytes = 0;
        uint64_t kindBytes[kKinds] = {};    // by kind, in all depths
        uint64_t codecBytes[kCodecs] = {};  // by codec, in all depths
        std::vector<int> children;          // most bytes first, once Finish has run
    };
    std::vector<TFolder> folders;  // the first is the catalog's top item

    // Adds an item of the catalog; items come parents first, as the catalog lists them.
    void Add(const TFileItem& item);
    // Sums the folders' figures upwards and sorts each folder's children.
    void Finish();
    // The kind that takes most bytes under a folder.
    int KindOf(int folder) const;
    // The codec that takes most bytes of the music under a folder; kCodecs - 1 when no file
    // below names one.
    int CodecOf(int folder) const;

private:
    std::vector<std::pair<std::string, int>> open_;  // the folders of the path being added
    int FolderOf(const std::string& path);
};

// What the tiles' colours tell: the kind of file or the codec of the music that takes most
// space in each folder.
enum class TMapColouring { Kind, Codec };

// The number of colours of a colouring, the colour of one at a depth of the map (deeper is
// lighter) and its name.
int SizeMapColourCount(TMapColouring colouring);
QColor SizeMapColour(TMapColouring colouring, int group, int depth);
const char* SizeMapColourName(TMapColouring colouring, int group);

// Squarified layout of sizes (largest first) in a rectangle: one rectangle per size, their
// areas in proportion, each as near square as the row it is in allows.
std::vector<QRectF> SquarifiedLayout(const std::vector<double>& sizes, const QRectF& area);

// The size map of a catalog's folders, painted by hand. Hovering names a folder, a click
// zooms into it, ZoomTo goes back up (the breadcrumb), a double click asks to show it.
class TSizeMap final : public QWidget {
    Q_OBJECT
public:
    explicit TSizeMap(QWidget* parent = nullptr);
    void SetMap(std::shared_ptr<const TFolderMap> map);
    const TFolderMap* Map() const { return map_.get(); }
    int Root() const { return root_; }
    void ZoomTo(int folder);
    TMapColouring Colouring() const { return colouring_; }
    void SetColouring(TMapColouring colouring);
    // The colour group of a folder under the current colouring.
    int ColourGroupOf(int folder) const;
    // The folder whose tile is at a point (the deepest shown), or -1.
    int FolderAt(QPointF point) const;
    // The tiles painted: a folder and its rectangle, parents before children.
    struct TTile {
        int folder;
        QRectF rect;
        int depth;
    };
    const std::vector<TTile>& Tiles();
    // "path, size, share of the shown folder, items" for a folder.
    QString Describe(int folder) const;

signals:
    void Zoomed(int folder);
    void ShowFolder(int folder);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void Lay(int folder, const QRectF& rect, int depth);

    std::shared_ptr<const TFolderMap> map_;
    int root_ = 0;
    std::vector<TTile> tiles_;
    bool laidOut_ = false;
    TMapColouring colouring_ = TMapColouring::Kind;
};

}  // namespace melodrix
