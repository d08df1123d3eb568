#pragma once

#include "Platform/Store.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

namespace ovlin {

// The application delegate. For now it only opens the one store of the run.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    // Opens the store (makeContainer()) before anything else exists.
    explicit AppDelegate(QObject *parent = nullptr);
    ~AppDelegate() override;

    // The store of the whole run; never null.
    StoreContainer *sharedContainer() const { return m_sharedContainer.get(); }

    // Opens the store under applicationSupportFolder(): the first candidate that opens wins, every
    // failure is logged, and when all fail a memory-only store is used. Ends the program only when
    // even that fails. Never copies, moves, truncates or deletes a store file.
    static std::unique_ptr<StoreContainer> makeContainer();
    // The same under a given Application Support folder.
    static std::unique_ptr<StoreContainer> makeContainer(const QString &applicationSupport);

    // `locations` (store file paths) without those already in `seenPaths`, in order; each path kept
    // is added to `seenPaths` before the next is looked at.
    static QStringList storeCandidates(const QStringList &locations, QSet<QString> &seenPaths);

    // $XDG_DATA_HOME (the generic data folder), or ~/.local/share when none is known.
    static QString applicationSupportFolder();

private:
    std::unique_ptr<StoreContainer> m_sharedContainer;
};

} // namespace ovlin
