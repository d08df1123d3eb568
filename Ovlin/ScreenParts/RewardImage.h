#pragma once

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QString>

#include <optional>

class QPainter;

namespace ovlin {

// A reward's picture: reading the chosen file, shrinking it for storage, and decoding stored bytes for
// display. Files and stored bytes come from outside the program, so every decode is bounded: files over
// the size limit are refused, and an image whose pixels would need more memory than the decode limit
// is treated as one that does not decode.
struct RewardImage
{
    // Largest file the editor accepts (exactly this size is accepted).
    static constexpr qint64 maxFileBytes = 5 * 1024 * 1024;
    // Longer side of a stored picture.
    static constexpr int thumbnailSide = 512;
    // JPEG quality of a stored picture (compression factor 0.82).
    static constexpr int jpegQuality = 82;
    // Memory one decode may allocate for its pixels, in megabytes.
    static constexpr int decodeLimitMB = 128;

    enum class ReadResult { ok, unreadable, tooLarge };
    // Reads a regular file of at most maxFileBytes; anything else (a folder, a device, a pipe, a missing or
    // unreadable file, a larger file) yields no bytes. Never reads more than one byte past the limit.
    static std::optional<QByteArray> readFile(const QString &path, ReadResult *result = nullptr);

    // The picture types the editor takes, told by the file's first bytes (its name may say anything).
    // HEIC is an ISO media file whose brands name an HEVC-coded still image.
    enum class Type { jpeg, png, heic, webp };
    static std::optional<Type> contentType(const QByteArray &bytes);

    // The picture as stored: an image is redrawn at most thumbnailSide on its longer side (never enlarged)
    // and encoded as JPEG; bytes that do not decode as an image, or that would shrink to nothing, are
    // returned unchanged; a failed JPEG encoding gives none.
    static std::optional<QByteArray> makeThumbnail(const QByteArray &bytes);

    // The stored bytes as an image for display, at most `maxSide` on the longer side when given (decoded
    // at that size where the format allows). A null image when the bytes do not decode.
    static QImage decode(const QByteArray &bytes, int maxSide = 0);

    // Draws `image` scaled to fill `rect` with its aspect ratio kept, cropped to `rect`.
    static void paintFilled(QPainter &p, const QRectF &rect, const QImage &image);
};

// Remembers the last decoded picture, so a widget that paints the same stored bytes again does not
// decode them again.
class DecodedRewardImage
{
public:
    explicit DecodedRewardImage(int maxSide = 0) : m_maxSide(maxSide) {}

    // The decoded image for `bytes` (null when absent or undecodable).
    const QImage &imageFor(const std::optional<QByteArray> &bytes);

private:
    int m_maxSide;
    bool m_hasSource = false;
    QByteArray m_source;
    QImage m_image;
};

} // namespace ovlin
