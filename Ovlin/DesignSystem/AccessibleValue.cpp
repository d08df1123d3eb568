#include "DesignSystem/AccessibleValue.h"

#include <QAccessibleWidget>
#include <QWidget>

#include <mutex>

namespace ovlin {

namespace {

class ValueAccessible : public QAccessibleWidget
{
public:
    ValueAccessible(QWidget *widget, const AccessibleValueSource *source)
        : QAccessibleWidget(widget, source->accessibleValueRole()), m_source(source)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return m_source->accessibleValueText();
        return QAccessibleWidget::text(t);
    }

private:
    // Owned by the widget; the interface is destroyed with it.
    const AccessibleValueSource *m_source;
};

QAccessibleInterface *valueFactory(const QString &, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget)
        return nullptr;
    const auto *source = dynamic_cast<const AccessibleValueSource *>(object);
    if (!source)
        return nullptr;
    return new ValueAccessible(widget, source);
}

} // namespace

void installAccessibleValueFactory()
{
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(valueFactory); });
}

} // namespace ovlin
