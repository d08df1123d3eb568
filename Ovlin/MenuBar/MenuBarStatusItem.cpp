#include "MenuBar/MenuBarStatusItem.h"

namespace ovlin {

MenuBarStatusItem::~MenuBarStatusItem() = default;

} // namespace ovlin
