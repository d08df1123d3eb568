#pragma once

#include <QFlags>
#include <QHashFunctions>
#include <QtGlobal>

#include <cstddef>
#include <memory>
#include <type_traits>

namespace ovlin {

class StoreContext;

// A stored record type: one bit each, so that they combine as flags in change notifications. The types
// themselves are declared with the records.
enum class RecordType : quint8;
Q_DECLARE_FLAGS(RecordTypes, RecordType)
Q_DECLARE_OPERATORS_FOR_FLAGS(RecordTypes)

// The position of a record type's bit; the store keeps its per-type lists by it.
int recordTypeIndex(RecordType type);
// Room for as many record types as RecordTypes has bits.
inline constexpr int recordTypeCount = 8;

class StoreLoad;

namespace detail {
template <class Owner, class Member> struct OneToMany;
} // namespace detail

// Base of every stored record. Records are plain objects owned through std::shared_ptr and created by
// their static create() factories; the store context keeps one object per stored row.
//
// Identity: two records are the same record exactly when they are the same object (compare the
// shared_ptrs). persistentId() is the row's own key in the store and is assigned on insert; the
// record's `id` field is ordinary data and may repeat.
//
// A record that is not inserted anywhere is a free object: changing it notifies nobody. Once inserted,
// every setter tells the owning context, which marks the row dirty and announces the change.
class StoreRecord : public std::enable_shared_from_this<StoreRecord>
{
public:
    virtual ~StoreRecord();
    StoreRecord(const StoreRecord &) = delete;
    StoreRecord &operator=(const StoreRecord &) = delete;

    virtual RecordType recordType() const = 0;

    // The context the record lives in; null before insert, after its deletion was saved, and once the
    // context is gone.
    StoreContext *context() const { return m_context; }
    // The row key in the store; 0 until the record is inserted into a context.
    qint64 persistentId() const { return m_persistentId; }
    // True from the moment the record is deleted from its context (even before that is saved).
    bool isDeleted() const { return m_state == State::pendingDelete || m_state == State::deleted; }
    // True while the record has changes that its context has not saved yet.
    bool hasChanges() const { return m_state == State::pendingInsert || m_state == State::pendingDelete || m_dirty; }

    // Grows (from one process-wide counter) whenever this record's stored fields change, in a store or not,
    // and whenever the records it owns change: one joins or leaves, or one's stored fields change. Caches
    // of what one owner's members say key on it, so one change rebuilds only that owner's cache.
    quint64 changeStamp() const { return m_changeStamp; }

protected:
    StoreRecord() = default;

    // Stores `value` into `field` and reports the change; an equal value changes nothing.
    template <class V> void assign(V &field, const V &value)
    {
        if (field == value)
            return;
        field = value;
        didChange();
    }

    // Reports a change of this record's stored data; `alsoTouched` names other record types whose
    // relationships changed with it (the other end of a relationship).
    void didChange(RecordTypes alsoTouched = {});

    // Called by the context when the record is deleted: cascade to owned records or leave the owner.
    // Answers the other record types whose relationships changed with it.
    virtual RecordTypes willBeDeleted(StoreContext &context) = 0;
    // Called by the context when the record is inserted: bring related free records along.
    virtual void didInsert(StoreContext &context) = 0;
    // The owner whose members include this record, if any (its changeStamp follows this record).
    virtual StoreRecord *memberOwner() const { return nullptr; }

    // Marks the member list of this record as changed.
    void membersDidChange() { m_changeStamp = nextStamp(); }
    static quint64 nextStamp();

private:
    friend class StoreContext;
    template <class Owner, class Member> friend struct detail::OneToMany;
    friend class StoreLoad;

    enum class State : quint8 { free, pendingInsert, persisted, pendingDelete, deleted };

    StoreContext *m_context = nullptr;
    qint64 m_persistentId = 0;
    quint64 m_changeStamp = 0;
    // Last, so that a record type's own small fields can sit in the padding after them.
    State m_state = State::free;
    bool m_dirty = false;
};

// Records hash by identity, so QSet / QHash of record pointers work.
template <class T, std::enable_if_t<std::is_base_of_v<StoreRecord, T>, bool> = true>
size_t qHash(const std::shared_ptr<T> &record, size_t seed = 0) noexcept
{
    return ::qHash(static_cast<const void *>(record.get()), seed);
}

} // namespace ovlin
