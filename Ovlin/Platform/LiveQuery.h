#pragma once

#include "Platform/StoreContext.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

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

    QList<std::shared_ptr<T>> result() const
    {
        refreshIfStale();
        return m_result;
    }

    void setPredicate(StoreContext::Predicate<T> predicate)
    {
        m_predicate = std::move(predicate);
        m_fetched = false;
        queryChanged();
    }

    void setLessThan(StoreContext::LessThan<T> lessThan)
    {
        m_lessThan = std::move(lessThan);
        m_fetched = false;
        queryChanged();
    }

protected:
    bool refetch() override
    {
        if (const std::optional<bool> changed = applyChanges()) {
            m_fetchedRevision = m_context->revision();
            return *changed;
        }
        QList<std::shared_ptr<T>> fresh;
        m_fetchedRevision = m_context ? m_context->revision() : 0;
        if (m_context)
            fresh = m_context->template fetch<T>(m_predicate, m_lessThan);
        m_fetched = m_context != nullptr;
        if (fresh == m_result)
            return false;
        m_result = std::move(fresh);
        return true;
    }

private:
    // Brings the result up to date from the context's journal when only records of type T were inserted
    // or deleted since the last fetch: a few binary searches instead of a fetch and a sort of everything.
    // Answers whether the result changed, or nothing when a full fetch is needed.
    std::optional<bool> applyChanges()
    {
        if (!m_context || !m_fetched)
            return std::nullopt;
        std::vector<StoreContext::ChangedRecord> changes;
        RecordTypes linked;
        if (!m_context->changesSince(m_fetchedRevision, &changes, &linked) || (linked & T::staticRecordType))
            return std::nullopt;
        std::vector<std::shared_ptr<T>> inserted;
        std::vector<std::shared_ptr<T>> deleted;
        const auto isNew = [&inserted](const std::shared_ptr<T> &record) {
            return std::find(inserted.begin(), inserted.end(), record) != inserted.end();
        };
        for (const auto &change : changes) {
            if (!change.record)
                continue; // dropped by everyone, so in no result
            if (change.record->recordType() != T::staticRecordType)
                return std::nullopt; // the predicate or the order may read related records
            auto typed = std::static_pointer_cast<T>(change.record);
            switch (change.change) {
            case StoreContext::Change::inserted: inserted.push_back(std::move(typed)); break;
            case StoreContext::Change::updated:
                // A new record is placed by its fields as they are now; an old one may have to move.
                if (!isNew(typed))
                    return std::nullopt;
                break;
            case StoreContext::Change::deleted:
                if (isNew(typed))
                    std::erase(inserted, typed); // came and went
                else
                    deleted.push_back(std::move(typed));
                break;
            }
        }
        QList<std::shared_ptr<T>> result = m_result;
        bool changed = false;
        for (const auto &record : deleted) {
            // Its fields have not changed since the last fetch, so it sits where the order put it.
            const auto range = equalRange(result, *record);
            qsizetype found = -1;
            for (auto i = range.first; i < range.second && found < 0; ++i) {
                if (result.at(i) == record)
                    found = i;
            }
            if (found < 0)
                return std::nullopt; // filtered out, or its order reads records that changed with it
            result.removeAt(found);
            changed = true;
        }
        for (const auto &record : inserted) {
            if (record->isDeleted() || (m_predicate && !m_predicate(*record)))
                continue;
            // After its equals: records inserted later have larger row keys, and equals keep store order.
            result.insert(equalRange(result, *record).second, record);
            changed = true;
        }
        m_result = std::move(result);
        return changed;
    }

    // The positions of the records that sort equal to `record` (by lessThan, else by store order).
    std::pair<qsizetype, qsizetype> equalRange(const QList<std::shared_ptr<T>> &list, const T &record) const
    {
        const auto begin = list.cbegin();
        if (!m_lessThan) {
            const auto at = std::lower_bound(begin, list.cend(), record.persistentId(),
                                             [](const auto &r, qint64 id) { return r->persistentId() < id; });
            const qsizetype i = at - begin;
            return {i, i < list.size() && list.at(i).get() == &record ? i + 1 : i};
        }
        const auto range = std::equal_range(begin, list.cend(), record, [this](const auto &a, const auto &b) {
            return m_lessThan(deref(a), deref(b));
        });
        // Among equals the store order decides: narrow to the row key.
        auto from = range.first;
        while (from != range.second && (*from)->persistentId() < record.persistentId())
            ++from;
        return {from - begin, range.second - begin};
    }

    static const T &deref(const T &record) { return record; }
    static const T &deref(const std::shared_ptr<T> &record) { return *record; }

    StoreContext::Predicate<T> m_predicate;
    StoreContext::LessThan<T> m_lessThan;
    QList<std::shared_ptr<T>> m_result;
    bool m_fetched = false;
};

} // namespace ovlin
