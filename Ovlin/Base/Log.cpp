#include "Base/Log.h"

namespace ovlin {
Q_LOGGING_CATEGORY(lcThread, "ovlin.thread")
Q_LOGGING_CATEGORY(lcStore, "ovlin.store")
Q_LOGGING_CATEGORY(lcDefaults, "ovlin.defaults")
Q_LOGGING_CATEGORY(lcEngine, "ovlin.engine")
Q_LOGGING_CATEGORY(lcNotify, "ovlin.notify")
Q_LOGGING_CATEGORY(lcUi, "ovlin.ui")
Q_LOGGING_CATEGORY(lcApp, "ovlin.app")
} // namespace ovlin
