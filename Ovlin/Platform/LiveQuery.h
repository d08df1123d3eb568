#pragma once

#include "Platform/StoreContext.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>
#include <utility>

namespace ovlin {

// Signal side of LiveQuery<T> (templates cannot carry signals).
class LiveQueryBase : public QObject
{
    Q_OBJECT

public:
    StoreContext *context() const { return m_context; }

Q_SIGNALS:
    // The result's records or their order changed. Queued like the context's own notifications.
    void resultChanged();

protected:
    explicit LiveQueryBase(StoreContext *context, QObject *parent);
    // Fetches afresh; answers whether the result (identity and order) differs from the previous one.
    virtual bool refetch() = 0;
    // Fetches afresh when the context changed since the last fetch.
    void refreshIfStale() const;
    // The query itself changed: fetch now, announce a different result after the current action.
    void queryChanged();

    QPointer<StoreContext> m_context;
    mutable quint64 m_fetchedRevision = 0;
    mutable bool m_unannounced = false;

private:
    void contextChanged();
};

// A fetch that keeps itself current: result() always reflects the context, and resultChanged() is
// emitted (after the action that caused it) only when the list of records or their order changed.
// Field changes that keep the same records in the same order do not signal; watch the context for those.
template <class T> class LiveQuery final : public LiveQueryBase
{
public:
    LiveQuery(StoreContext *context, StoreContext::Predicate<T> predicate = {}, StoreContext::LessThan<T> lessThan = {},
              QObject *parent = nullptr)
        : LiveQueryBase(context, parent), m_predicate(std::move(predicate)), m_lessThan(std::move(lessThan))
    {
        refetch();
    }

    const QList<std::shared_ptr<T>> &result() const
    {
        refreshIfStale();
        return m_result;
    }

    void setPredicate(StoreContext::Predicate<T> predicate)
    {
        m_predicate = std::move(predicate);
        queryChanged();
    }

    void setLessThan(StoreContext::LessThan<T> lessThan)
    {
        m_lessThan = std::move(lessThan);
        queryChanged();
    }

protected:
    bool refetch() override
    {
        QList<std::shared_ptr<T>> fresh;
        m_fetchedRevision = m_context ? m_context->revision() : 0;
        if (m_context)
            fresh = m_context->template fetch<T>(m_predicate, m_lessThan);
        if (fresh == m_result)
            return false;
        m_result = std::move(fresh);
        return true;
    }

private:
    StoreContext::Predicate<T> m_predicate;
    StoreContext::LessThan<T> m_lessThan;
    QList<std::shared_ptr<T>> m_result;
};

} // namespace ovlin
