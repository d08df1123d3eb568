// Keeps the analytics library non-empty while its sources are still being written.
namespace analytics::detail {
int anchor() { return 0; }
}
