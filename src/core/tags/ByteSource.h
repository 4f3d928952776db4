#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

class QFile;

namespace melodrix {

// Random access to the bytes of a file or a buffer. Tag readers ask for exactly the ranges they
// need, so an audio file is never read whole.
class IByteSource {
public:
    virtual ~IByteSource() = default;
    // The number of bytes, or nothing when it cannot be known.
    virtual std::optional<uint64_t> Size() = 0;
    // Fills `buffer` with the `size` bytes at `offset`; false when fewer bytes are there.
    virtual bool ReadAt(uint64_t offset, void* buffer, size_t size) = 0;
};

// A regular file opened read-only for the lifetime of the object.
class TFileByteSource final : public IByteSource {
public:
    explicit TFileByteSource(const QString& fileName);
    // The file whose name on disk is exactly these bytes (names need not be UTF-8).
    explicit TFileByteSource(const QByteArray& nativePath);
    // The same for a file a directory listing has just examined: its size is taken from the
    // listing, not asked for again. Reads stay within that size, so whatever stands there
    // now (a shorter file, a pipe or a device, whose listed size is 0) is never read past it.
    TFileByteSource(const QByteArray& nativePath, uint64_t listedSize);
    ~TFileByteSource() override;
    TFileByteSource(const TFileByteSource&) = delete;
    TFileByteSource& operator=(const TFileByteSource&) = delete;

    // False when the file could not be opened or is not a regular file (a folder, a pipe).
    bool IsOpen() const { return open_; }
    // The errno value of the first open or read that failed; 0 when none did. A file that is
    // not a regular one, or that ends before a range asked for, is no failure.
    int Error() const { return error_; }
    std::optional<uint64_t> Size() override;
    bool ReadAt(uint64_t offset, void* buffer, size_t size) override;

private:
    bool open_ = false;
    int error_ = 0;
    uint64_t size_ = 0;
#if defined(Q_OS_UNIX)
    int handle_ = -1;  // positioned reads need no seek state
#else
    std::unique_ptr<QFile> file_;
#endif
};

// Bytes held by the caller, who keeps them alive while the source is used.
class TMemoryByteSource final : public IByteSource {
public:
    explicit TMemoryByteSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    explicit TMemoryByteSource(std::string_view bytes)
        : bytes_(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()) {}
    // The bytes must outlive the source, which a temporary string would not.
    explicit TMemoryByteSource(std::string&&) = delete;

    std::optional<uint64_t> Size() override { return bytes_.size(); }
    bool ReadAt(uint64_t offset, void* buffer, size_t size) override;

private:
    std::span<const uint8_t> bytes_;
};

}  // namespace melodrix
