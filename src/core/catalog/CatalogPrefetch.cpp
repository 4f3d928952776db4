#include "core/catalog/CatalogPrefetch.h"

#include <QFile>

namespace melodrix {

TCatalogPrefetch::~TCatalogPrefetch() {
    Drop();
}

std::unique_ptr<pugi::xml_document> TCatalogPrefetch::Parse(const QByteArray& encodedPath) {
    auto document = std::make_unique<pugi::xml_document>();
    const pugi::xml_parse_result parsed =
        document->load_file(encodedPath.constData(), pugi::parse_default | pugi::parse_declaration);
    if (!parsed || !document->document_element()) {
        return nullptr;
    }
    return document;
}

void TCatalogPrefetch::Drop() {
    if (pending_.valid()) {
        pending_.wait();
        pending_ = {};
    }
    pendingPath_.clear();
}

void TCatalogPrefetch::Prefetch(const QString& path) {
    Drop();
    pendingPath_ = path;
    pending_ = std::async(std::launch::async, &TCatalogPrefetch::Parse, QFile::encodeName(path));
}

std::unique_ptr<pugi::xml_document> TCatalogPrefetch::Take(const QString& path) {
    if (pending_.valid() && pendingPath_ == path) {
        pendingPath_.clear();
        try {
            return pending_.get();
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
    Drop();
    return Parse(QFile::encodeName(path));
}

}  // namespace melodrix
