#include "ScreenParts/RewardImage.h"

#include "Base/Log.h"
#include "Base/UserFiles.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace ovlin {

namespace {

void prepareReader(QImageReader &reader)
{
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(RewardImage::decodeLimitMB);
}

// The size the image takes at most `maxSide` on its longer side; halves round away from zero.
QSize fittedSize(const QSize &natural, int maxSide)
{
    const int longer = std::max(natural.width(), natural.height());
    if (longer <= maxSide)
        return natural;
    const double scale = double(maxSide) / double(longer);
    return QSize(int(std::lround(natural.width() * scale)), int(std::lround(natural.height() * scale)));
}

quint64 bigEndian(const QByteArray &bytes, qsizetype at, int length)
{
    quint64 value = 0;
    for (int i = 0; i < length; ++i)
        value = (value << 8) | quint8(bytes.at(at + i));
    return value;
}

// An ISO media file opens with its "ftyp" box: a major brand, a minor version, then compatible brands.
bool isHeic(const QByteArray &bytes)
{
    if (bytes.size() < 16 || bytes.mid(4, 4) != "ftyp")
        return false;
    quint64 boxSize = bigEndian(bytes, 0, 4);
    qsizetype header = 8;
    if (boxSize == 1) {
        if (bytes.size() < 24)
            return false;
        boxSize = bigEndian(bytes, 8, 8);
        header = 16;
    } else if (boxSize == 0) {
        boxSize = quint64(bytes.size());
    }
    if (boxSize < quint64(header) + 8)
        return false;
    const qsizetype end = qsizetype(std::min(boxSize, quint64(bytes.size())));
    // The still-image brands of HEVC-coded HEIF; "mif1" alone may hold AV1 (AVIF) or JPEG images.
    static const QList<QByteArray> heicBrands{"heic", "heix", "heim", "heis"};
    for (qsizetype at = header; at + 4 <= end; at += 4) {
        if (at == header + 4)
            continue; // the minor version
        if (heicBrands.contains(bytes.mid(at, 4)))
            return true;
    }
    return false;
}

} // namespace

std::optional<RewardImage::Type> RewardImage::contentType(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xD8\xFF"))
        return Type::jpeg;
    if (bytes.startsWith(QByteArray("\x89PNG\r\n\x1A\n", 8)))
        return Type::png;
    if (bytes.size() >= 12 && bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP")
        return Type::webp;
    if (isHeic(bytes))
        return Type::heic;
    return std::nullopt;
}

std::optional<QByteArray> RewardImage::readFile(const QString &path, ReadResult *result)
{
    auto fail = [result](ReadResult why) -> std::optional<QByteArray> {
        if (result)
            *result = why;
        return std::nullopt;
    };
    // Only regular files: a pipe or a device could block or never end.
    FileRead file = readRegularFile(path, maxFileBytes);
    if (file.status == FileRead::Status::tooLarge)
        return fail(ReadResult::tooLarge);
    if (file.status != FileRead::Status::ok)
        return fail(ReadResult::unreadable);
    if (result)
        *result = ReadResult::ok;
    return std::move(file.bytes);
}

std::optional<QByteArray> RewardImage::makeThumbnail(const QByteArray &bytes)
{
    QBuffer input;
    input.setData(bytes);
    if (!input.open(QIODevice::ReadOnly))
        return bytes;
    QImageReader reader(&input);
    prepareReader(reader);
    if (!reader.canRead())
        return bytes;
    QSize natural = reader.size();
    QImage image;
    if (!natural.isValid()) {
        // The format does not tell its size up front: decode it whole (within the decode limit).
        image = reader.read();
        if (image.isNull())
            return bytes;
        natural = image.size();
    }
    const QSize target = fittedSize(natural, thumbnailSide);
    if (target.width() < 1 || target.height() < 1)
        return bytes;
    if (image.isNull()) {
        // Decoding straight at the target size keeps large photos within bounds where the format allows.
        if (target != natural)
            reader.setScaledSize(target);
        image = reader.read();
        if (image.isNull()) {
            qCDebug(lcUi) << "reward picture does not decode:" << reader.errorString();
            return bytes;
        }
    }
    // A photo turned by its orientation tag comes out with its sides swapped.
    const QSize drawn = image.size() == target.transposed() ? image.size() : target;

    // Drawn into a fresh transparent bitmap and encoded without alpha.
    QImage bitmap(drawn, QImage::Format_ARGB32_Premultiplied);
    if (bitmap.isNull())
        return bytes;
    bitmap.fill(Qt::transparent);
    {
        QPainter p(&bitmap);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRectF(QPointF(0, 0), QSizeF(drawn)), image);
    }
    QByteArray encoded;
    QBuffer output(&encoded);
    if (!output.open(QIODevice::WriteOnly))
        return std::nullopt;
    QImageWriter writer(&output, "jpeg");
    writer.setQuality(jpegQuality);
    if (!writer.write(bitmap.convertToFormat(QImage::Format_RGB32))) {
        qCDebug(lcUi) << "reward picture does not encode:" << writer.errorString();
        return std::nullopt;
    }
    return encoded;
}

QImage RewardImage::decode(const QByteArray &bytes, int maxSide)
{
    if (bytes.isEmpty())
        return {};
    QBuffer input;
    input.setData(bytes);
    if (!input.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&input);
    prepareReader(reader);
    if (!reader.canRead())
        return {};
    const QSize natural = reader.size();
    if (maxSide > 0 && natural.isValid()) {
        const QSize target = fittedSize(natural, maxSide);
        if (target.width() < 1 || target.height() < 1)
            return {};
        if (target != natural)
            reader.setScaledSize(target);
    }
    QImage image = reader.read();
    if (image.isNull())
        return {};
    if (maxSide > 0 && std::max(image.width(), image.height()) > maxSide)
        image = image.scaled(maxSide, maxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

void RewardImage::paintFilled(QPainter &p, const QRectF &rect, const QImage &image)
{
    if (image.isNull() || rect.isEmpty())
        return;
    const QSizeF source = image.size();
    const double scale = std::max(rect.width() / source.width(), rect.height() / source.height());
    // The part of the image that covers the rect, centred.
    const QSizeF shown(rect.width() / scale, rect.height() / scale);
    const QRectF from((source.width() - shown.width()) / 2, (source.height() - shown.height()) / 2, shown.width(),
                      shown.height());
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setClipRect(rect, Qt::IntersectClip);
    p.drawImage(rect, image, from);
    p.restore();
}

const QImage &DecodedRewardImage::imageFor(const std::optional<QByteArray> &bytes)
{
    if (!bytes) {
        m_hasSource = false;
        m_source.clear();
        m_image = QImage();
        return m_image;
    }
    // Stored bytes are shared copies: the same data pointer means the same picture, without comparing.
    const bool same = m_hasSource && m_source.size() == bytes->size() &&
                      (m_source.constData() == bytes->constData() || m_source == *bytes);
    if (!same) {
        m_hasSource = true;
        m_source = *bytes;
        m_image = RewardImage::decode(*bytes, m_maxSide);
    }
    return m_image;
}

} // namespace ovlin
