#include <keldar/core/Algorithms.h>

#include <gtest/gtest.h>

using Keldar::Algorithms::explodeToVector;
using Pieces = std::vector<std::string>;

TEST(ExplodeToVector, SplitsAtEveryDelimiter)
{
    EXPECT_EQ(explodeToVector("a,b,c", ','), (Pieces{"a", "b", "c"}));
    EXPECT_EQ(explodeToVector("192.168.1.10", '.'), (Pieces{"192", "168", "1", "10"}));
}

TEST(ExplodeToVector, KeepsEmptyPieces)
{
    EXPECT_EQ(explodeToVector("a,,b", ','), (Pieces{"a", "", "b"}));
    EXPECT_EQ(explodeToVector(",a,", ','), (Pieces{"", "a", ""}));
    EXPECT_EQ(explodeToVector(",,", ','), (Pieces{"", "", ""}));
}

TEST(ExplodeToVector, NoDelimiterGivesWholeText)
{
    EXPECT_EQ(explodeToVector("abc", ','), (Pieces{"abc"}));
    EXPECT_EQ(explodeToVector("", ','), (Pieces{""}));
}

TEST(ExplodeToVector, OtherCharactersAreNotDelimiters)
{
    EXPECT_EQ(explodeToVector("a;b,c", ';'), (Pieces{"a", "b,c"}));
    EXPECT_EQ(explodeToVector(std::string("a\0b", 3), '\0'), (Pieces{"a", "b"}));
}
