// qelt hsm: a PKCS#11 token through its Cryptoki module: slots, objects,
// login check, PIN change, writing a certificate with its key, signing on
// the token, deleting.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli.h"

using namespace qelt_cli;

namespace {

constexpr const char* kSynopsis = "hsm: the first word is slots, objects, login, passwd, write, sign or delete";

constexpr unsigned long kTokenInitialized = 0x400;  // CKF_TOKEN_INITIALIZED

// Loads the module and lists the slots; prints them for "slots". 0 or the exit status.
int listSlots(Session& s, const Args& a, std::vector<unsigned long>& slots, bool print) {
    auto module = a.get("module");
    if (!module) return Session::usage("hsm: --module LIB (the token's PKCS#11 library) is needed");
    std::string path = *module;
    if (int rc = QELT_STORAGE_Load(s.ctx(), path.data())) return s.fail(rc);
    unsigned long list[64];
    int count = 64;
    if (int rc = QELT_HSM_GetSlotList(s.ctx(), list, &count)) return s.fail(rc);
    slots.assign(list, list + count);
    for (unsigned long slot : slots) {
        QELT_HSM_TOKEN_INFO info{};
        if (int rc = QELT_HSM_GetTokenInfo(s.ctx(), slot, &info)) return s.fail(rc);
        if (print)
            std::printf("slot %lu: label \"%s\", %s %s, serial %s%s\n", slot, info.label, info.manufacturerID,
                        info.model, info.serialNumber, (info.flags & kTokenInitialized) ? "" : " (not initialised)");
    }
    return 0;
}

// The slot named by --slot or --label, else the first initialised token. 0 or the exit status.
int chooseSlot(Session& s, const Args& a, const std::vector<unsigned long>& slots, unsigned long& slot) {
    if (auto text = a.get("slot")) {
        char* end = nullptr;
        errno = 0;
        slot = std::strtoul(text->c_str(), &end, 10);
        if (text->empty() || (*text)[0] == '-' || *end != 0 || errno != 0)
            return Session::usage("hsm: --slot takes a slot number from 'hsm slots'");
        return 0;
    }
    const std::string label = a.get("label", "");
    for (unsigned long id : slots) {
        QELT_HSM_TOKEN_INFO info{};
        if (QELT_HSM_GetTokenInfo(s.ctx(), id, &info) != 0) continue;
        if (label.empty() ? (info.flags & kTokenInitialized) != 0 : label == info.label) {
            slot = id;
            return 0;
        }
    }
    return Session::usage("hsm: no initialised token (or none with that --label)");
}

int runHsm(Session& s, const Args& a) {
    if (a.positional.empty()) return Session::usage(kSynopsis);
    const std::string op = a.positional[0];
    // Files first: a missing or unreadable input is reported before the token is touched.
    std::vector<uint8_t> cert, key;
    InputBytes data;
    if (op == "write") {
        if (a.positional.size() != 3) return Session::usage("hsm write: CERT and KEY files are needed");
        if (int rc = readDerOrPem(s, a.positional[1], cert)) return rc;
        if (int rc = readDerOrPem(s, a.positional[2], key)) return rc;
    } else if (op == "sign") {
        data = mapInput(a.positional.size() > 1 ? a.positional[1] : "-");
    }
    std::vector<unsigned long> slots;
    if (int rc = listSlots(s, a, slots, op == "slots")) return rc;
    if (op == "slots") return 0;
    unsigned long slot = 0;
    if (int rc = chooseSlot(s, a, slots, slot)) return rc;
    if (int rc = QELT_HSM_OpenSession(s.ctx(), slot, QELT_HSM_RW_SESSION)) return s.fail(rc);
    // Listing the objects needs no login unless a PIN is given.
    const bool login = op != "objects" || a.get("pin") || std::getenv("QELT_HSM_PIN");
    SecretText pin =
        login ? readPassword(a, "pin", "QELT_HSM_PIN", "user PIN of the token: ") : SecretText(std::string());
    if (login)
        if (int rc = QELT_HSM_Login(s.ctx(), pin.data())) return s.fail(rc);

    if (op == "objects") {
        int count = 0;
        if (int rc = QELT_HSM_GetCertCnt(s.ctx(), &count)) return s.fail(rc);
        std::printf("%d certificate(s)\n", count);
        for (int i = 0; i < count; ++i) {
            int type = 0;
            Bin id, dn;
            if (int rc = QELT_HSM_GetCertInfo(s.ctx(), i, &type, &id, &dn)) return s.fail(rc);
            const std::vector<uint8_t> idv = id.vec(), dnv = dn.vec();
            std::printf("%d: %s KeyID %s\n   %s\n", i,
                        type == QELT_HSM_CERT_SIGN ? "signing"
                        : type == QELT_HSM_CERT_KM ? "key-management"
                                                   : "other",
                        std::string(idv.begin(), idv.end()).c_str(),
                        toUtf8(std::string(dnv.begin(), dnv.end())).c_str());
        }
    } else if (op == "login") {
        std::printf("the PIN opens the token\n");
    } else if (op == "passwd") {
        SecretText newPin = readPassword(a, "new-pin", "QELT_HSM_NEWPIN", "new user PIN: ");
        if (int rc = QELT_HSM_ChangePIN(s.ctx(), pin.data(), newPin.data())) return s.fail(rc);
    } else if (op == "write") {
        Bin c(cert), k(key);
        if (int rc = QELT_HSM_WriteCertAndPriKey(s.ctx(), &c, &k)) return s.fail(rc);
    } else if (op == "sign" || op == "delete") {
        auto keyId = a.get("key-id");
        if (!keyId) return Session::usage("hsm: --key-id ID is needed (see 'hsm objects')");
        Bin id(std::vector<uint8_t>(keyId->begin(), keyId->end()));
        if (op == "delete") {
            if (int rc = QELT_HSM_DeleteCertAndPriKey(s.ctx(), &id)) return s.fail(rc);
        } else {
            // What other tools read: the SignedData in a ContentInfo.
            if (!a.has("bare")) QELT_API_SetOption(s.ctx(), QELT_OPT_CMS_CONTENTINFO);
            BINSTR in = data.view();
            Bin out;
            if (int rc = QELT_HSM_SignData(s.ctx(), &id, &in, &out)) return s.fail(rc);
            writeOutput(a.get("o", a.get("out", "-")), out.span());
        }
    } else {
        return Session::usage(kSynopsis);
    }
    QELT_HSM_Logout(s.ctx());
    if (int rc = QELT_HSM_CloseSession(s.ctx())) return s.fail(rc);
    return 0;
}

}  // namespace

