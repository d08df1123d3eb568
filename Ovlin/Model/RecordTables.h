#pragma once

namespace ovlin {

class StoreTableMapping;

// How each record type lies in its table; the schema lists them in schema order (StoreSchema.cpp).
const StoreTableMapping &reminderTable();
const StoreTableMapping &reminderLogTable();
const StoreTableMapping &milestoneTable();
const StoreTableMapping &milestoneLogTable();

} // namespace ovlin
