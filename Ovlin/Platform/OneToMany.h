#pragma once

#include "Base/Log.h"
#include "Platform/StoreContext.h"
#include "Platform/StoreRecord.h"

#include <QList>

#include <memory>

namespace ovlin::detail {

// Keeps both ends of a one-to-many relationship in step: the owner holds its members (shared_ptr, in
// the order they joined), each member points back at its owner (weak_ptr, so no ownership cycle).
// Owner must have `QList<std::shared_ptr<Member>> m_members`, Member `std::weak_ptr<Owner> m_owner`;
// both befriend this template. Only the member's row stores the link.
template <class Owner, class Member> struct OneToMany
{
    static void setOwner(Member &member, const std::shared_ptr<Owner> &owner)
    {
        StoreRecord &memberRecord = member;
        const std::shared_ptr<Owner> current = member.m_owner.lock();
        if (current == owner)
            return;
        if (memberRecord.isDeleted() || (owner && static_cast<StoreRecord &>(*owner).isDeleted())) {
            qCWarning(lcStore, "Ignored a relationship change that involves a deleted record");
            return;
        }
        StoreContext *memberContext = memberRecord.context();
        StoreContext *ownerContext = owner ? static_cast<StoreRecord &>(*owner).context() : nullptr;
        if (memberContext && ownerContext && memberContext != ownerContext) {
            qCWarning(lcStore, "Ignored a relationship between records of two different stores");
            return;
        }
        const auto self = std::static_pointer_cast<Member>(memberRecord.shared_from_this());
        if (current) {
            current->m_members.removeOne(self);
            static_cast<StoreRecord &>(*current).membersDidChange();
        }
        member.m_owner = owner;
        if (owner) {
            owner->m_members.append(self);
            static_cast<StoreRecord &>(*owner).membersDidChange();
        }
        // A free record linked to a stored one joins the same store, so no saved row points nowhere.
        if (memberContext && owner && !ownerContext)
            memberContext->insert(owner);
        else if (ownerContext && !memberContext)
            ownerContext->insert(self);
        memberRecord.didChange(Owner::staticRecordType);
    }

    static void append(Owner &owner, const std::shared_ptr<Member> &member)
    {
        if (member)
            setOwner(*member, std::static_pointer_cast<Owner>(static_cast<StoreRecord &>(owner).shared_from_this()));
    }

    static void remove(Owner &owner, const std::shared_ptr<Member> &member)
    {
        if (member && member->m_owner.lock().get() == &owner)
            setOwner(*member, nullptr);
    }

    // Makes `members` (duplicates dropped) the owner's whole list, in that order.
    static void setMembers(Owner &owner, const QList<std::shared_ptr<Member>> &members)
    {
        const QList<std::shared_ptr<Member>> old = owner.m_members;
        for (const auto &member : old) {
            if (!members.contains(member))
                setOwner(*member, nullptr);
        }
        for (const auto &member : members)
            append(owner, member);
        QList<std::shared_ptr<Member>> ordered;
        ordered.reserve(owner.m_members.size());
        for (const auto &member : members) {
            if (member && member->m_owner.lock().get() == &owner && !ordered.contains(member))
                ordered.append(member);
        }
        for (const auto &member : std::as_const(owner.m_members)) {
            if (!ordered.contains(member))
                ordered.append(member);
        }
        owner.m_members = ordered;
        static_cast<StoreRecord &>(owner).membersDidChange();
    }

    // Links a member read from the store to its owner, also read from the store: nothing to announce.
    static void linkLoaded(const std::shared_ptr<Owner> &owner, const std::shared_ptr<Member> &member)
    {
        member->m_owner = owner;
        owner->m_members.append(member);
    }

    // Room for `count` more members, so a long list read from the store is not grown by doubling.
    static void reserveMembers(Owner &owner, qsizetype count)
    {
        owner.m_members.reserve(owner.m_members.size() + count);
    }

    static void squeezeMembers(Owner &owner) { owner.m_members.squeeze(); }

    // The member is being deleted: it leaves its owner's list. Answers whether it had an owner.
    static bool leaveOwner(Member &member)
    {
        const std::shared_ptr<Owner> current = member.m_owner.lock();
        member.m_owner.reset();
        if (!current)
            return false;
        current->m_members.removeOne(
            std::static_pointer_cast<Member>(static_cast<StoreRecord &>(member).shared_from_this()));
        static_cast<StoreRecord &>(*current).membersDidChange();
        return true;
    }

    // The owner is being deleted: its members are deleted with it.
    static void deleteMembers(Owner &owner, StoreContext &context)
    {
        const QList<std::shared_ptr<Member>> members = owner.m_members;
        for (const auto &member : members)
            context.remove(member);
        owner.m_members.clear();
        static_cast<StoreRecord &>(owner).membersDidChange();
    }
};

} // namespace ovlin::detail
