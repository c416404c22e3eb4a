// The valid policy tree on its own, in the situations RFC 3280 section 6.1
// describes and PKITS does not reach (its mapping certificates mark the
// mappings critical): mappings under anyPolicy, deletion when mapping is
// inhibited, and the final intersection with the user's policies.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "ASN1Pkix/PValidPolicyTree.h"

namespace qelt::test {
namespace {

const ByteString kAny(PValidPolicyTree::kAnyPolicy), kP1("1 2 3 1"), kP2("1 2 3 2"), kP3("1 2 3 3");

std::set<std::string> policiesAt(const PValidPolicyTree& tree, int depth) {
    std::set<std::string> out;
    for (const auto* node : tree.nodesAt(depth)) out.insert(node->validPolicy.c_str());
    return out;
}

TEST(PolicyTree, AnyPolicyAtTheLastDepthStandsForEachUserPolicy) {
    PValidPolicyTree tree;
    ASSERT_EQ(tree.addPolicyToIPS("1 2 3 1"), 0);
    ASSERT_EQ(tree.addPolicyToIPS("1.2.3.2"), 0);
    EXPECT_EQ(tree.addPolicyToIPS("x"), 1);
    tree.reset();
    for (int depth = 1; depth <= 2; ++depth) {
        tree.openDepth();
        tree.addAnyPolicy(ByteString());
        tree.deleteNullNode();
    }
    tree.intersectWithIPS();
    EXPECT_FALSE(tree.isNull());
    EXPECT_EQ(policiesAt(tree, 2), (std::set<std::string>{"1 2 3 1", "1 2 3 2"}));
}

TEST(PolicyTree, MappingsUnderAnyPolicyAndInhibitedMappings) {
    PValidPolicyTree tree;
    tree.reset();
    // Certificate 1 asserts anyPolicy and maps P1 to P2 and P3.
    tree.addPolicyToNewDepth(kAny, ByteString());
    tree.addPolicyByPolicyMappings({{kP1, kP2}, {kP1, kP3}}, ByteString());
    EXPECT_EQ(policiesAt(tree, 1), (std::set<std::string>{PValidPolicyTree::kAnyPolicy, "1 2 3 1"}));
    // Certificate 2 asserts P3: it hangs under the mapped P1, not under anyPolicy.
    tree.addPolicyToNewDepth(kP3, ByteString());
    tree.deleteNullNode();
    // anyPolicy at depth 1 lost its only chance of a child and went; P3 hangs under the mapped P1.
    EXPECT_EQ(policiesAt(tree, 2), (std::set<std::string>{"1 2 3 3"}));
    EXPECT_EQ(policiesAt(tree, 1), (std::set<std::string>{"1 2 3 1"}));

    // With mapping inhibited the mapped node is deleted instead, and nothing chains to P3's mapping.
    PValidPolicyTree inhibited;
    ASSERT_EQ(inhibited.addPolicyToIPS("1 2 3 1"), 0);
    inhibited.reset();
    inhibited.addPolicyToNewDepth(kP1, ByteString());
    inhibited.addPolicy(kP2, ByteString());
    inhibited.deleteThisPolicyNode(kP1);
    EXPECT_EQ(policiesAt(inhibited, 1), (std::set<std::string>{"1 2 3 2"}));
    inhibited.intersectWithIPS();
    EXPECT_TRUE(inhibited.isNull());
}

TEST(PolicyTree, AbsentPoliciesEmptyTheTree) {
    PValidPolicyTree tree;
    tree.reset();
    tree.addPolicyToNewDepth(kP1, ByteString());
    tree.setNull();
    EXPECT_TRUE(tree.isNull());
    tree.addPolicyToNewDepth(kP1, ByteString());  // nothing grows from NULL
    EXPECT_TRUE(tree.nodesAt(1).empty());
    EXPECT_TRUE(tree.ipsIsAnyPolicy());
}

}  // namespace
}  // namespace qelt::test
