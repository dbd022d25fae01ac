#include "link/ftdi_products.h"

#include <gtest/gtest.h>

namespace korvan {
namespace {

TEST(FtdiProducts, EveryListedProductOfTheVendorIsTakenAndNothingElse) {
    for (const auto product : kFtdiProducts) {
        EXPECT_TRUE(IsListedFtdiProduct(0x0403, product)) << product;
        EXPECT_FALSE(IsListedFtdiProduct(0x0404, product)) << product;  // another vendor
    }
    EXPECT_FALSE(IsListedFtdiProduct(0x0403, 0x6002));  // a neighbour of a listed product
    EXPECT_FALSE(IsListedFtdiProduct(0x0403, 0x0000));
    EXPECT_FALSE(IsListedFtdiProduct(0x0403, 0xFFFF));
    EXPECT_FALSE(IsListedFtdiProduct(0x0000, 0x0000));
}

}  // namespace
}  // namespace korvan
