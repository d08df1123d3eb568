#include "MenuBar/MenuBarListModel.h"

namespace ovlin {

MenuBarListModel::~MenuBarListModel() = default;

} // namespace ovlin
