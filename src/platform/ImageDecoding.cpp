#include "platform/ImageDecoding.h"

#include <QBuffer>
#include <QImageReader>

#include <mutex>

namespace ImageDecoding {

namespace {
std::mutex s_mutex;
int s_holders = 0;
int s_saved = 0;
} // namespace

LargeImageAllowance::LargeImageAllowance()
{
    std::lock_guard lock(s_mutex);
    if (s_holders++ == 0) {
        s_saved = QImageReader::allocationLimit();
        // In MB; no limit stays no limit.
        constexpr int needed = int((qint64(kMaxDecodedSide) * kMaxDecodedSide * 4 + (1 << 20) - 1) >> 20);
        if (s_saved > 0 && s_saved < needed)
            QImageReader::setAllocationLimit(needed);
    }
}

LargeImageAllowance::~LargeImageAllowance()
{
    std::lock_guard lock(s_mutex);
    if (--s_holders == 0)
        QImageReader::setAllocationLimit(s_saved);
}

QImage fromBytes(const QByteArray &data, const std::function<QImage(QImageReader &)> &read)
{
    if (data.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return read(reader);
}

} // namespace ImageDecoding