QELT_CLI_VERB({"hsm",
               "hsm slots|objects|login|passwd|write|sign|delete --module LIB [--slot ID | --label TOKEN] [--pin PIN] "
               "[--new-pin PIN] [--key-id ID] [CERT KEY | DATA] [-o OUT]",
               {"bare"},
               &runHsm,
               {"Works with a PKCS#11 token through its Cryptoki module: lists the slots (slots) and the token's "
                "certificates with their KeyIDs (objects), checks or changes the user PIN (login, passwd), writes a "
                "certificate with its decrypted private key (write), signs DATA on the token as a CMS SignedData "
                "(sign), deletes a KeyID's objects (delete).",
                {{"--module LIB", "the token's PKCS#11 library"},
                 {"--slot ID", "the slot number from 'hsm slots' (default: the first initialised token)"},
                 {"--label TOKEN", "the token with this label instead"},
                 {"--pin PIN", "the user PIN: TEXT, file:PATH or env:VAR (default $QELT_HSM_PIN, else a prompt)"},
                 {"--new-pin PIN", "passwd: the new PIN, the same forms (default $QELT_HSM_NEWPIN)"},
                 {"--key-id ID", "sign, delete: the KeyID shown by 'hsm objects'"},
                 {"--bare", "sign: the bare SignedData instead of a ContentInfo"},
                 {"-o, --out FILE", "sign: write the message to FILE instead of standard output"}},
                {"qelt hsm write --module /usr/lib/softhsm/libsofthsm2.so --pin 123456 ee.der ee.p8",
                 "qelt hsm objects --module /usr/lib/softhsm/libsofthsm2.so"}}});
