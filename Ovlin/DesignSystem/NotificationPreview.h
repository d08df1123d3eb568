#pragma once

#include <QRectF>
#include <QWidget>

namespace ovlin {

// A mock of the system notification a reminder will produce: the app thumbnail, "OVLIN", "now", the
// title (one line) and the message (at most two lines) on a white rounded card. As wide as it is
// offered, as tall as its content.
class NotificationPreview : public QWidget
{
    Q_OBJECT
public:
    NotificationPreview(const QString &title, const QString &message, QWidget *parent = nullptr);

    QString title() const { return m_title; }
    void setTitle(const QString &title);
    QString message() const { return m_message; }
    void setMessage(const QString &message);

    // "Notification: <title>. <message>"
    static QString accessibilityLabel(const QString &title, const QString &message);

    struct Geometry
    {
        QRectF thumbnail;
        QRectF header;
        QRectF title;
        QRectF message;
        double height = 0;
    };
    Geometry geometryForWidth(double width) const;

    static constexpr double nameTracking = 2.2;
    static constexpr int messageMaxLines = 2;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void refresh();

    QString m_title;
    QString m_message;
};

} // namespace ovlin
