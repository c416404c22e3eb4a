#include "ASN1Pkix/PValidPolicyTree.h"

#include <algorithm>

#include "ASN1/asn1_types.h"

namespace qelt {

namespace {

constexpr const char* kClass = "PValidPolicyTree";

bool isAnyPolicy(const ByteString& policy) { return policy.equals(PValidPolicyTree::kAnyPolicy); }

bool contains(const std::vector<ByteString>& set, const ByteString& policy) {
    return std::any_of(set.begin(), set.end(), [&](const ByteString& p) { return p == policy; });
}

}  // namespace

int PValidPolicyTree::addPolicyToIPS(const char* oidText) {
    // The text form is checked and normalised by the OID type.
    ASN1ObjectIdentifier oid;
    if (oidText == nullptr || oid.setOID(oidText) != 0) {
        ByteString msg;
        msg.format("The policy(%s) is not an OID.", oidText == nullptr ? "" : oidText);
        return fail(kClass, "addPolicyToIPS", "policy", 1, msg.c_str());
    }
    ByteString text(oid.getOID());
    if (!contains(m_IPS, text)) m_IPS.push_back(std::move(text));
    return 0;
}

bool PValidPolicyTree::ipsIsAnyPolicy() const {
    return m_IPS.empty() || std::any_of(m_IPS.begin(), m_IPS.end(), isAnyPolicy);
}

void PValidPolicyTree::reset() {
    m_Levels.clear();
    m_bNull = false;
    m_Levels.emplace_back();
    addNode(0, -1, ByteString(kAnyPolicy), ByteString(), {ByteString(kAnyPolicy)});
}

void PValidPolicyTree::setNull() {
    m_Levels.clear();
    m_bNull = true;
}

int PValidPolicyTree::addNode(int depth, int parent, const ByteString& policy, const ByteString& qualifiers,
                              std::vector<ByteString> expected) {
    auto& level = m_Levels[static_cast<size_t>(depth)];
    level.push_back(Node{policy, qualifiers, std::move(expected), parent, true});
    return static_cast<int>(level.size()) - 1;
}

bool PValidPolicyTree::hasLiveChild(int depth, int index, const ByteString* policy) const {
    if (depth + 1 >= static_cast<int>(m_Levels.size())) return false;
    for (const Node& child : m_Levels[static_cast<size_t>(depth + 1)])
        if (child.live && child.parent == index && (policy == nullptr || child.validPolicy == *policy)) return true;
    return false;
}

void PValidPolicyTree::killSubtree(int depth, int index) {
    m_Levels[static_cast<size_t>(depth)][static_cast<size_t>(index)].live = false;
    if (depth + 1 >= static_cast<int>(m_Levels.size())) return;
    auto& below = m_Levels[static_cast<size_t>(depth + 1)];
    for (size_t k = 0; k < below.size(); ++k)
        if (below[k].live && below[k].parent == index) killSubtree(depth + 1, static_cast<int>(k));
}

void PValidPolicyTree::becomeNullWhenEmpty() {
    if (m_bNull) return;
    const auto& top = m_Levels.front();
    if (std::none_of(top.begin(), top.end(), [](const Node& n) { return n.live; })) setNull();
}

void PValidPolicyTree::openDepth() {
    if (!m_bNull) m_Levels.emplace_back();
}

std::vector<int> PValidPolicyTree::sameParentNodes(const ByteString& policy) const {
    std::vector<int> parents;
    if (m_bNull || depth() < 1) return parents;
    const auto& above = m_Levels[static_cast<size_t>(depth() - 1)];
    for (size_t k = 0; k < above.size(); ++k)
        if (above[k].live && contains(above[k].expected, policy)) parents.push_back(static_cast<int>(k));
    return parents;
}

void PValidPolicyTree::addPolicyToNewDepth(const ByteString& policy, const ByteString& qualifiers) {
    openDepth();
    addPolicy(policy, qualifiers);
}

void PValidPolicyTree::addPolicy(const ByteString& policy, const ByteString& qualifiers) {
    if (m_bNull || depth() < 1) return;
    const int d = depth();
    // (i) under every node whose expected_policy_set holds the policy;
    std::vector<int> parents = sameParentNodes(policy);
    // (ii) failing that, under the anyPolicy node.
    if (parents.empty()) {
        const auto& above = m_Levels[static_cast<size_t>(d - 1)];
        for (size_t k = 0; k < above.size(); ++k)
            if (above[k].live && isAnyPolicy(above[k].validPolicy)) parents.push_back(static_cast<int>(k));
    }
    for (int p : parents)
        if (!hasLiveChild(d - 1, p, &policy)) addNode(d, p, policy, qualifiers, {policy});
}

void PValidPolicyTree::addAnyPolicy(const ByteString& qualifiers) {
    if (m_bNull || depth() < 1) return;
    const int d = depth();
    const size_t parents = m_Levels[static_cast<size_t>(d - 1)].size();
    for (size_t k = 0; k < parents; ++k) {
        // Copied: adding children grows the level below, never this one.
        const Node parent = m_Levels[static_cast<size_t>(d - 1)][k];
        if (!parent.live) continue;
        for (const ByteString& value : parent.expected)
            if (!hasLiveChild(d - 1, static_cast<int>(k), &value))
                addNode(d, static_cast<int>(k), value, qualifiers, {value});
    }
}

void PValidPolicyTree::addPolicyByPolicyMappings(const std::vector<Mapping>& mappings,
                                                 const ByteString& anyPolicyQualifiers) {
    if (m_bNull || depth() < 1) return;
    const int d = depth();
    std::vector<ByteString> done;
    for (const Mapping& m : mappings) {
        const ByteString& idp = m.first;
        if (contains(done, idp)) continue;
        done.push_back(idp);
        std::vector<ByteString> subjects;
        for (const Mapping& other : mappings)
            if (other.first == idp && !contains(subjects, other.second)) subjects.push_back(other.second);

        auto& level = m_Levels[static_cast<size_t>(d)];
        bool found = false;
        bool anyAtDepth = false;
        for (Node& node : level) {
            if (!node.live) continue;
            if (node.validPolicy == idp) {
                node.expected = subjects;
                found = true;
            } else if (isAnyPolicy(node.validPolicy)) {
                anyAtDepth = true;
            }
        }
        if (found || !anyAtDepth) continue;
        const auto& above = m_Levels[static_cast<size_t>(d - 1)];
        for (size_t k = 0; k < above.size(); ++k) {
            if (above[k].live && isAnyPolicy(above[k].validPolicy)) {
                addNode(d, static_cast<int>(k), idp, anyPolicyQualifiers, subjects);
                break;
            }
        }
    }
}

void PValidPolicyTree::deleteThisPolicyNode(const ByteString& issuerDomainPolicy) {
    if (m_bNull || depth() < 1) return;
    const int d = depth();
    auto& level = m_Levels[static_cast<size_t>(d)];
    for (size_t k = 0; k < level.size(); ++k)
        if (level[k].live && level[k].validPolicy == issuerDomainPolicy) killSubtree(d, static_cast<int>(k));
    deleteNullNode();
}

void PValidPolicyTree::deleteNullNode() {
    if (m_bNull) return;
    for (int d = depth() - 1; d >= 0; --d) {
        auto& level = m_Levels[static_cast<size_t>(d)];
        for (size_t k = 0; k < level.size(); ++k)
            if (level[k].live && !hasLiveChild(d, static_cast<int>(k))) level[k].live = false;
    }
    becomeNullWhenEmpty();
}

void PValidPolicyTree::intersectWithIPS() {
    if (m_bNull || ipsIsAnyPolicy()) return;
    const int n = depth();
    const auto parentIsAny = [&](int d, const Node& node) {
        return d > 0 && node.parent >= 0 &&
               isAnyPolicy(m_Levels[static_cast<size_t>(d - 1)][static_cast<size_t>(node.parent)].validPolicy);
    };
    // (2) nodes under anyPolicy whose policy the user did not ask for go, with their children.
    for (int d = 1; d <= n; ++d) {
        auto& level = m_Levels[static_cast<size_t>(d)];
        for (size_t k = 0; k < level.size(); ++k) {
            const Node& node = level[k];
            if (node.live && parentIsAny(d, node) && !isAnyPolicy(node.validPolicy) &&
                !contains(m_IPS, node.validPolicy))
                killSubtree(d, static_cast<int>(k));
        }
    }
    // (3) an anyPolicy node at depth n stands for each policy of the IPS not already valid.
    if (n >= 1) {
        std::vector<ByteString> valid;
        for (int d = 1; d <= n; ++d)
            for (const Node& node : m_Levels[static_cast<size_t>(d)])
                if (node.live && parentIsAny(d, node)) valid.push_back(node.validPolicy);
        auto& last = m_Levels[static_cast<size_t>(n)];
        for (size_t k = 0; k < last.size(); ++k) {
            if (!last[k].live || !isAnyPolicy(last[k].validPolicy)) continue;
            const int parent = last[k].parent;
            const ByteString qualifiers = last[k].qualifiers;
            last[k].live = false;
            for (const ByteString& p : m_IPS)
                if (!isAnyPolicy(p) && !contains(valid, p)) addNode(n, parent, p, qualifiers, {p});
            break;
        }
    }
    // (4) prune what lost its children.
    deleteNullNode();
}

std::vector<const PValidPolicyTree::Node*> PValidPolicyTree::nodesAt(int d) const {
    std::vector<const Node*> out;
    if (m_bNull || d < 0 || d > depth()) return out;
    for (const Node& node : m_Levels[static_cast<size_t>(d)])
        if (node.live) out.push_back(&node);
    return out;
}

}  // namespace qelt
