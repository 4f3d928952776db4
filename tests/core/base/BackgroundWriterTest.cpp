#include <gtest/gtest.h>

#include <QBuffer>
#include <string>

#include "core/base/BackgroundWriter.h"
#include "core/base/Errors.h"

using namespace melodrix;

namespace {

// A device that takes `room` bytes and then fails, as a full disk does.
class TFullDevice final : public QIODevice {
public:
    explicit TFullDevice(qint64 room) : room_(room) { open(QIODevice::WriteOnly); }
    QByteArray taken;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (taken.size() + size > room_) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        taken.append(data, size);
        return size;
    }

private:
    qint64 room_;
};

}  // namespace

TEST(BackgroundWriter, PiecesArriveWholeAndInOrder) {
    QByteArray written;
    QBuffer device(&written);
    device.open(QIODevice::WriteOnly);
    std::string expected;
    {
        TBackgroundWriter writer(device);
        std::string piece;
        for (int i = 0; i < 300; ++i) {
            // Pieces of many sizes, some empty, each telling its number.
            piece.assign(static_cast<size_t>(i % 7) * 1000, static_cast<char>('a' + i % 26));
            piece += std::to_string(i);
            if (i % 50 == 0) {
                piece.clear();
            }
            expected += piece;
            writer.Write(piece);
            EXPECT_TRUE(piece.empty()) << "the caller gets an empty buffer back";
        }
        writer.Finish();
        EXPECT_EQ(written.size(), static_cast<qsizetype>(expected.size()))
            << "every byte is on the device once Finish returns";
    }
    EXPECT_EQ(written.toStdString(), expected);
}

TEST(BackgroundWriter, AWriteErrorStopsTheWriterAndReachesTheCaller) {
    TFullDevice device(10'000);
    TBackgroundWriter writer(device);
    std::string piece;
    QString message;
    int handed = 0;
    try {
        for (; handed < 1000; ++handed) {
            piece.assign(4000, 'x');
            writer.Write(piece);
        }
        writer.Finish();
    } catch (const TMelodrixError& error) {
        message = error.Message();
    }
    EXPECT_EQ(message, QStringLiteral("No space left on device"));
    EXPECT_LT(handed, 1000) << "Write itself fails once a piece could not be written";
    EXPECT_EQ(device.taken.size(), 8000) << "nothing after the failed piece is written";
    EXPECT_THROW(writer.Finish(), TMelodrixError) << "the failure stays";
}

TEST(BackgroundWriter, LeavingWithoutFinishDropsWhatWaits) {
    QByteArray written;
    QBuffer device(&written);
    device.open(QIODevice::WriteOnly);
    {
        TBackgroundWriter writer(device);
        std::string piece(1 << 20, 'y');
        writer.Write(piece);
        piece.assign(1 << 20, 'z');
        writer.Write(piece);
        // An export that fails here (a cancel, a bad catalog) leaves the scope at once.
    }
    // Whatever was written is whole pieces, in order; the file is discarded by its owner.
    EXPECT_EQ(written.size() % (1 << 20), 0);
    EXPECT_TRUE(written.isEmpty() || written.front() == 'y');
}
