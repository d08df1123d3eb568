#include "Platform/LiveQuery.h"

#include <QMetaObject>

namespace ovlin {

LiveQueryBase::LiveQueryBase(StoreContext *context, QObject *parent) : QObject(parent), m_context(context)
{
    if (context)
        connect(context, &StoreContext::objectsChanged, this, &LiveQueryBase::contextChanged);
}

void LiveQueryBase::refreshIfStale() const
{
    const quint64 revision = m_context ? m_context->revision() : 0;
    if (revision == m_fetchedRevision)
        return;
    // A read between a change and its notification already sees the new result; the signal still
    // follows with the context's notification.
    if (const_cast<LiveQueryBase *>(this)->refetch())
        m_unannounced = true;
}

void LiveQueryBase::queryChanged()
{
    if (refetch() && !m_unannounced) {
        m_unannounced = true;
        QMetaObject::invokeMethod(this, &LiveQueryBase::contextChanged, Qt::QueuedConnection);
    }
}

void LiveQueryBase::contextChanged()
{
    refreshIfStale();
    if (m_unannounced) {
        m_unannounced = false;
        Q_EMIT resultChanged();
    }
}

} // namespace ovlin
