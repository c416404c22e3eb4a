// PValidPolicyTree: the valid_policy_tree of RFC 3280 section 6.1 and the
// user-initial-policy-set (IPS) it is intersected with at the end.
//
// Depth 0 holds one anyPolicy node; depth i holds the policies certificate i of
// the path (the root being certificate 0) makes valid. Each node carries the
// RFC's valid_policy, qualifier_set and expected_policy_set; policies are OID
// texts ("2 16 840 1 101 3 2 1 48 1"). A tree that lost every node is NULL.
#pragma once

#include <utility>
#include <vector>

#include "util/byte_string.h"
#include "util/error_holder.h"

namespace qelt {

class PValidPolicyTree : public ErrorHolder {
public:
    static constexpr const char* kAnyPolicy = "2 5 29 32 0";

    struct Node {
        ByteString validPolicy;
        ByteString qualifiers;             // encoded policyQualifiers, empty when none
        std::vector<ByteString> expected;  // expected_policy_set
        int parent = -1;                   // index of the parent in the depth above
        bool live = true;
    };
    // issuerDomainPolicy -> subjectDomainPolicy, in the order of the extension.
    using Mapping = std::pair<ByteString, ByteString>;

    // Adds one policy to the IPS; 1 when the text is not an OID.
    int addPolicyToIPS(const char* oidText);
    // True when the IPS is empty or holds anyPolicy: every policy is acceptable.
    bool ipsIsAnyPolicy() const;
    int ipsCount() const { return static_cast<int>(m_IPS.size()); }

    // The tree of a path about to be validated: anyPolicy alone at depth 0.
    void reset();
    bool isNull() const { return m_bNull; }
    // "If the certificate policies extension is not present, set the valid_policy_tree to NULL."
    void setNull();
    int depth() const { return static_cast<int>(m_Levels.size()) - 1; }

    // 6.1.3 (d)(1): the first policy of certificate i opens depth i.
    void addPolicyToNewDepth(const ByteString& policy, const ByteString& qualifiers);
    // 6.1.3 (d)(1) for a further policy of the same certificate.
    void addPolicy(const ByteString& policy, const ByteString& qualifiers);
    // 6.1.3 (d)(2): anyPolicy in the certificate, when it may be used.
    void addAnyPolicy(const ByteString& qualifiers);
    // Opens depth i for a certificate whose policies add no node at all.
    void openDepth();
    // The parents at the depth above the newest that expect `policy`.
    std::vector<int> sameParentNodes(const ByteString& policy) const;

    // 6.1.4 (b)(1): nodes of the newest depth take the mapped policies as expected.
    void addPolicyByPolicyMappings(const std::vector<Mapping>& mappings, const ByteString& anyPolicyQualifiers);
    // 6.1.4 (b)(2): the nodes of the newest depth whose policy is mapped are deleted.
    void deleteThisPolicyNode(const ByteString& issuerDomainPolicy);

    // Deletes nodes above the newest depth that have no children, repeatedly;
    // a tree left without nodes becomes NULL.
    void deleteNullNode();
    // 6.1.5 (g): intersection with the IPS.
    void intersectWithIPS();

    // The live nodes of a depth (for the caller's final user-constrained set).
    std::vector<const Node*> nodesAt(int depth) const;

private:
    int addNode(int depth, int parent, const ByteString& policy, const ByteString& qualifiers,
                std::vector<ByteString> expected);
    bool hasLiveChild(int depth, int index, const ByteString* policy = nullptr) const;
    void killSubtree(int depth, int index);
    void becomeNullWhenEmpty();

    std::vector<ByteString> m_IPS;
    std::vector<std::vector<Node>> m_Levels;
    bool m_bNull = false;
};

}  // namespace qelt
