// Keeps the widgets library non-empty while its folders are still being filled.
namespace ovlin::detail {
int uiAnchor() { return 0; }
}
