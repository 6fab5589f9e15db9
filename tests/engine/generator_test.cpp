#include <string>

#include "test_support.h"

namespace {

// The listing character for character, from the cube's numbering to the
// case count: the generated table, each handler's pieces in their order and
// orientation, pinned whole.
TEST(Listing, IsTheGoldenListing) {
    const std::string listing =
        flushedOutput([](FILE* out) { CubeMarcher().initialiseCubeMarcher(out); });
    EXPECT_EQ(listing, golden("engine/listing.txt", listing));
}

}  // namespace
