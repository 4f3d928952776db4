#pragma once

#include <QByteArray>
#include <QString>
#include <future>
#include <memory>
#include <pugixml.hpp>

namespace melodrix {

// Parses catalog files for the search one step ahead, on a second thread, so that matching
// the items of one catalog overlaps reading and parsing the next. The search itself stays
// a plain loop on the caller's thread; only the parse of the announced next file runs beside it.
class TCatalogPrefetch {
public:
    TCatalogPrefetch() = default;
    ~TCatalogPrefetch();
    TCatalogPrefetch(const TCatalogPrefetch&) = delete;
    TCatalogPrefetch& operator=(const TCatalogPrefetch&) = delete;

    // Starts parsing `path` in the background (the file the search will want next).
    void Prefetch(const QString& path);
    // The parsed catalog at `path`, taken from the background parse when it was announced,
    // parsed now otherwise; null when the file is not a readable catalog.
    std::unique_ptr<pugi::xml_document> Take(const QString& path);

    static std::unique_ptr<pugi::xml_document> Parse(const QByteArray& encodedPath);

private:
    void Drop();

    QString pendingPath_;
    std::future<std::unique_ptr<pugi::xml_document>> pending_;
};

}  // namespace melodrix
