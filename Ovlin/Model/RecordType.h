#pragma once

#include "Platform/StoreRecord.h"

namespace ovlin {

// The stored record types, in schema order.
enum class RecordType : quint8 { reminder = 0x1, reminderLog = 0x2, milestone = 0x4, milestoneLog = 0x8 };

} // namespace ovlin
