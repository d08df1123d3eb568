#include "GalleryRegistry.h"

namespace ovlin::gallery {

namespace {
std::vector<Page> &registry()
{
    static std::vector<Page> all;
    return all;
}
} // namespace

bool registerPage(const QString &name, PageFactory build)
{
    registry().push_back({name, std::move(build)});
    return true;
}

const std::vector<Page> &pages()
{
    return registry();
}

} // namespace ovlin::gallery
