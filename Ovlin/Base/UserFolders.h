#pragma once

#include <QString>

namespace ovlin {

// The user's base folders of the XDG Base Directory rules. A relative value in the environment is
// invalid there and ignored (with one log line per variable): otherwise the folders would depend on
// where Ovlin was started from.
enum class UserFolder {
    config,  // $XDG_CONFIG_HOME, else ~/.config
    data,    // $XDG_DATA_HOME, else ~/.local/share
    cache,   // $XDG_CACHE_HOME, else ~/.cache
    runtime, // $XDG_RUNTIME_DIR, else empty: there is no default
};

QString userFolder(UserFolder which);

// Takes relative XDG base folder values out of the environment (logging each as userFolder does), so that
// Qt's own lookups, some made while the application object is created, neither use nor create them.
// Call before the application object exists.
void forgetRelativeUserFolders();

} // namespace ovlin
